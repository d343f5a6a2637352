// Reading the history back: the queries of the periods, and saldomat-cli
// history, which makes the file once and shows a period in every form.
#include "CliRun.h"
#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

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
    RawRow newest{phone, now - 0.1, 12.5};
    newest.usdRate = 28.5;
    newest.sms = 7;
    for (const RawRow &row : {newest, RawRow{phone, now - 0.5, 13.0}, RawRow{phone, now - 2.5, 14.0},
                              RawRow{"9161234567", now - 0.2, 12.5}})
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
