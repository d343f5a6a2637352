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

using namespace Qt::StringLiterals;

TEST_F(EngineTest, CliQueryPrintsEveryFormAndNoBalanceForAFailedPhone)
{
    startWith({phone(u"9160000001"_s), phone(u"9160000002"_s, u"auth-error"_s)});
    SavePhonesInfoToXml(state.Setup, InitPaths().PhonesXmlFileName, MaxPhones);
    auto query = [](const QStringList &args) {
        return RunCli(QStringList{"query", "--pause-ms", "0", "--timeout-s", "10"} + args);
    };

    const CliRun json = query({"--format", "json"});
    EXPECT_EQ(json.status, 1) << json.err.toStdString();  // one phone failed
    const QJsonArray phones = QJsonDocument::fromJson(json.outBytes).array();
    ASSERT_EQ(phones.size(), 2) << json.out.toStdString();
    const QJsonObject good = phones[0].toObject(), bad = phones[1].toObject();
    const QJsonObject expected{
        {u"slot"_s, 1}, {u"state"_s, u"ok"_s}, {u"balance"_s, 12.5}, {u"sms"_s, 25}, {u"stale"_s, false}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(good.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_FALSE(good.value(u"time"_s).toString().isEmpty());
    EXPECT_TRUE(bad.value(u"state"_s) == u"error"_s && bad.value(u"balance"_s).isNull() && bad.value(u"time"_s).isNull()
                && bad.value(u"error"_s).toString().contains(u"аутентификации"_s));
    EXPECT_FALSE(json.out.contains(u"70001"_s));  // the passwords ("7" + the last four digits)

    const QStringList lines = query({}).lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].contains(u"12.50"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(u"—"_s) && lines[2].contains(u"error"_s) && !lines[2].contains(u"0.00"_s))
        << lines[2].toStdString();

    const QVector<QStringList> csv = ParseCsvWithPython(query({"--format", "csv"}).outBytes);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(QStringList({csv[0].value(7), csv[1].value(7), csv[2].value(7)}),
              QStringList({u"balance"_s, u"12.5"_s, QString()}));

    EXPECT_EQ(query({"--phone", "nobody"}).status, 2);

    // One phone; the history is damaged: the figures read are printed all the
    // same, the row says it was not stored, the reason is told once, the run fails.
    const QByteArray junk = QByteArray("not a history at all ").repeated(300);
    WriteFileBytes(HistoryDbFileName(), junk);
    const CliRun lost = query({"--phone", "1"});
    EXPECT_EQ(lost.status, 1);
    EXPECT_TRUE(lost.lines().size() == 2 && lost.lines()[1].contains(u"12.50"_s)
                && lost.lines()[1].contains(u"не сохранено"_s))
        << lost.out.toStdString();
    EXPECT_EQ(lost.err.count(u"не сохранён в истории"_s), 1) << lost.err.toStdString();
    EXPECT_TRUE(lost.err.contains(u"file is not a database"_s)) << lost.err.toStdString();
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), junk);
}
