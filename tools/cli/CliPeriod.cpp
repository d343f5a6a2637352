#include "CliPeriod.h"

#include "AlterTable.h"
#include "Cli.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "PhoneNumber.h"

#include <QDir>
#include <QFileInfo>

QString TakeHistoryPeriod(QStringList &args, CliPeriod &out)
{
    bool given = false;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a != QLatin1String("--all") && a != QLatin1String("--last") && a != QLatin1String("--days")) {
            rest << a;
            continue;
        }
        if (given)
            return QStringLiteral("give only one of --last, --days and --all");
        given = true;
        if (a == QLatin1String("--all")) {
            out.period = HistoryPeriod::All;
            continue;
        }
        bool ok = false;
        out.n = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
        if (!ok || out.n < 0)
            return QStringLiteral("%1 needs a whole number").arg(a);
        out.period = a == QLatin1String("--last") ? HistoryPeriod::LastCount : HistoryPeriod::LastDays;
        ++i;
    }
    args = rest;
    return QString();
}

int PrepareHistoryFile(const QString &file)
{
    if (!QFileInfo::exists(file))
        return cliFileFail(QStringLiteral("no history file %1 (saldomat-cli history init creates one)")
                               .arg(QDir::toNativeSeparators(file)));
    if (!CheckHistoryAvailable(file))
        return cliFileFail(QStringLiteral("the history file %1 cannot be opened (see %2)")
                               .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(ErrorLogFileName())));
    QString boxText;
    try {
        AlterTablePhonesIfNeed(file, &boxText);
    } catch (const std::exception &e) {
        MainException(e);
        return cliFileFail(boxText.isEmpty() ? failureText(e) : boxText);
    }
    return 0;
}

QVector<HistoryRow> CliHistoryRows(const QString &phone, const CliPeriod &p, const QString &dbFile)
{
    const QString digits = NormalizePhoneNumber(phone).value_or(phone);
    QVector<HistoryRow> rows = HistoryRows(digits, p.period, p.n, dbFile);
    if (rows.isEmpty() && digits != phone)
        rows = HistoryRows(phone, p.period, p.n, dbFile);
    return rows;
}
