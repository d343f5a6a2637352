// Speed of the history store on a generated history: 100 phones, 8 queries a
// day, either 13 days (about 10 thousand rows) or 10 years (about 2.9 million
// rows). Each history is generated once per run in a temporary folder.
//
//   history_bench [--benchmark_filter=...]   (HISTORY_BENCH_DIR picks the folder)

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "StoreMDB.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
constexpr int kPhones = 100;
constexpr int kPerDay = 8;

constexpr int kFirstNumber = 10000000;

QString phoneNumber(int i)
{
    return QStringLiteral("90%1").arg(kFirstNumber + i);
}

struct History {
    QTemporaryDir dir;
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

// One transaction and one prepared insert that makes every row inside SQLite
// (a counting sequence joined into the table): rows end today, 8 a day per
// phone, the phones interleaved as a real run of queries stores them.
const History &historyOfDays(int days)
{
    static std::map<int, std::unique_ptr<History>> made;
    auto &slot = made[days];
    if (slot)
        return *slot;
    slot = std::make_unique<History>();
    slot->file = baseDir()->path() + QStringLiteral("/Saldomat-%1.db").arg(days);
    QElapsedTimer timer;
    timer.start();
    CreateHistoryDatabase(slot->file);
    HistoryConnection conn(slot->file);
    ExecFixed(conn.db(), QStringLiteral("PRAGMA synchronous=OFF"));
    ExecFixed(conn.db(), QStringLiteral("BEGIN"));
    const long long rows = static_cast<long long>(days) * kPerDay * kPhones;
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, Average, "
        "JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
        "SELECT '90' || (? + i % ?), '1234567' || (i % ?), 'Абонент ' || (i % ?), "
        "? + (i / ?) / CAST(? AS REAL) + 0.5 / 24, 100.0 + (i / ? / ?) % 50 - (i / ? % ?) * 0.25, 0, "
        "-0.25 * (i / ? % ?), 3.5, (i / ? / ?) % 200, 28, 50.0, (i / ? % ?) * 3, 0, 28.5 FROM n"));
    const double start = OleDateOnly(NowOle()) - days;
    for (const QVariant &v : QVariantList{rows, kFirstNumber, kPhones, kPhones, kPhones, start, kPhones,
                                          kPerDay, kPhones, kPerDay, kPhones, kPerDay, kPhones, kPerDay, kPhones,
                                          kPerDay, kPhones, kPerDay})
        q.addBindValue(v);
    if (!q.exec())
        throw SaldomatError(QStringLiteral("generating the history failed: ") + q.lastError().text());
    ExecFixed(conn.db(), QStringLiteral("COMMIT"));
    slot->rows = rows;
    std::fprintf(stderr, "generated %lld rows (%d days) in %.1f s\n", slot->rows, days, timer.elapsed() / 1000.0);
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
        issa.PhoneNumber = phoneNumber(i++ % kPhones);
        store.CalcBalanceDelta(issa);
        store.SaveIssaToMdb(issa);
    }
    setRows(state, h);
}

void BM_LoadHistoryInformation100(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    QList<HistoryPhoneRef> phones;
    for (int p = 0; p < kPhones; ++p)
        phones.append({p + 1, phoneNumber(p), QStringLiteral("alias %1").arg(p)});
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
        auto rows = HistoryNewestRows(phoneNumber(i++ % kPhones), 50, h.file);
        benchmark::DoNotOptimize(rows.data());
    }
    setRows(state, h);
}

void BM_AllRowsOfOnePhone(benchmark::State &state)
{
    const History &h = historyOfDays(static_cast<int>(state.range(0)));
    int i = 0;
    long long got = 0;
    for (auto _ : state) {
        auto rows = HistoryAllRows(phoneNumber(i++ % kPhones), h.file);
        got = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    setRows(state, h);
    state.counters["phone_rows"] = static_cast<double>(got);
}

// The floor of every durable insert on this disk: one 4 KB write made durable
// (a commit of the rollback journal needs several of them).
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

// What a commit of the rollback journal does to the file system besides its
// writes: a new file made durable, then removed.
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
