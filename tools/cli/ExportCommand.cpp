// saldomat-cli export current FILE [--red] [--force]
// saldomat-cli export history PHONE FILE [--last N | --days N | --all] [--force]
// The same sheets as the windows write, without a display: a workbook for
// ".xlsx", CSV for ".csv", CSV on standard output for "-".
#include "Cli.h"
#include "CliOutput.h"
#include "CliPeriod.h"

#include "Common.h"
#include "CsvSheet.h"
#include "ExportTarget.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "ProgramInit.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "StoreMDB.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <unistd.h>

namespace {
struct ExportOptions {
    QString file;
    bool force = false;
    bool xlsxToStdout = false;
};

// Takes --force and --format out of args.
QString takeOptions(QStringList &args, ExportOptions &o)
{
    o.force = args.removeAll(QStringLiteral("--force")) > 0;
    OutputFormat format = OutputFormat::Csv;
    const QString error = TakeOutputFormat(args, format, {OutputFormat::Xlsx, OutputFormat::Csv});
    o.xlsxToStdout = format == OutputFormat::Xlsx;
    return error;
}

// 0 when the file may be written, else the exit status after the reason.
int checkTarget(const ExportOptions &o)
{
    if (o.file == QLatin1String("-")) {
        if (o.xlsxToStdout && ::isatty(STDOUT_FILENO))
            return cliFail(QStringLiteral("a workbook is not written to a terminal: redirect the output or give a "
                                          "file name"));
        return 0;
    }
    if (o.xlsxToStdout)
        return cliFail(QStringLiteral("--format is only for \"-\" (a file's extension chooses its form)"));
    if (ExportFormatOf(o.file) == ExportFormat::Unknown)
        return cliFail(
            QStringLiteral("\"%1\": give a file name ending in .xlsx or .csv, or - for standard output").arg(o.file));
    const ExportTargetCheck check = CheckExportTarget(o.file);
    if (check.state == ExportTargetState::Refused)
        return cliFileFail(check.reason);
    if (check.state == ExportTargetState::Existing && !o.force)
        return cliFileFail(
            QStringLiteral("%1 exists; give --force to replace it").arg(QDir::toNativeSeparators(o.file)));
    return 0;
}

// Writes the sheet: the workbook writer for .xlsx, CSV otherwise, or the
// bytes on standard output for "-".
void writeSheet(const ExportOptions &o, const XlsxSheet &sheet, const std::function<void(const QString &)> &writeXlsx)
{
    if (o.file != QLatin1String("-")) {
        if (ExportFormatOf(o.file) == ExportFormat::Xlsx)
            writeXlsx(o.file);
        else
            WriteCsvFile(o.file, sheet);
        return;
    }
    QByteArray bytes;
    if (o.xlsxToStdout) {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("export.xlsx"));
        writeXlsx(book);
        QFile f(book);
        if (!f.open(QIODevice::ReadOnly))
            throw SaldomatError(f.errorString());
        bytes = f.readAll();
    } else {
        bytes = CsvText(sheet);
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        throw SaldomatError(QStringLiteral("cannot write to standard output"));
}

// Reports on stderr when the sheet went to standard output.
QTextStream &report(const ExportOptions &o)
{
    return o.file == QLatin1String("-") ? cliErr() : cliOut();
}

int runCurrent(const QStringList &arguments)
{
    QStringList args = arguments;
    ExportOptions o;
    if (const QString error = takeOptions(args, o); !error.isEmpty())
        return cliFail(error);
    bool redOnly = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--red"))
            redOnly = true;
        else if ((a.startsWith(QLatin1String("--")) && a != QLatin1String("-")) || !o.file.isNull())
            return cliFail(QStringLiteral("unexpected argument \"%1\"").arg(a));
        else
            o.file = a;
    }
    if (o.file.isEmpty())
        return cliFail(QStringLiteral("export current needs a file name (or - for standard output)"));
    if (const int status = checkTarget(o))
        return status;

    TProgramState state(InitPaths());
    Init(state.Paths);
    LoadSettings(state);
    std::unique_ptr<TmdbStore> store = OpenHistoryStore(state.Paths);
    LoadHistoryIntoTable(state, store.get());
    if (redOnly && !HasRedPhones(state)) {
        cliErr() << QString::fromUtf8(MsgNoRedPhones) << "\n";
        return CliSomeFailed;
    }
    const XlsxSheet sheet = CurrentSheet(state, redOnly);
    writeSheet(o, sheet, [&](const QString &file) { WriteCurrentWorkbook(state, file, redOnly); });
    report(o) << "wrote " << sheet.size() - 1 << " phone(s) to " << QDir::toNativeSeparators(o.file) << "\n";
    return CliOk;
}

int runHistoryExport(const QStringList &arguments)
{
    QStringList words = arguments;
    ExportOptions o;
    if (const QString error = takeOptions(words, o); !error.isEmpty())
        return cliFail(error);
    CliPeriod p;
    const QString error = TakeHistoryPeriod(words, p);
    if (!error.isEmpty())
        return cliFail(error);
    for (const QString &w : words)
        if (w.startsWith(QLatin1String("--")))
            return cliFail(QStringLiteral("unexpected argument \"%1\"").arg(w));
    if (words.size() != 2)
        return cliFail(QStringLiteral("export history needs a phone number and a file name"));
    o.file = words[1];
    if (const int status = checkTarget(o))
        return status;
    const QString db = HistoryDbFileName();
    if (const int status = PrepareHistoryFile(db))
        return status;
    const QVector<HistoryRow> rows = CliHistoryRows(words[0], p, db);
    if (rows.isEmpty()) {
        cliErr() << QString::fromUtf8(MsgHistoryNotFound) << "\n";
        return CliSomeFailed;
    }
    writeSheet(o, HistorySheet(rows), [&](const QString &file) { WriteHistoryWorkbook(file, rows); });
    report(o) << "wrote " << rows.size() << " row(s) to " << QDir::toNativeSeparators(o.file) << "\n";
    return CliOk;
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

CliCommand exportCommand{
    "export", "export current FILE [--red] [--force] | history PHONE FILE [--last N | --days N | --all] [--force]",
    "write the current figures or a phone's history to a workbook (.xlsx) or a CSV file (.csv)",
    "FILE ending in .xlsx: a workbook; in .csv: CSV (UTF-8, a header row); - : CSV on standard output "
    "(--format xlsx writes a workbook there instead, but never to a terminal).\n"
    "--force   replace an existing file; without it an existing file is left alone (exit status 3)\n"
    "--red     only the phones at or below their thresholds\n"
    "Only plain files are ever replaced: never a folder, a device or a link into another folder, and never "
    "the program's own files (Saldomat.db, phones.xml, Saldomat.ini, servers.ini, Saldomat.err).\n"
    "A figure that is not a finite number is written as an empty cell.",
    &runExport};
}  // namespace
