#include "BenchHistory.h"

#include "Failure.h"
#include "HistoryDb.h"
#include "OleDate.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

namespace {
constexpr int kFirstNumber = 10000000;
}  // namespace

QString BenchPhoneNumber(int i)
{
    return QStringLiteral("90%1").arg(kFirstNumber + i);
}

// One transaction and one prepared insert that makes every row inside SQLite
// (a counting sequence joined into the table): the phones interleaved as a real
// run of queries stores them.
long long GenerateHistory(const QString &file, int days, double usdRate)
{
    QElapsedTimer timer;
    timer.start();
    CreateHistoryDatabase(file);
    HistoryConnection conn(file);
    ExecFixed(conn.db(), QStringLiteral("PRAGMA synchronous=OFF"));
    ExecFixed(conn.db(), QStringLiteral("BEGIN"));
    const long long rows = static_cast<long long>(days) * BenchQueriesPerDay * BenchPhones;
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, Average, "
        "JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
        "SELECT '90' || (? + i % ?), '1234567' || (i % ?), 'Абонент ' || (i % ?), "
        "? + (i / ?) / CAST(? AS REAL) + 0.5 / 24, 100.0 + (i / ? / ?) % 50 - (i / ? % ?) * 0.25, 0, "
        "-0.25 * (i / ? % ?), 3.5, (i / ? / ?) % 200, 28, 50.0, (i / ? % ?) * 3, 0, ? FROM n"));
    constexpr int phones = BenchPhones;
    constexpr int perDay = BenchQueriesPerDay;
    const double start = OleDateOnly(NowOle()) - days;
    for (const QVariant &v :
         QVariantList{rows, kFirstNumber, phones, phones, phones, start, phones, perDay, phones, perDay, phones, perDay,
                      phones, perDay, phones, perDay, phones, perDay, usdRate})
        q.addBindValue(v);
    if (!q.exec())
        throw SaldomatError(QStringLiteral("generating the history failed: ") + q.lastError().text());
    ExecFixed(conn.db(), QStringLiteral("COMMIT"));
    std::fprintf(stderr, "generated %lld rows (%d days, %d phones) in %.1f s\n", rows, days, phones,
                 timer.elapsed() / 1000.0);
    return rows;
}
