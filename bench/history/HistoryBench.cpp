// Speed of the history store on a generated history: 100 phones, 8 queries a
// day, either 13 days (about 10 thousand rows) or 10 years (about 2.9 million
// rows). Each history is generated once per run in a temporary folder.
//
//   history_bench [--benchmark_filter=...]   (HISTORY_BENCH_DIR picks the folder)

#include "BenchHistory.h"
#include "Common.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "LeastTimes.h"
#include "StoreMDB.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>

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
        dir = where.isEmpty()
            ? std::make_unique<QTemporaryDir>()
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

// The figures of one stored query; the number is set per iteration.
TIssa benchIssa()
{
    TIssa issa;
    issa.LicSchet = QStringLiteral("12345670");
    issa.UserName = QStringLiteral("Абонент 0");
    issa.Balance = 95.5f;
    issa.USDRate = 28.5f;
    return issa;
}

// One stored query: the delta against yesterday, then the durable insert.
void BM_DeltaAndSave(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    TmdbStore store(h.file);
    TIssa issa = benchIssa();
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

// The floor of a stored query: the same row inserted and committed through
// SQLite's C API on the same file, in the store's journal mode, sync level and
// busy time-out, with the statement prepared once and the connection kept open.
void BM_InsertFloor(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    sqlite3 *db = nullptr;
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(h.file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
        || sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db,
                              "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, "
                              "BalDelta, Average, JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                              -1, &insert, nullptr)
            != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, HistoryBusyTimeoutMs);
    const QByteArray licSchet = QByteArrayLiteral("12345670");
    const QByteArray userName = QStringLiteral("Абонент 0").toUtf8();
    int i = 0;
    for (auto _ : state) {
        const QByteArray number = BenchPhoneNumber(i++ % BenchPhones).toUtf8();
        sqlite3_bind_text(insert, 1, number.constData(), static_cast<int>(number.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, licSchet.constData(), static_cast<int>(licSchet.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, userName.constData(), static_cast<int>(userName.size()), SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, NowOle());
        sqlite3_bind_double(insert, 5, 95.5);
        sqlite3_bind_double(insert, 6, 0);
        sqlite3_bind_double(insert, 7, 0);
        sqlite3_bind_double(insert, 8, 0);
        sqlite3_bind_int(insert, 9, 0);
        sqlite3_bind_int(insert, 10, 0);
        sqlite3_bind_double(insert, 11, 0);
        sqlite3_bind_int(insert, 12, 0);
        sqlite3_bind_int(insert, 13, 0);
        sqlite3_bind_double(insert, 14, 28.5);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    setRows(state, h);
}

// One stored query without its delta: the insert of the store alone.
void BM_Save(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    TmdbStore store(h.file);
    TIssa issa = benchIssa();
    int i = 0;
    for (auto _ : state) {
        issa.PhoneNumber = BenchPhoneNumber(i++ % BenchPhones);
        if (!store.SaveIssaToMdb(issa)) {
            state.SkipWithError("the row was not stored");
            break;
        }
    }
    setRows(state, h);
}

// 13 days: about 10 thousand rows; 3650 days: about 2.9 million rows.
// The inserts and their floor, 5 times each (the least CPU and wall times are
// compared; --benchmark_enable_random_interleaving=true mixes them on a busy disk).
BENCHMARK(BM_InsertFloor)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_Save)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_DeltaAndSave)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_LoadHistoryInformation100)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Newest50)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllRowsOfOnePhone)->Arg(13)->Arg(3650)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return RunAgainstFloors(argc, argv, "Least times per stored row of 5 runs:", [](const LeastTimes &reporter) {
        for (const char *days : {"13", "3650"}) {
            const std::string floor = std::string("BM_InsertFloor/") + days;
            const std::string label = std::string(", ") + days + " days";
            reporter.printRatio(("SaveIssaToMdb" + label).c_str(), std::string("BM_Save/") + days, floor, "ms");
            reporter.printRatio(("CalcBalanceDelta + SaveIssaToMdb" + label).c_str(),
                                std::string("BM_DeltaAndSave/") + days, floor, "ms");
        }
    });
}
