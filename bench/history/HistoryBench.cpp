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
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {
constexpr int kPhones = 100;
constexpr int kPerDay = 8;

QString phoneNumber(int i)
{
    return QStringLiteral("90%1").arg(1000000 + i, 8, 10, QLatin1Char('0'));
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

// One transaction, one prepared insert reused for every row; rows end now.
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
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral("INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, "
                             "BalDelta, Average, JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
                             "VALUES (?, ?, ?, ?, ?, 0, ?, ?, 0, ?, ?, ?, ?, ?)"));
    const double start = OleDateOnly(NowOle()) - days;
    for (int d = 0; d < days; ++d) {
        for (int k = 0; k < kPerDay; ++k) {
            const double when = start + d + (k * 3 + 0.5) / 24.0;
            for (int p = 0; p < kPhones; ++p) {
                q.addBindValue(phoneNumber(p));
                q.addBindValue(QStringLiteral("1234567%1").arg(p));
                q.addBindValue(QStringLiteral("Абонент %1").arg(p));
                q.addBindValue(when);
                q.addBindValue(100.0 + (d % 50) - k * 0.25);
                q.addBindValue(-0.25 * k);
                q.addBindValue(3.5);
                q.addBindValue(28);
                q.addBindValue(50.0);
                q.addBindValue(k * 3);
                q.addBindValue(d % 200);
                q.addBindValue(28.5);
                if (!q.exec())
                    throw SaldomatError(QStringLiteral("generating the history failed"));
                ++slot->rows;
            }
        }
    }
    ExecFixed(conn.db(), QStringLiteral("COMMIT"));
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

// 13 days: about 10 thousand rows; 3650 days: about 2.9 million rows.
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
