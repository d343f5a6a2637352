#include "Common.h"
#include "Failure.h"
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
    std::unique_ptr<TmdbStore> store;
    double now = kTenOClock;

    void SetUp() override
    {
        CreateHistoryDatabase();
        store = std::make_unique<TmdbStore>();
        store->setClock([this] { return now; });
    }
    QString db() const { return HistoryDbFileName(); }
    // The loader's records written into the phone table, as at start-up.
    void load(const QList<HistoryPhoneRef> &phones, int refreshHours)
    {
        for (const THistoryRecord &r : store->LoadHistoryInformation(phones, refreshHours))
            ApplyHistoryRecord(IssaArray[r.slot], r);
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
        store->CalcBalanceDelta(issa);
        EXPECT_TRUE(store->SaveIssaToMdb(issa));
        return issa.BalDelta;
    }
};
}  // namespace

TEST_F(StoreFixture, FirstQueryOfAPhoneHasNoDeltaAndStoresOneRow)
{
    TIssa issa = result(QStringLiteral("9161234567"), 33.0f);
    issa.BalDelta = 99;
    store->CalcBalanceDelta(issa);
    EXPECT_EQ(issa.BalDelta, 0.0f);
    EXPECT_TRUE(store->SaveIssaToMdb(issa));
    EXPECT_EQ(CountRows(db()), 1);
    // Only rows of today: still nothing to compare with.
    EXPECT_EQ(record(QStringLiteral("9161234567"), 30.0f), 0.0f);
}

TEST_F(StoreFixture, DeltaOfTheDayIsAgainstTheLastRowOfAnEarlierDay)
{
    const QString phone = QStringLiteral("9161234567");
    InsertRaw(db(), {phone, kToday - 1 + 9.0 / 24.0, 25.0});
    InsertRaw(db(), {phone, kToday - 1 + 18.0 / 24.0, 20.0});
    InsertRaw(db(), {QStringLiteral("9160000000"), kToday - 1 + 20.0 / 24.0, 500.0});  // another phone
    EXPECT_FLOAT_EQ(record(phone, 18.5f), -1.5f);
    now += 2.0 / 24.0;
    EXPECT_FLOAT_EQ(record(phone, 17.0f), -3.0f);
    const auto rows = HistoryAllRows(phone);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_FLOAT_EQ(rows[0].BalDelta, -3.0f);
    EXPECT_FLOAT_EQ(rows[1].BalDelta, -1.5f);
}

TEST_F(StoreFixture, MidnightSeparatesTheDays)
{
    const QString phone = QStringLiteral("9161234567");
    InsertRaw(db(), {phone, kToday - 1 + (23 * 60 + 59) / 1440.0, 30.0});
    InsertRaw(db(), {phone, kToday + 1 / 1440.0, 25.0});
    EXPECT_FLOAT_EQ(record(phone, 28.0f), -2.0f);
}

TEST_F(StoreFixture, StoredBalanceIsReadBackAsTextWithCommaOrUnreadable)
{
    InsertRaw(db(), {QStringLiteral("A"), kToday - 2, QStringLiteral("19,50")});
    InsertRaw(db(), {QStringLiteral("B"), kToday - 2, QStringLiteral("n/a")});
    EXPECT_FLOAT_EQ(record(QStringLiteral("A"), 20.0f), 0.5f);
    EXPECT_FLOAT_EQ(record(QStringLiteral("B"), 20.0f), 20.0f);
}

TEST_F(StoreFixture, RowHoldsTheRoundedFiguresAndTheTimeOfStoring)
{
    TIssa issa = result(QStringLiteral("9161234567"), 12.345f);
    issa.LicSchet = QStringLiteral("123456789");
    issa.UserName = QStringLiteral("Иванов Иван");
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
    ASSERT_TRUE(store->SaveIssaToMdb(issa));
    const QStringList row = Column(db(), QStringLiteral(
        "SELECT PhoneNumber || '|' || LicSchet || '|' || UserName || '|' || Balance || '|' || ObPlat || '|' || "
        "BalDelta || '|' || Average || '|' || JeansExpired || '|' || TurnOff || '|' || Recomend || '|' || SMS || '|' "
        "|| Minutes || '|' || USDRate FROM Phones"));
    EXPECT_EQ(row, QStringList({"9161234567|123456789|Иванов Иван|12.35|1.0|-0.5|3.46|12|-3|100.0|15|120|28.1234"}));
    const auto rows = HistoryAllRows(issa.PhoneNumber);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_DOUBLE_EQ(rows[0].QueryDateTime, now);
}

TEST_F(StoreFixture, EmptyTextsAreStoredAsOneSpace)
{
    TIssa issa = result(QString(), 5.0f);
    ASSERT_TRUE(store->SaveIssaToMdb(issa));
    EXPECT_EQ(Column(db(), QStringLiteral("SELECT '[' || PhoneNumber || '][' || LicSchet || '][' || UserName || ']' FROM Phones")),
              QStringList({"[ ][ ][ ]"}));
    EXPECT_TRUE(issa.UserName.isEmpty());
}

