// saldomat-cli history init | show PHONE [--last N | --days N | --all]
#include "Cli.h"
#include "CliOutput.h"
#include "CliPeriod.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryWorkbook.h"
#include "XlsxWorkbook.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {
int runInit(const QStringList &args)
{
    if (!args.isEmpty())
        return cliFail(QStringLiteral("history init takes no arguments"));
    const QString file = HistoryDbFileName();
    if (QFileInfo::exists(file)) {
        cliErr() << "saldomat-cli: " << QDir::toNativeSeparators(file) << " already exists; it is left as it is\n";
        return 1;
    }
    CreateHistoryDatabase(file);
    cliOut() << "created " << QDir::toNativeSeparators(file) << "\n";
    return 0;
}

// One object per stored query: its moment and the figures as numbers.
OutputRows historyRows(const QVector<HistoryRow> &rows)
{
    OutputRows out;
    out.columns = {QStringLiteral("time"),      QStringLiteral("balance"),     QStringLiteral("promised"),
                   QStringLiteral("delta"),     QStringLiteral("perDay"),      QStringLiteral("daysLeft"),
                   QStringLiteral("bonusDays"), QStringLiteral("recommended"), QStringLiteral("sms"),
                   QStringLiteral("minutes"),   QStringLiteral("usdRate")};
    for (const HistoryRow &r : rows)
        out.rows.append({FromOleDate(r.QueryDateTime).toString(Qt::ISODate), RoundTo(r.Balance, 2),
                         RoundTo(r.ObPlat, 2), RoundTo(r.BalDelta, 2), RoundTo(r.Average, 2), qlonglong(r.TurnOff),
                         qlonglong(r.JeansExpired), RoundTo(r.Recomend, 2), qlonglong(r.SMS), qlonglong(r.Minutes),
                         RoundTo(r.USDRate, 4)});
    return out;
}

int runShow(const QStringList &args)
{
    QStringList words = args;
    OutputFormat format = OutputFormat::Table;
    if (const QString error = TakeOutputFormat(words, format); !error.isEmpty())
        return cliFail(error);
    CliPeriod p;
    const QString error = TakeHistoryPeriod(words, p);
    if (!error.isEmpty())
        return cliFail(error);
    QString phone;
    for (const QString &w : words) {
        if (w.startsWith(QLatin1String("--")) || !phone.isNull())
            return cliFail(QStringLiteral("unexpected argument \"%1\"").arg(w));
        phone = w;
    }
    if (phone.isNull())
        return cliFail(QStringLiteral("history show needs a phone number"));
    const QString file = HistoryDbFileName();
    if (const int status = PrepareHistoryFile(file))
        return status;
    const QVector<HistoryRow> rows = CliHistoryRows(phone, p, file);
    if (rows.isEmpty()) {
        cliErr() << QString::fromUtf8(MsgHistoryNotFound) << "\n";
        return CliSomeFailed;
    }
    if (format != OutputFormat::Table) {
        PrintRows(historyRows(rows), format);
        return 0;
    }
    QStringList headers = HistoryGridHeaders();
    for (QString &h : headers)
        h = h.trimmed();
    const QVector<QStringList> cells = HistoryGridCells(rows);
    QVector<int> widths(headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        widths[c] = headers[c].size();
        for (const QStringList &line : cells)
            widths[c] = std::max(widths[c], int(line[c].size()));
    }
    auto print = [&](const QStringList &line) {
        QString text;
        for (int c = 0; c < line.size(); ++c) {
            // Date and time flush left, figures flush right.
            text += c < 2 ? line[c].leftJustified(widths[c]) : line[c].rightJustified(widths[c]);
            if (c + 1 < line.size())
                text += QStringLiteral("  ");
        }
        cliOut() << text << "\n";
    };
    print(headers);
    for (const QStringList &line : cells)
        print(line);
    return 0;
}

int runHistory(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("history needs \"init\" or \"show\""));
    const QString sub = args.first();
    if (sub == QLatin1String("init"))
        return runInit(args.mid(1));
    if (sub == QLatin1String("show"))
        return runShow(args.mid(1));
    return cliFail(QStringLiteral("unknown history command \"%1\"").arg(sub));
}

CliCommand historyCommand{"history",
                          "history init | show PHONE [--last N | --days N | --all] [--format table|json|csv]",
                          "create an empty history file; print a phone's stored queries, newest first",
                          "PHONE is the number as stored (ten digits).\n"
                          "--last N   the newest N queries (50)\n"
                          "--days N   the queries of the last N days\n"
                          "--all      every query\n"
                          "A history file of an older layout is brought up to date first, as the tray program does.",
                          &runHistory};
}  // namespace
