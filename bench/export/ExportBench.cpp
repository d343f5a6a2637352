// Speed of the workbook exports on a generated history: 100 phones, 8 queries
// a day for 10 years (about 2.9 million rows, 29,200 per phone), generated
// once per run in a temporary folder.
//
//   export_bench [--benchmark_filter=...]   (EXPORT_BENCH_DIR picks the folder)

#include "BenchHistory.h"
#include "Common.h"
#include "HistoryQueries.h"
#include "HistoryWorkbook.h"
#include "LeastTimes.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

namespace {
constexpr int kDays = 3650;

struct History {
    std::unique_ptr<QTemporaryDir> dir;
    QString file;
};

std::unique_ptr<QTemporaryDir> benchDir()
{
    const QByteArray where = qgetenv("EXPORT_BENCH_DIR");
    return where.isEmpty()
        ? std::make_unique<QTemporaryDir>()
        : std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(where) + QStringLiteral("/ebXXXXXX"));
}

const History &history()
{
    static std::unique_ptr<History> made;
    if (made)
        return *made;
    made = std::make_unique<History>();
    made->dir = benchDir();
    made->file = made->dir->path() + QStringLiteral("/Saldomat.db");
    GenerateHistory(made->file, kDays, 28.12345);
    return *made;
}

QString outFile(const History &h)
{
    return h.dir->path() + QStringLiteral("/export.xlsx");
}

// The whole export of one phone: all its rows read, the workbook written and
// put in place (the figure the target is about).
void BM_ExportAllRowsOfOnePhone(benchmark::State &state)
{
    const History &h = history();
    const QString out = outFile(h);
    int written = 0;
    int i = 0;
    for (auto _ : state)
        written = ExportHistoryWorkbook(out, BenchPhoneNumber(i++ % BenchPhones), HistoryPeriod::All, 0, h.file);
    state.counters["rows"] = written;
    state.counters["bytes"] = static_cast<double>(QFileInfo(out).size());
}

// The part of it that writes the workbook (the part that reads the rows is
// history_bench's BM_AllRowsOfOnePhone/3650, on the same generated history).
void BM_WriteWorkbookOf29200Rows(benchmark::State &state)
{
    const History &h = history();
    const QVector<HistoryRow> rows = HistoryAllRows(BenchPhoneNumber(0), h.file);
    const QString out = outFile(h);
    for (auto _ : state)
        WriteHistoryWorkbook(out, rows);
    state.counters["rows"] = static_cast<double>(rows.size());
}

// The floor of writing that workbook: libxlsxwriter alone writing the same
// cells (made before the timing: texts as UTF-8, figures as numbers) with the
// same bold captions, column widths and streaming mode, then the file made
// durable; no conversion, no temporary file and no checks of the target.
void BM_WriteWorkbookFloor(benchmark::State &state)
{
    const History &h = history();
    const XlsxSheet sheet = HistorySheet(HistoryAllRows(BenchPhoneNumber(0), h.file));
    const QVector<double> widths = FittedColumnWidths(sheet, 10);
    struct Cell {
        int row, col;
        QByteArray text;  // empty: a number
        double number;
    };
    std::vector<Cell> cells;
    for (int r = 0; r < sheet.size(); ++r)
        for (int c = 0; c < sheet[r].size(); ++c) {
            const XlsxCell &cell = sheet[r][c];
            if (const auto *text = std::get_if<QString>(&cell))
                cells.push_back({r, c, text->toUtf8(), 0});
            else if (const auto *number = std::get_if<double>(&cell))
                cells.push_back({r, c, {}, *number});
            else if (const auto *whole = std::get_if<std::int64_t>(&cell))
                cells.push_back({r, c, {}, static_cast<double>(*whole)});
        }
    const QByteArray out = QFile::encodeName(h.dir->path() + QStringLiteral("/floor.xlsx"));
    for (auto _ : state) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        lxw_workbook *book = workbook_new_opt(out.constData(), &options);
        lxw_worksheet *ws = workbook_add_worksheet(book, nullptr);
        lxw_format *bold = workbook_add_format(book);
        format_set_bold(bold);
        for (int c = 0; c < widths.size(); ++c)
            worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c], nullptr);
        for (const Cell &cell : cells) {
            lxw_format *format = cell.row == 0 ? bold : nullptr;
            if (cell.text.isNull())
                worksheet_write_number(ws, static_cast<lxw_row_t>(cell.row), static_cast<lxw_col_t>(cell.col),
                                       cell.number, format);
            else
                worksheet_write_string(ws, static_cast<lxw_row_t>(cell.row), static_cast<lxw_col_t>(cell.col),
                                       cell.text.constData(), format);
        }
        if (workbook_close(book) != LXW_NO_ERROR) {
            state.SkipWithError("libxlsxwriter could not write the floor's workbook");
            break;
        }
        QFile written(QFile::decodeName(out));
        if (!written.open(QIODevice::ReadOnly) || ::fsync(written.handle()) != 0) {
            state.SkipWithError("the floor's workbook could not be synced");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(sheet.size() - 1);
}

// The current figures of 100 phones.
void BM_CurrentFiguresOf100Phones(benchmark::State &state)
{
    const std::unique_ptr<QTemporaryDir> dir = benchDir();
    TProgramState program(ProgramPathsIn(dir->path() + QLatin1Char('/')));
    for (int slot = 1; slot <= BenchPhones; ++slot) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = BenchPhoneNumber(slot - 1);
        program.Setup.SetLine(slot, line);
        TIssa &p = program.IssaArray[slot];
        p.PhoneNumber = line.Number;
        p.Alias = QStringLiteral("Телефон %1").arg(slot);
        p.Balance = static_cast<float>(slot % 7);
        p.QueryDateTime = NowOle();
    }
    const QString out = dir->path() + QStringLiteral("/current.xlsx");
    for (auto _ : state)
        WriteCurrentWorkbook(program, out, false);
}

BENCHMARK(BM_ExportAllRowsOfOnePhone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
// The writing and its floor, 5 times each; their least CPU and wall
// times are compared (the wall time includes making the file durable).
BENCHMARK(BM_WriteWorkbookFloor)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_WriteWorkbookOf29200Rows)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_CurrentFiguresOf100Phones)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return RunAgainstFloors(argc, argv, "Least times of 5 runs:", [](const LeastTimes &reporter) {
        reporter.printRatio("WriteHistoryWorkbook, 29,200 rows", "BM_WriteWorkbookOf29200Rows", "BM_WriteWorkbookFloor",
                            "ms");
    });
}