TEST_F(StoreFixture, TextsWithQuotesAndSqlAreStoredAndFoundExactly)
{
    const QStringList nasty{QStringLiteral("O'Brien"), QStringLiteral("\"quoted\" ''double''"),
                            QStringLiteral("x'); DROP TABLE Phones; --"), QStringLiteral("1' OR '1'='1"),
                            QStringLiteral("a;b;c SELECT * FROM Phones WHERE 1=1"), QStringLiteral("Д'Артаньян\\%_")};
    for (const QString &text : nasty) {
        TIssa issa = result(text, 10.0f);
        issa.UserName = text;
        issa.LicSchet = text;
        store->CalcBalanceDelta(issa);
        ASSERT_TRUE(store->SaveIssaToMdb(issa));
    }
    EXPECT_EQ(CountRows(db()), nasty.size());
    QList<HistoryPhoneRef> refs;
    for (int i = 0; i < nasty.size(); ++i)
        refs.append({i + 1, nasty[i], QStringLiteral("alias")});
    load(refs, 3);
    for (int i = 0; i < nasty.size(); ++i) {
        const auto rows = HistoryAllRows(nasty[i]);
        ASSERT_EQ(rows.size(), 1) << nasty[i].toStdString();
        EXPECT_EQ(rows[0].PhoneNumber, nasty[i]);
        EXPECT_EQ(IssaArray[i + 1].UserName, nasty[i]);
        EXPECT_EQ(IssaArray[i + 1].LicSchet, nasty[i]);
        EXPECT_TRUE(IssaArray[i + 1].Success);
    }
    // Pattern characters match only themselves.
    EXPECT_TRUE(HistoryAllRows(QStringLiteral("Д'Артаньян\\%")).isEmpty());
}

TEST_F(StoreFixture, LoadingFromAMissingFileDoesNothing)
{
    QFile::remove(db());
    IssaArray[1].Balance = 4.0f;
    load({{1, QStringLiteral("9161234567"), QStringLiteral("x")}}, 3);
    EXPECT_EQ(IssaArray[1].Balance, 4.0f);
    EXPECT_TRUE(IssaArray[1].Alias.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(db()));
}

TEST_F(StoreFixture, LoadingTakesTheNewestRowAndCountsRecentOnesAsSuccess)
{
    RawRow older{QStringLiteral("A"), now - 1, 1.0};
    RawRow recent{QStringLiteral("A"), now - 2.0 / 24.0, 42.25};
    recent.licSchet = QStringLiteral("LS-A");
    recent.userName = QStringLiteral("Пётр");
    recent.obPlat = 5;
    recent.delta = -1.25;
    recent.average = 2.5;
    recent.recomend = 60;
    recent.usdRate = 28.5;
    recent.turnOff = 17;
    recent.jeans = 30;
    recent.sms = 40;
    recent.minutes = 50;
    InsertRaw(db(), older);
    InsertRaw(db(), recent);
    InsertRaw(db(), {QStringLiteral("B"), now - 4.0 / 24.0, 7.5});

    IssaArray[3].Balance = 11.0f;  // slot 3 has no history rows
    IssaArray[4].Balance = 13.0f;  // slot 4 is not monitored
    IssaArray[4].Alias = QStringLiteral("untouched");
    load({{1, QStringLiteral("A"), QStringLiteral("first")},
                                   {2, QStringLiteral("B"), QStringLiteral("second")},
                                   {3, QStringLiteral("C"), QStringLiteral("third")}},
                                  3);
    const TIssa &a = IssaArray[1];
    EXPECT_EQ(a.PhoneID, 1);
    EXPECT_EQ(a.Alias, QStringLiteral("first"));
    EXPECT_EQ(a.PhoneNumber, QStringLiteral("A"));
    EXPECT_EQ(a.LicSchet, QStringLiteral("LS-A"));
    EXPECT_EQ(a.UserName, QStringLiteral("Пётр"));
    EXPECT_FLOAT_EQ(a.Balance, 42.25f);
    EXPECT_FLOAT_EQ(a.ObPlat, 5.0f);
    EXPECT_FLOAT_EQ(a.BalDelta, -1.25f);
    EXPECT_FLOAT_EQ(a.Average, 2.5f);
    EXPECT_FLOAT_EQ(a.Recomend, 60.0f);
    EXPECT_FLOAT_EQ(a.USDRate, 28.5f);
    EXPECT_EQ(a.TurnOff, 17);
    EXPECT_EQ(a.JeansExpired, 30);
    EXPECT_EQ(a.SMS, 40);
    EXPECT_EQ(a.Minutes, 50);
    EXPECT_DOUBLE_EQ(a.QueryDateTime, recent.when);
    EXPECT_TRUE(a.Success);  // 2 hours old, refresh time 3 hours

    const TIssa &b = IssaArray[2];
    EXPECT_FLOAT_EQ(b.Balance, 7.5f);  // shown all the same
    EXPECT_FALSE(b.Success);          // 4 hours old

    const TIssa &c = IssaArray[3];
    EXPECT_EQ(c.PhoneID, 3);
    EXPECT_EQ(c.Alias, QStringLiteral("third"));
    EXPECT_EQ(c.PhoneNumber, QStringLiteral("C"));
    EXPECT_FLOAT_EQ(c.Balance, 11.0f);
    EXPECT_FALSE(c.Success);

    EXPECT_FLOAT_EQ(IssaArray[4].Balance, 13.0f);
    EXPECT_EQ(IssaArray[4].Alias, QStringLiteral("untouched"));
    EXPECT_EQ(IssaArray[4].PhoneID, 0);

    // A longer refresh time counts the 4-hour-old row as current.
    load({{2, QStringLiteral("B"), QStringLiteral("second")}}, 5);
    EXPECT_TRUE(IssaArray[2].Success);
}
