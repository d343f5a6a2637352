#include "ExportTestUtil.h"

#include "HistoryDb.h"
#include "Setup.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

void StoreRow(const QString &dbFile, const StoredRow &r)
{
    if (!QFileInfo::exists(dbFile))
        CreateHistoryDatabase(dbFile);
    HistoryConnection conn(dbFile);
    QSqlQuery q(conn.db());
    q.prepare(QStringLiteral(
        "INSERT INTO Phones (PhoneNumber, LicSchet, UserName, QueryDateTime, Balance, ObPlat, BalDelta, Average, "
        "JeansExpired, TurnOff, Recomend, SMS, Minutes, USDRate) VALUES (?, 'L1', 'User', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &v : QVariantList{r.phone, r.when, r.balance, r.obPlat, r.delta, r.average, r.jeans, r.turnOff,
                                          r.recomend, r.sms, r.minutes, r.usdRate})
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
}

TDateTime At(int year, int month, int day, int hour, int minute, int second)
{
    return ToOleDate(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

void MonitorPhone(int slot, const QString &number, const QString &alias)
{
    TSetupPhoneLine line = SetupModel().Line(slot);
    line.Monitor = true;
    line.Number = number;
    line.Password = QStringLiteral("pw");
    line.Alias = alias;
    SetupModel().SetLine(slot, line);
}
