// saldomat-cli history init | show PHONE [--last N | --days N | --all]
#include "Cli.h"
#include "CliPeriod.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryWorkbook.h"

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

int runShow(const QStringList &args)
{
    QStringList words = args;
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
    if (!QFileInfo::exists(file)) {
        cliErr() << "saldomat-cli: no history file " << QDir::toNativeSeparators(file)
                 << " (saldomat-cli history init creates one)\n";
        return 1;
    }
    const QVector<HistoryRow> rows = HistoryRows(phone, p.period, p.n, file);
    if (rows.isEmpty()) {
        cliErr() << QString::fromUtf8(MsgHistoryNotFound) << "\n";
        return 1;
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

CliCommand historyCommand{"history", "history init | show PHONE [--last N | --days N | --all]",
                          "create an empty history file; print a phone's stored queries, newest first", &runHistory};
}  // namespace
