// Storing a result and loading the newest rows back: the balance change of
// the day, the rounded row, texts that look like SQL.
#include "Common.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
// 10:00 on a fixed day; "yesterday" is the day before.
constexpr double kToday = 45000.0;
constexpr double kTenOClock = kToday + 10.0 / 24.0;

struct StoreFixture : ::testing::Test {
    TestHome home;
    TIssaArray table{};
    TmdbStore store;
    double now = kTenOClock;

    StoreFixture()
    {
        CreateHistoryDatabase();
        store.setClock([this] { return now; });
    }
    QString db() const { return HistoryDbFileName(); }
    // The loader's records written into the phone table, as at start-up.
    void load(const QList<HistoryPhoneRef> &phones, int refreshHours)
    {
        for (const THistoryRecord &r : store.LoadHistoryInformation(phones, refreshHours))
            ApplyHistoryRecord(table[r.slot], r);
    }

    TIssa result(const QString &phone, float balance)
    {
        TIssa issa;
        issa.PhoneNumber = phone;
        issa.Balance = balance;
        issa.QueryDateTime = now;
        issa.Success = true;
        return issa;
    }
    // CalcBalanceDelta then SaveIssaToMdb, as after every successful query.
    float record(const QString &phone, float balance)
    {
        TIssa issa = result(phone, balance);
        issa.BalDelta = 99;
        store.CalcBalanceDelta(issa);
        EXPECT_TRUE(store.SaveIssaToMdb(issa));
        return issa.BalDelta;
    }
};
}  // namespace

// The change of the day is against the last row of an earlier day of the same
// phone; midnight separates the days; a stored text balance is read with a comma.
TEST_F(StoreFixture, DeltaOfTheDayIsAgainstTheLastRowOfAnEarlierDay)
{
    const QString phone = "9161234567";
    EXPECT_EQ(record(phone, 33.0f), 0.0f);  // the first query of a phone
    EXPECT_EQ(record(phone, 30.0f), 0.0f);  // only rows of today
    InsertRaw(db(), {phone, kToday - 1 + 9.0 / 24.0, 25.0});
    InsertRaw(db(), {phone, kToday - 1 + (23 * 60 + 59) / 1440.0, 20.0});
    InsertRaw(db(), {"9160000000", kToday - 1 + 23.99 / 24.0, 500.0});  // another phone
    EXPECT_FLOAT_EQ(record(phone, 18.5f), -1.5f);
    now += 2.0 / 24.0;
    EXPECT_FLOAT_EQ(record(phone, 17.0f), -3.0f);
    const auto rows = HistoryAllRows(phone);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_FLOAT_EQ(rows[0].BalDelta, -3.0f);

    InsertRaw(db(), {"A", kToday - 2, "19,50"});
    InsertRaw(db(), {"B", kToday - 2, "n/a"});
    EXPECT_FLOAT_EQ(record("A", 20.0f), 0.5f);
    EXPECT_FLOAT_EQ(record("B", 20.0f), 20.0f);
}

// A row holds the figures rounded as shown, its texts exactly (quotes, SQL and
// pattern characters) and the time of storing, empty texts as one space;
// loading takes the newest row of a phone and counts one younger than the
// refresh time as a success.
TEST_F(StoreFixture, RowsAreRoundedOnStoringAndTheNewestLoadsBack)
{
    const QString phone = "916' OR '1'='1\\%_", account = "x'); DROP TABLE Phones; --", user = "Д'Артаньян \"Иван\"";
    InsertRaw(db(), {phone, now - 1, 1.0});
    InsertRaw(db(), {"B", now - 4.0 / 24.0, 7.5});
    TIssa issa = result(phone, 12.345f);
    issa.LicSchet = account;
    issa.UserName = user;
    issa.ObPlat = 1.004f;
    issa.BalDelta = -0.5f;
    issa.Average = 3.456f;
    issa.JeansExpired = 12;
    issa.TurnOff = -3;
    issa.Recomend = 99.999f;
    issa.SMS = 15;
    issa.Minutes = 120;
    issa.USDRate = 28.12345f;  // as a float a little below ...2345: four decimals give ...1234
    issa.QueryDateTime = now - 0.01;
    now += 1.0 / 86400;
    ASSERT_TRUE(store.SaveIssaToMdb(issa));
    ASSERT_TRUE(store.SaveIssaToMdb(result(QString(), 5.0f)));
    const QStringList rows
        = Sql(db(),
              "SELECT PhoneNumber || '|' || LicSchet || '|' || UserName || '|' || Balance || '|' || ObPlat || '|' || "
              "BalDelta || '|' || Average || '|' || JeansExpired || '|' || TurnOff || '|' || Recomend || '|' || SMS "
              "|| '|' || Minutes || '|' || USDRate FROM Phones WHERE NN > 2 ORDER BY NN");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringList({phone, account, user, "12.35|1.0|-0.5|3.46|12|-3|100.0|15|120|28.1234"}).join('|'));
    EXPECT_TRUE(rows[1].startsWith(" | | |5.0|")) << rows[1].toStdString();

    table[3].Balance = 11.0f;  // slot 3 has no history rows
    table[4].Alias = "untouched";  // slot 4 is not monitored
    load({{1, phone, "first"}, {2, "B", "second"}, {3, "C", "third"}}, 3);
    const TIssa &a = table[1];
    EXPECT_EQ(QStringList({a.Alias, a.PhoneNumber, a.LicSchet, a.UserName}),
              QStringList({"first", phone, account, user}));
    EXPECT_EQ(QList<float>({a.Balance, a.ObPlat, a.BalDelta, a.Average, a.Recomend, a.USDRate}),
              QList<float>({12.35f, 1.0f, -0.5f, 3.46f, 100.0f, 28.1234f}));
    EXPECT_EQ(QList<int>({a.PhoneID, a.TurnOff, a.JeansExpired, a.SMS, a.Minutes}), QList<int>({1, -3, 12, 15, 120}));
    EXPECT_DOUBLE_EQ(a.QueryDateTime, now);
    EXPECT_TRUE(a.Success);
    EXPECT_FLOAT_EQ(table[2].Balance, 7.5f);  // shown all the same
    EXPECT_FALSE(table[2].Success);  // 4 hours old, refresh time 3 hours
    EXPECT_EQ(table[3].PhoneNumber, "C");
    EXPECT_FLOAT_EQ(table[3].Balance, 11.0f);
    EXPECT_FALSE(table[3].Success);
    EXPECT_EQ(table[4].Alias, "untouched");
    EXPECT_TRUE(HistoryAllRows(phone.chopped(1)).isEmpty());  // pattern characters match only themselves
    load({{2, "B", "second"}}, 5);
    EXPECT_TRUE(table[2].Success);  // a longer refresh time counts it as current

    QFile::remove(db());  // a missing file: nothing loaded, nothing created
    table[5].Balance = 4.0f;
    load({{5, phone, "x"}}, 3);
    EXPECT_EQ(table[5].Balance, 4.0f);
    EXPECT_FALSE(QFileInfo::exists(db()));
}
