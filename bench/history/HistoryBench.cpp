// Speed of the history store on a generated history: 100 phones, 8 queries a
// day, either 13 days (about 10 thousand rows) or 10 years (about 2.9 million
// rows). Each history is generated once per run in a temporary folder.
//
//   history_bench [--benchmark_filter=...]   (HISTORY_BENCH_DIR picks the folder)

#include "BenchHistory.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryQueries.h"
#include "StoreMDB.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
struct History {
    QString file;
    long long rows = 0;
};

std::unique_ptr<QTemporaryDir> &baseDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    if (!dir) {
        const QByteArray where = qgetenv("HISTORY_BENCH_DIR");
        dir = where.isEmpty() ? std::make_unique<QTemporaryDir>()
                              : std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(where) + QStringLiteral("/hbXXXXXX"));
    }
    return dir;
}

const History &historyOfDays(int days)
{
    static std::map<int, std::unique_ptr<History>> made;
    auto &slot = made[days];
    if (slot)
        return *slot;
    slot = std::make_unique<History>();
    slot->file = baseDir()->path() + QStringLiteral("/Saldomat-%1.db").arg(days);
    slot->rows = GenerateHistory(slot->file, days, 28.5);
    return *slot;
}

void setRows(benchmark::State &state, const History &h)
{
    state.counters["rows"] = static_cast<double>(h.rows);
}

// One stored query: the delta against yesterday, then the durable insert.
void BM_DeltaAndSave(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    TmdbStore store(h.file);
    TIssa issa;
    issa.LicSchet = QStringLiteral("12345670");
    issa.UserName = QStringLiteral("Абонент 0");
    issa.Balance = 95.5f;
    issa.USDRate = 28.5f;
    int i = 0;
    for (auto _ : state) {
        issa.PhoneNumber = BenchPhoneNumber(i++ % BenchPhones);
        store.CalcBalanceDelta(issa);
        store.SaveIssaToMdb(issa);
    }
    setRows(state, h);
}

void BM_LoadHistoryInformation100(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    QList<HistoryPhoneRef> phones;
    for (int p = 0; p < BenchPhones; ++p)
        phones.append({p + 1, BenchPhoneNumber(p), QStringLiteral("alias %1").arg(p)});
    TmdbStore store(h.file);
    for (auto _ : state)
        store.LoadHistoryInformation(phones, 3);
    setRows(state, h);
}

void BM_Newest50(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        auto rows = HistoryNewestRows(BenchPhoneNumber(i++ % BenchPhones), 50, h.file);
        benchmark::DoNotOptimize(rows.data());
    }
    setRows(state, h);
}

// All rows of one phone, oldest first: at 3650 days also the reading part of
// export_bench's BM_ExportAllRowsOfOnePhone, which exports the same history.
void BM_AllRowsOfOnePhone(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    int i = 0;
    long long got = 0;
    for (auto _ : state) {
        auto rows = HistoryAllRows(BenchPhoneNumber(i++ % BenchPhones), h.file);
        got = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    setRows(state, h);
    state.counters["phone_rows"] = static_cast<double>(got);
}

// The floor of every durable insert on this disk: one 4 KB write made durable
// (a commit to the write-ahead log needs one, a rollback journal several).
void BM_FsyncBaseline(benchmark::State &state)
{
    QFile f(baseDir()->path() + QStringLiteral("/fsync-probe"));
    if (!f.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        state.SkipWithError("cannot create the probe file");
        return;
    }
    const QByteArray page(4096, 'x');
    for (auto _ : state) {
        f.seek(0);
        f.write(page);
        f.flush();
#ifdef Q_OS_UNIX
        ::fsync(f.handle());
#endif
    }
}

// What a commit of a rollback journal (a history file not yet switched to the
// write-ahead log) does to the file system besides its writes: a new file made
// durable, then removed.
void BM_CreateSyncRemoveBaseline(benchmark::State &state)
{
    const QString name = baseDir()->path() + QStringLiteral("/journal-probe");
    const QByteArray page(4096, 'x');
    for (auto _ : state) {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            state.SkipWithError("cannot create the probe file");
            return;
        }
        f.write(page);
        f.flush();
#ifdef Q_OS_UNIX
        ::fsync(f.handle());
#endif
        f.close();
        QFile::remove(name);
    }
}

// 13 days: about 10 thousand rows; 3650 days: about 2.9 million rows.
BENCHMARK(BM_FsyncBaseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CreateSyncRemoveBaseline)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DeltaAndSave)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadHistoryInformation100)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Newest50)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllRowsOfOnePhone)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
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
        std::fprintf(stderr, "history_bench: %s\n", qPrintable(failureText(e)));
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
