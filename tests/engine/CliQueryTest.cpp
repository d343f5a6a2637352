// saldomat-cli query against the emulator: every output form read back, and
// a failed phone never shown with a balance.
#include "CliRun.h"
#include "Common.h"
#include "EmulatorFixture.h"
#include "HistoryDb.h"
#include "PhonesXml.h"
#include "Setup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

TEST_F(EngineTest, CliQueryPrintsEveryFormAndNoBalanceForAFailedPhone)
{
    startWith({phone(QStringLiteral("9160000001")), phone(QStringLiteral("9160000002"), QStringLiteral("auth-error"))});
    SavePhonesInfoToXml(state.Setup, InitPaths().PhonesXmlFileName, MaxPhones);
    const QStringList fast{"--pause-ms", "0", "--timeout-s", "10"};

    const CliRun json = RunCli(QStringList{"query", "--format", "json"} + fast);
    EXPECT_EQ(json.status, 1) << json.err.toStdString();  // one phone failed
    QJsonParseError error;
    const QJsonArray phones = QJsonDocument::fromJson(json.outBytes, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    ASSERT_EQ(phones.size(), 2);
    const QJsonObject good = phones[0].toObject(), bad = phones[1].toObject();
    EXPECT_EQ(good.value(QStringLiteral("slot")), QJsonValue(1));
    EXPECT_EQ(good.value(QStringLiteral("state")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(good.value(QStringLiteral("balance")), QJsonValue(12.5));
    EXPECT_EQ(good.value(QStringLiteral("sms")), QJsonValue(25));
    EXPECT_EQ(good.value(QStringLiteral("stale")), QJsonValue(false));
    EXPECT_FALSE(good.value(QStringLiteral("time")).toString().isEmpty());
    EXPECT_EQ(bad.value(QStringLiteral("state")).toString(), QStringLiteral("error"));
    EXPECT_TRUE(bad.value(QStringLiteral("error")).toString().contains(QStringLiteral("аутентификации")));
    EXPECT_TRUE(bad.value(QStringLiteral("balance")).isNull());
    EXPECT_TRUE(bad.value(QStringLiteral("time")).isNull());
    EXPECT_FALSE(json.out.contains(QStringLiteral("70001")));  // the passwords ("7" + the last four digits)
    EXPECT_EQ(historyRows(QStringLiteral("9160000001")), 1);

    const CliRun table = RunCli(QStringList{"query"} + fast);
    EXPECT_EQ(table.status, 1);
    const QStringList lines = table.lines();
    ASSERT_EQ(lines.size(), 3) << table.out.toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("12.50"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("—"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("error")));
    EXPECT_FALSE(lines[2].contains(QStringLiteral("0.00")));

    const QVector<QStringList> csv
        = ParseCsvWithPython(RunCli(QStringList{"query", "--format", "csv"} + fast).outBytes);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv[0].value(7), QStringLiteral("balance"));
    EXPECT_EQ(csv[1].value(7), QStringLiteral("12.5"));
    EXPECT_EQ(csv[2].value(7), QString());

    // One phone, named by its alias: only it is asked.
    const CliRun one = RunCli(QStringList{"query", "--phone", QStringLiteral("телефон 1"), "--format", "csv"} + fast);
    EXPECT_EQ(one.status, 0) << one.err.toStdString();
    EXPECT_EQ(ParseCsvWithPython(one.outBytes).size(), 2);
    EXPECT_EQ(historyRows(QStringLiteral("9160000001")), 4);
    EXPECT_EQ(RunCli(QStringList{"query", "--phone", "nobody"} + fast).status, 2);

    // The history is damaged: the figures read are printed all the same, the
    // row says it was not stored, the reason is told once and the run fails.
    const QByteArray junk = QByteArray("not a history at all ").repeated(300);
    WriteFileBytes(HistoryDbFileName(), junk);
    const CliRun lost = RunCli(QStringList{"query", "--phone", "1"} + fast);
    EXPECT_EQ(lost.status, 1);
    ASSERT_EQ(lost.lines().size(), 2) << lost.out.toStdString();
    EXPECT_TRUE(lost.lines()[1].contains(QStringLiteral("12.50"))
                && lost.lines()[1].contains(QStringLiteral("не сохранено")))
        << lost.lines()[1].toStdString();
    EXPECT_EQ(lost.err.count(QStringLiteral("не сохранён в истории")), 1) << lost.err.toStdString();
    EXPECT_TRUE(lost.err.contains(QStringLiteral("file is not a database"))) << lost.err.toStdString();
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), junk);
}
