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

void ExecOn(const QString &file, const QString &sql)
{
    HistoryConnection conn(file, HistoryConnection::Mode::Create);
    ExecFixed(conn.db(), sql);
}

QStringList Column(const QString &file, const QString &sql)
{
    HistoryConnection conn(file);
    QStringList out;
    QSqlQuery q(conn.db());
    if (!q.exec(sql))
        ADD_FAILURE() << q.lastError().text().toStdString();
    while (q.next())
        out << q.value(0).toString();
    return out;
}

long long CountRows(const QString &file)
{
    const QStringList c = Column(file, QStringLiteral("SELECT COUNT(*) FROM Phones"));
    return c.isEmpty() ? -1 : c.first().toLongLong();
}

QString IntegrityCheck(const QString &file)
{
    return Column(file, QStringLiteral("PRAGMA integrity_check")).join(QLatin1Char('\n'));
}

QStringList TableColumnNames(const QString &file, const QString &table)
{
    HistoryConnection conn(file);
    QStringList out;
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    q.addBindValue(table);
    if (!q.exec())
        ADD_FAILURE() << q.lastError().text().toStdString();
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QString LogText()
{
    return FromCp1251(ReadFileBytes(ErrorLogFileName()));
}

QStringList PerPhoneIndexColumns()
{
    return {QStringLiteral("PhoneNumber"), QStringLiteral("QueryDateTime"), QStringLiteral("NN"),
            QStringLiteral("Balance"),     QStringLiteral("ObPlat"),        QStringLiteral("BalDelta"),
            QStringLiteral("Average"),     QStringLiteral("TurnOff"),       QStringLiteral("JeansExpired"),
            QStringLiteral("Recomend"),    QStringLiteral("SMS"),           QStringLiteral("Minutes"),
            QStringLiteral("USDRate")};
}
