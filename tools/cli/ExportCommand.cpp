// saldomat-cli export current FILE [--red]
// saldomat-cli export history PHONE FILE [--last N | --days N | --all]
// The same workbooks as the windows write, without a display.
#include "Cli.h"
#include "CliPeriod.h"

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "ProgramInit.h"
#include "SaveIssaToExcel.h"
#include "StoreMDB.h"

#include <QDir>
#include <QFileInfo>

namespace {
int runCurrent(const QStringList &args)
{
    QString file;
    bool redOnly = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--red"))
            redOnly = true;
        else if (a.startsWith(QLatin1String("--")) || !file.isNull())
            return cliFail(QStringLiteral("unexpected argument \"%1\"").arg(a));
        else
            file = a;
    }
    if (file.isEmpty())
        return cliFail(QStringLiteral("export current needs a file name"));

    Init();
    LoadSettings();
    std::unique_ptr<TmdbStore> store = OpenHistoryStore();
    LoadHistoryIntoTable(store.get());
    if (redOnly && !HasRedPhones()) {
        cliErr() << QString::fromUtf8(MsgNoRedPhones) << "\n";
        return 1;
    }
    const int rows = WriteCurrentWorkbook(file, redOnly);
    cliOut() << "wrote " << rows << " phone(s) to " << QDir::toNativeSeparators(file) << "\n";
    return 0;
}

int runHistoryExport(const QStringList &args)
{
    QStringList words = args;
    CliPeriod p;
    const QString error = TakeHistoryPeriod(words, p);
    if (!error.isEmpty())
        return cliFail(error);
    for (const QString &w : words)
        if (w.startsWith(QLatin1String("--")))
            return cliFail(QStringLiteral("unexpected argument \"%1\"").arg(w));
    if (words.size() != 2)
        return cliFail(QStringLiteral("export history needs a phone number and a file name"));
    const QString db = HistoryDbFileName();
    if (!QFileInfo::exists(db)) {
        cliErr() << "saldomat-cli: no history file " << QDir::toNativeSeparators(db) << "\n";
        return 1;
    }
    const int rows = ExportHistoryWorkbook(words[1], words[0], p.period, p.n, db);
    if (rows == 0) {
        cliErr() << QString::fromUtf8(MsgHistoryNotFound) << "\n";
        return 1;
    }
    cliOut() << "wrote " << rows << " row(s) to " << QDir::toNativeSeparators(words[1]) << "\n";
    return 0;
}

int runExport(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("export needs \"current\" or \"history\""));
    const QString sub = args.first();
    if (sub == QLatin1String("current"))
        return runCurrent(args.mid(1));
    if (sub == QLatin1String("history"))
        return runHistoryExport(args.mid(1));
    return cliFail(QStringLiteral("unknown export command \"%1\"").arg(sub));
}

CliCommand exportCommand{"export", "export current FILE [--red] | history PHONE FILE [--last N | --days N | --all]",
                         "write the current figures or a phone's history to an .xlsx workbook", &runExport};
}  // namespace
