// Runs: the three modes, a history that cannot take the results, stopping,
// and pages that arrive after a stop; the time limit; saldomat-cli query, its
// every output form read back and a failed phone never shown with a balance.
#include "EmulatorFixture.h"

#include "Browser.h"
#include "CliRun.h"
#include "Common.h"
#include "EventLoopWait.h"
#include "HistoryDb.h"
#include "PhoneTable.h"
#include "PhonesXml.h"
#include "Setup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

using namespace Qt::StringLiterals;

// Nothing while the setup dialog is open; one slot; all; only the failed ones.
TEST_F(EngineTest, EachModeRequestsItsPhonesOnly)
{
    startWith({phone(u"9160000001"_s), phone(u"9160000002"_s)});
    auto logins = [this] { return QList<long>{emu.loginCount(u"9160000001"_s), emu.loginCount(u"9160000002"_s)}; };
    engine->SetSetupDialogOpen(true);
    run();
    engine->SetSetupDialogOpen(false);
    EXPECT_EQ(emu.stats().value(u"requests"_s), 0);
    EXPECT_FALSE(state.IssaArray[1].Success);
    run(2, 2);
    EXPECT_EQ(logins(), (QList<long>{0, 1}));
    run();
    ASSERT_TRUE(state.IssaArray[1].Success);
    state.IssaArray[2].Success = false;
    const QStringList pagesOfOne = state.IssaArray[1].LoadedPages;
    run(1);
    EXPECT_EQ(logins(), (QList<long>{1, 3}));
    EXPECT_EQ(state.IssaArray[1].LoadedPages, pagesOfOne);
    EXPECT_TRUE(state.IssaArray[2].Success);

    // Results the history cannot take are marked, and warned about once per
    // run; repaired before the next run, it is checked again and stored.
    QStringList warnings;
    store->setWarning([&](const QString &text) { warnings << text; });
    for (int round = 1; round <= 2; ++round) {
        WriteFileBytes(HistoryDbFileName(), QByteArray("not a history at all ").repeated(300));
        run();
        for (int slot : {1, 2})
            EXPECT_TRUE(state.IssaArray[slot].Success && state.IssaArray[slot].NotSaved) << slot;
        ASSERT_EQ(warnings.size(), round) << "one warning per run";
        EXPECT_TRUE(warnings.last().contains(u"file is not a database"_s)) << warnings.last().toStdString();
    }
    EXPECT_FALSE(store->Available());
    QFile::remove(HistoryDbFileName());
    CreateHistoryDatabase();
    run(2, 2);
    EXPECT_TRUE(store->Available() && !state.IssaArray[2].NotSaved && warnings.size() == 2);
    EXPECT_EQ(historyRows(u"9160000002"_s), 1);
}

// A stop during a phone ends it and the run at once, and a page that arrives
// after it changes nothing; a stop in the pause between phones asks no further phone.
TEST_F(EngineTest, StopEndsTheRunAtOnce)
{
    EmulatorPhone hang = phone(u"9160000001"_s, u"hang"_s);
    hang.hangMs = 5000;
    startWith({hang, phone(u"9160000002"_s), phone(u"9160000003"_s)});
    QTimer::singleShot(300, engine.get(), [this] { engine->StopRequest(); });
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(state.IssaArray[1].State == dsError
                && state.IssaArray[1].ErrorMsg == u"Запрос остановлен пользователем"_s);
    EXPECT_TRUE(emu.loginCount(u"9160000002"_s) == 0 && state.IssaArray[2].State == dsNone);
    // The engine's browser brings the second phone's account page after all, as
    // a late answer would: it changes nothing.
    int completed = 0;
    QObject::connect(&engine->Browser(), &WebBrowser::DocumentComplete, engine.get(), [&] { ++completed; });
    engine->Browser().NavigatePost(QUrl(emu.loginUrl()),
                                   "Lang=2&mobnum=9160000002&Password=" + phone(u"9160000002"_s).password.toLatin1());
    ASSERT_TRUE(WaitUntil([&] { return completed > 0 && !engine->Browser().IsBusy(); }, 5000));
    ASSERT_NE(engine->Browser().Document(), nullptr);
    EXPECT_TRUE(engine->Browser().Document()->BodyOuterHtml().contains(u"туальный баланс"_s));
    Pump(200);
    EXPECT_FALSE(state.IssaArray[2].Success || state.IssaArray[0].Success);
    EXPECT_TRUE(state.IssaArray[2].LoadedPages.isEmpty() && state.IssaArray[0].LoadedPages.isEmpty());
    EXPECT_EQ(historyRows(u"9160000002"_s), 0);

    setPhone(1, hang, /*monitored=*/false);
    engine->SetPauseMs(3000);
    const QMetaObject::Connection stopInPause
        = QObject::connect(engine.get(), &TfrmWB::plainTrayIcon, engine.get(),
                           [this] { QTimer::singleShot(100, engine.get(), [this] { engine->StopRequest(); }); });
    clock.restart();
    run();
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_TRUE(state.IssaArray[2].Success);
    EXPECT_TRUE(emu.loginCount(u"9160000003"_s) == 0 && state.IssaArray[3].State == dsNone);

    // An answer that never comes ends the phone by the time limit; the run goes on.
    QObject::disconnect(stopInPause);
    setPhone(1, hang);
    engine->SetPauseMs(0);
    engine->SetTimeOutMs(600);
    run();
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, u"TimeOut: Нет информации о балансе в течении 3-х минут"_s);
    EXPECT_TRUE(state.IssaArray[3].Success);
}

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
    EXPECT_TRUE(good[u"slot"_s] == 1 && good[u"state"_s] == u"ok"_s && good[u"balance"_s] == 12.5
                && good[u"sms"_s] == 25 && good[u"stale"_s] == false && !good[u"time"_s].toString().isEmpty()
                && bad[u"state"_s] == u"error"_s && bad[u"balance"_s].isNull() && bad[u"time"_s].isNull()
                && bad[u"error"_s].toString().contains(u"аутентификации"_s))
        << json.out.toStdString();
    for (const QString &password : {u"70001"_s, u"70002"_s})  // "7" + the last four digits
        EXPECT_FALSE(json.out.contains(password) || json.err.contains(password)) << json.err.toStdString();

    const QStringList lines = query({}).lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].contains(u"12.50"_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(u"—"_s) && lines[2].contains(u"error"_s) && !lines[2].contains(u"0.00"_s))
        << lines[2].toStdString();

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
