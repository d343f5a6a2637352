#include "HistoryTestUtil.h"

#include "Common.h"
#include "Encoding.h"
#include "HistoryDb.h"
#include "TestHome.h"

#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

void InsertRaw(const QString &file, const RawRow &r)
{
    HistoryConnection conn(file);
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral("INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, "
                             "BalDelta, Average, JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &v : QVariantList{r.phone, r.licSchet, r.userName, r.when, r.balance, r.obPlat, r.delta,
                                          r.average, r.jeans, r.turnOff, r.recomend, r.sms, r.minutes, r.usdRate})
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
}

QStringList Sql(const QString &file, const QString &sql)
{
    HistoryConnection conn(file, HistoryConnection::Mode::Create);
    QStringList out;
    QSqlQuery q(conn.db());
    if (!q.exec(sql))
        ADD_FAILURE() << q.lastError().text().toStdString();
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QString LogText()
{
    return FromCp1251(ReadFileBytes(ErrorLogFileName()));
}
