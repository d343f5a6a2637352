// Storing a result and reading the history back: the balance change of the
// day, the rounded row, texts that look like SQL, the newest rows at start-up,
// the periods, and saldomat-cli history, which makes the file once and shows
// a period in every form.
#include "CliRun.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryTestUtil.h"
#include "StoreMDB.h"
#include "TestHome.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
// 10:00 on a fixed day; "yesterday" is the day before.
constexpr double kToday = 45000.0;

struct StoreFixture : ::testing::Test {
    TestHome home;
    TIssaArray table{};
    TmdbStore store;
    double now = kToday + 10.0 / 24.0;

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

    // CalcBalanceDelta then SaveIssaToMdb, as after every successful query.
    float record(const QString &phone, float balance)
    {
        TIssa issa;
        issa.PhoneNumber = phone;
        issa.Balance = balance;
        issa.QueryDateTime = now;
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
    TIssa issa, empty;  // empty texts are stored as one space
    issa.PhoneNumber = phone;
    issa.Balance = 12.345f;
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
    empty.Balance = 5.0f;
    ASSERT_TRUE(store.SaveIssaToMdb(empty));
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

TEST(HistoryQueries, PeriodsNewestFirst)
{
    TestHome home;
    EXPECT_THROW(HistoryAllRows("P"), SaldomatError);  // no file
    CreateHistoryDatabase();
    const double now = NowOle();
    // Stored out of order, with other phones; of rows of the same moment the one stored last comes first.
    for (double age : {5.5, 0.5, 3.5, 1.5, 2.5, 4.5})
        InsertRaw(HistoryDbFileName(), {"P", now - age, age});
    for (const RawRow &row : {RawRow{"Q", now - 0.1, 1.0}, RawRow{"T", 45000.5, 1.0}, RawRow{"T", 45000.5, 2.0}})
        InsertRaw(HistoryDbFileName(), row);
    const auto balances = [](const QVector<HistoryRow> &rows) {
        QStringList out;
        for (const HistoryRow &r : rows)
            out << QString::number(r.Balance);
        return out.join(' ');
    };
    EXPECT_EQ(balances(HistoryAllRows("P")), "0.5 1.5 2.5 3.5 4.5 5.5");
    EXPECT_EQ(balances(HistoryAllRows("p")), "");
    EXPECT_EQ(balances(HistoryNewestRows("P", 2)), "0.5 1.5");
    EXPECT_EQ(balances(HistoryLastDays("P", 2, QString(), now)), "0.5 1.5");
    EXPECT_EQ(balances(HistoryRows("T", HistoryPeriod::LastCount, 1)), "2");
}

TEST(HistoryCli, InitOnceThenShowTheChosenPeriodAsTextJsonAndCsv)
{
    TestHome home;
    CliRun run = RunCli({"history", "init"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(CheckHistoryAvailable());
    const QString db = HistoryDbFileName(), phone = "O'Brien; --";
    const double now = NowOle();
    for (const RawRow &row :
         {RawRow{.phone = phone, .when = now - 0.1, .balance = 12.5, .usdRate = 28.5, .sms = 7},
          RawRow{phone, now - 0.5, 13.0}, RawRow{phone, now - 2.5, 14.0}, RawRow{"9161234567", now - 0.2, 12.5}})
        InsertRaw(db, row);
    const QByteArray before = ReadFileBytes(db);
    run = RunCli({"history", "init"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("already exists")) << run.err.toStdString();
    EXPECT_EQ(ReadFileBytes(db), before);

    run = RunCli({"history", "show", phone});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.lines().size(), 4);
    const QStringList first = run.lines()[1].split(' ', Qt::SkipEmptyParts);
    EXPECT_EQ(first[0], FromOleDate(now - 0.1).date().toString("dd.MM.yyyy"));
    EXPECT_EQ(first[2], "12.50");
    EXPECT_EQ(first.last(), "28.5000");
    EXPECT_TRUE(run.lines()[3].contains("14.00"));
    for (const auto &[words, lines] : {std::pair{"--last|1", 2}, {"--days|1", 3}, {"--all", 4}})
        EXPECT_EQ(RunCli(QStringList{"history", "show", phone} + CliWords(words)).lines().size(), lines) << words;

    const CliRun json = RunCli({"history", "show", phone, "--format", "json"});
    const QJsonArray rows = QJsonDocument::fromJson(json.outBytes).array();
    ASSERT_EQ(rows.size(), 3) << json.out.toStdString();
    EXPECT_EQ(rows[0].toObject().value("balance"), QJsonValue(12.5));
    EXPECT_EQ(rows[0].toObject().value("sms"), QJsonValue(7));
    // The number as people type it finds the same rows.
    const auto csv = ParseCsvWithPython(RunCli({"history", "show", "+7 916 123-45-67", "--format", "csv"}).outBytes);
    ASSERT_EQ(csv.size(), 2);
    EXPECT_EQ(csv[0].value(1), "balance");
    EXPECT_EQ(csv[1].value(1), "12.5");

    for (const char *words :
         {"history|show", "history|show|x|--last|x", "history|show|x|--all|--days|2", "history|show|x|--format|xml"})
        EXPECT_EQ(RunCli(CliWords(words)).status, 2) << words;
    EXPECT_EQ(RunCli({"history", "show", "nobody"}).status, 1);
    EXPECT_EQ(CountRows(db), 4);
    QFile::remove(db);
    EXPECT_EQ(RunCli({"history", "show", "9161234567"}).status, 3);
}
