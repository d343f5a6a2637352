// saldomat-cli history: init once, show the grid of a period in every form.

#include "Common.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include "CliRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

TEST(HistoryCli, InitCreatesTheFileOnceOnly)
{
    TestHome home;
    CliRun run = RunCli({"history", "init"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(CheckHistoryAvailable());
    InsertRaw(HistoryDbFileName(), {QStringLiteral("P"), 45000.5});
    const QByteArray before = ReadFileBytes(HistoryDbFileName());
    run = RunCli({"history", "init"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("already exists"))) << run.err.toStdString();
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), before);
}

TEST(HistoryCli, ShowPrintsTheChosenPeriodAsTextJsonAndCsv)
{
    TestHome home;
    CreateHistoryDatabase();
    const QString phone = QStringLiteral("O'Brien; --");
    const double now = NowOle();
    RawRow newest{phone, now - 0.1, 12.5};
    newest.usdRate = 28.5;
    newest.sms = 7;
    InsertRaw(HistoryDbFileName(), newest);
    InsertRaw(HistoryDbFileName(), {phone, now - 0.5, 13.0});
    InsertRaw(HistoryDbFileName(), {phone, now - 2.5, 14.0});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("9161234567"), now - 0.2, 12.5});

    const CliRun run = RunCli({QStringLiteral("history"), QStringLiteral("show"), phone});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.lines().size(), 4);
    const QStringList first = run.lines()[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(first[0], FromOleDate(now - 0.1).date().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(first[2], QStringLiteral("12.50"));
    EXPECT_EQ(first.last(), QStringLiteral("28.5000"));
    EXPECT_TRUE(run.lines()[3].contains(QStringLiteral("14.00")));
    const auto count = [&](const char *words) {
        return RunCli(QStringList{QStringLiteral("history"), QStringLiteral("show"), phone} + CliWords(words))
            .lines()
            .size();
    };
    EXPECT_EQ(count("--last|1"), 2);
    EXPECT_EQ(count("--days|1"), 3);
    EXPECT_EQ(count("--all"), 4);

    const CliRun json = RunCli(
        {QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonArray rows = QJsonDocument::fromJson(json.outBytes).array();
    ASSERT_EQ(rows.size(), 3) << json.out.toStdString();
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("balance")), QJsonValue(12.5));
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("sms")), QJsonValue(7));
    // The number as people type it finds the same rows.
    const QVector<QStringList> csv
        = ParseCsvWithPython(RunCli({"history", "show", "+7 916 123-45-67", "--format", "csv"}).outBytes);
    ASSERT_EQ(csv.size(), 2);
    EXPECT_EQ(csv[0].value(1), QStringLiteral("balance"));
    EXPECT_EQ(csv[1].value(1), QStringLiteral("12.5"));

    for (const char *words :
         {"history|show", "history|show|x|--last|x", "history|show|x|--all|--days|2", "history|show|x|--format|xml"})
        EXPECT_EQ(RunCli(CliWords(words)).status, 2) << words;
    EXPECT_EQ(RunCli({"history", "show", "nobody"}).status, 1);
    EXPECT_EQ(CountRows(HistoryDbFileName()), 4);
    QFile::remove(HistoryDbFileName());
    EXPECT_EQ(RunCli({"history", "show", "9161234567"}).status, 3);
}
