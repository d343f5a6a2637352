// Speed of the workbook exports on a generated history: 100 phones, 8 queries
// a day for 10 years (about 2.9 million rows, 29,200 per phone), generated
// once per run in a temporary folder.
//
//   export_bench [--benchmark_filter=...]   (EXPORT_BENCH_DIR picks the folder)

#include "BenchHistory.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryQueries.h"
#include "HistoryWorkbook.h"
#include "PhoneTable.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {
constexpr int kDays = 3650;

struct History {
    std::unique_ptr<QTemporaryDir> dir;
    QString file;
};

std::unique_ptr<QTemporaryDir> benchDir()
{
    const QByteArray where = qgetenv("EXPORT_BENCH_DIR");
    return where.isEmpty() ? std::make_unique<QTemporaryDir>()
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

// The current figures of 100 phones.
void BM_CurrentFiguresOf100Phones(benchmark::State &state)
{
    const std::unique_ptr<QTemporaryDir> dir = benchDir();
    for (int slot = 1; slot <= BenchPhones; ++slot) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = BenchPhoneNumber(slot - 1);
        SetupModel().SetLine(slot, line);
        TIssa &p = IssaArray[slot];
        p.PhoneNumber = line.Number;
        p.Alias = QStringLiteral("Телефон %1").arg(slot);
        p.Balance = static_cast<float>(slot % 7);
        p.QueryDateTime = NowOle();
    }
    const QString out = dir->path() + QStringLiteral("/current.xlsx");
    for (auto _ : state)
        WriteCurrentWorkbook(out, false);
}

BENCHMARK(BM_ExportAllRowsOfOnePhone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteWorkbookOf29200Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurrentFiguresOf100Phones)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "export_bench: %s\n", qPrintable(failureText(e)));
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
