// Speed of the workbook exports on a generated history: 100 phones, 8 queries
// a day for 10 years (about 2.9 million rows, 29,200 per phone), generated
// once per run in a temporary folder.
//
//   export_bench [--benchmark_filter=...]   (EXPORT_BENCH_DIR picks the folder)

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryWorkbook.h"
#include "PhoneTable.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {
constexpr int kPhones = 100;
constexpr int kPerDay = 8;
constexpr int kDays = 3650;
constexpr int kFirstNumber = 10000000;

QString phoneNumber(int i)
{
    return QStringLiteral("90%1").arg(kFirstNumber + i);
}

struct History {
    std::unique_ptr<QTemporaryDir> dir;
    QString file;
    long long rows = 0;
};

// One transaction and one prepared insert that makes every row inside SQLite:
// rows end today, 8 a day per phone, the phones interleaved as a real run of
// queries stores them.
const History &history()
{
    static std::unique_ptr<History> made;
    if (made)
        return *made;
    made = std::make_unique<History>();
    const QByteArray where = qgetenv("EXPORT_BENCH_DIR");
    made->dir = where.isEmpty() ? std::make_unique<QTemporaryDir>()
                                : std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(where) + QStringLiteral("/ebXXXXXX"));
    made->file = made->dir->path() + QStringLiteral("/Saldomat.db");
    QElapsedTimer timer;
    timer.start();
    CreateHistoryDatabase(made->file);
    HistoryConnection conn(made->file);
    ExecFixed(conn.db(), QStringLiteral("PRAGMA synchronous=OFF"));
    ExecFixed(conn.db(), QStringLiteral("BEGIN"));
    const long long rows = static_cast<long long>(kDays) * kPerDay * kPhones;
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, Average, "
        "JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
        "SELECT '90' || (? + i % ?), '1234567' || (i % ?), 'Абонент ' || (i % ?), "
        "? + (i / ?) / CAST(? AS REAL) + 0.5 / 24, 100.0 + (i / ? / ?) % 50 - (i / ? % ?) * 0.25, 0, "
        "-0.25 * (i / ? % ?), 3.5, (i / ? / ?) % 200, 28, 50.0, (i / ? % ?) * 3, 0, 28.12345 FROM n"));
    const double start = OleDateOnly(NowOle()) - kDays;
    for (const QVariant &v : QVariantList{rows, kFirstNumber, kPhones, kPhones, kPhones, start, kPhones, kPerDay,
                                          kPhones, kPerDay, kPhones, kPerDay, kPhones, kPerDay, kPhones, kPerDay,
                                          kPhones, kPerDay})
        q.addBindValue(v);
    if (!q.exec())
        throw SaldomatError(QStringLiteral("generating the history failed: ") + q.lastError().text());
    ExecFixed(conn.db(), QStringLiteral("COMMIT"));
    made->rows = rows;
    std::fprintf(stderr, "generated %lld rows (%d days, %d phones) in %.1f s\n", rows, kDays, kPhones,
                 timer.elapsed() / 1000.0);
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
        written = ExportHistoryWorkbook(out, phoneNumber(i++ % kPhones), HistoryPeriod::All, 0, h.file);
    state.counters["rows"] = written;
    state.counters["bytes"] = static_cast<double>(QFileInfo(out).size());
}

// The parts: reading the rows (the baseline every export pays) ...
void BM_ReadAllRowsOfOnePhone(benchmark::State &state)
{
    const History &h = history();
    int i = 0;
    qsizetype n = 0;
    for (auto _ : state)
        n = HistoryAllRows(phoneNumber(i++ % kPhones), h.file).size();
    state.counters["rows"] = static_cast<double>(n);
}

// ... and writing them.
void BM_WriteWorkbookOf29200Rows(benchmark::State &state)
{
    const History &h = history();
    const QVector<HistoryRow> rows = HistoryAllRows(phoneNumber(0), h.file);
    const QString out = outFile(h);
    for (auto _ : state)
        WriteHistoryWorkbook(out, rows);
    state.counters["rows"] = static_cast<double>(rows.size());
}

// The current figures of 100 phones.
void BM_CurrentFiguresOf100Phones(benchmark::State &state)
{
    const History &h = history();
    for (int slot = 1; slot <= kPhones; ++slot) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = phoneNumber(slot - 1);
        SetupModel().SetLine(slot, line);
        TIssa &p = IssaArray[slot];
        p.PhoneNumber = line.Number;
        p.Alias = QStringLiteral("Телефон %1").arg(slot);
        p.Balance = static_cast<float>(slot % 7);
        p.QueryDateTime = NowOle();
    }
    const QString out = outFile(h);
    for (auto _ : state)
        WriteCurrentWorkbook(out, false);
}

BENCHMARK(BM_ExportAllRowsOfOnePhone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadAllRowsOfOnePhone)->Unit(benchmark::kMillisecond);
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
