// The controller's runs against the emulator: automatic repeats for the failed
// phones, stopping between them, and the menu afterwards.
#include "Common.h"
#include "EmulatorFixture.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "Saldomat_.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StatusDisplay.h"
#include "TestHome.h"
#include "WBForm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class ControllerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        EmulatorPhone good;
        good.number = QStringLiteral("9160000001");
        good.password = QStringLiteral("111");
        good.balance = 10;
        EmulatorPhone bad = good;
        bad.number = QStringLiteral("9160000002");
        bad.behaviour = QStringLiteral("unavailable");
        ASSERT_TRUE(emu.start({good, bad})) << emu.errorString().toStdString();
        PutEmulatorPhones(emu, {good, bad}, state);
        main.engine()->SetPauseMs(0);
        main.SetRepeatPauseMs(50);
    }
    // A command of a later copy, carried out to the end of its run and repeats.
    void command(const QString &word)
    {
        main.HandleCommand(word);
        ASSERT_TRUE(WaitUntil([&] { return !main.Busy(); }, 30000)) << "the run did not end";
    }

    TestHome home;
    EmulatorProcess emu;
    TfrmMain main{InitPaths()};
    TProgramState &state = main.State();
};
}  // namespace

TEST_F(ControllerRun, FailedPhonesAreRepeatedTwiceAndThenOffered)
{
    state.Setup.General.cbAutoReRquest = true;
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    command(QStringLiteral("QueryNow"));
    EXPECT_EQ(runs, (QList<int>{0, 1, 1}));
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 1) << "the good phone is not asked again";
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 3);
    EXPECT_TRUE(main.ppmQueryBad->isEnabled());
    EXPECT_TRUE(main.ppmQueryNow->isVisible());
    EXPECT_FALSE(main.ppmStopRequest->isVisible());
}

TEST_F(ControllerRun, StopInTheFirstRepeatPauseEndsTheAction)
{
    state.Setup.General.cbAutoReRquest = true;
    main.SetRepeatPauseMs(3000);
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    bool finished = false;
    QObject::connect(&main, &TfrmMain::requestActionFinished, [&] { finished = true; });
    main.HandleCommand(QStringLiteral("QueryNow"));
    ASSERT_TRUE(WaitUntil([&] { return !main.engine()->IsRunning(); }));
    EXPECT_TRUE(main.Busy()) << "the repeat is due";
    EXPECT_FALSE(main.requestTimer().isActive()) << "the refresh period counts from the end of the repeats";
    main.ppmStopRequest->trigger();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(main.Busy());
    EXPECT_TRUE(main.requestTimer().isActive());
    EXPECT_EQ(runs, QList<int>{0});
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 1);
}

// The controller answers during a run: a stop takes effect at once, and a
// command or the refresh timer never starts a run inside the one going on.
TEST_F(ControllerRun, ARunNeverStartsInsideAnotherAndStopsAtOnce)
{
    state.Setup.General.cbAutoReRquest = false;
    EmulatorPhone slow;
    slow.number = QStringLiteral("9160000001");
    slow.password = QStringLiteral("111");
    slow.behaviour = QStringLiteral("slow");
    slow.delayMs = 5000;
    ASSERT_TRUE(emu.setPhones({slow}));
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    main.HandleCommand(QStringLiteral("QueryNow"));
    ASSERT_TRUE(main.engine()->IsRunning()) << "the command returns while the run goes on";
    EXPECT_FALSE(main.requestTimer().isActive());
    EXPECT_TRUE(WaitUntil([&] { return emu.stats().value(QStringLiteral("requests")) > 0; }));
    main.HandleCommand(QStringLiteral("QueryNow"));
    main.HandleCommand(QStringLiteral("QueryOnlyBad"));
    // The commands above meet the hidden menu items; the row menu's request
    // has no such item in its way and meets the run itself.
    Q_EMIT main.Display().requestOnlyOne(1);
    EXPECT_EQ(runs, QList<int>{0});
    QElapsedTimer clock;
    clock.start();
    main.ppmStopRequest->trigger();
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_FALSE(main.Busy());
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("Запрос остановлен пользователем"));
    EXPECT_TRUE(main.ppmQueryNow->isVisible());
    EXPECT_TRUE(main.requestTimer().isActive());
}

// With every phone read the repeat item is off; a notice comes once per
// crossing of the threshold.
TEST_F(ControllerRun, ANoticeComesOncePerCrossingOfTheThreshold)
{
    state.Setup.General.cbAutoReRquest = false;
    TSetupPhoneLine line = state.Setup.Line(2);
    line.Monitor = false;
    state.Setup.SetLine(2, line);
    QStringList notices;
    QObject::connect(&main, &TfrmMain::noticeShown, [&](const QString &text) { notices << text; });
    auto setBalance = [&](double balance) {
        EmulatorPhone p;
        p.number = QStringLiteral("9160000001");
        p.password = QStringLiteral("111");
        p.balance = balance;
        ASSERT_TRUE(emu.setPhones({p}));
    };

    command(QStringLiteral("QueryNow"));
    EXPECT_TRUE(state.IssaArray[1].Success);
    EXPECT_FALSE(main.ppmQueryBad->isEnabled());
    EXPECT_TRUE(notices.isEmpty()) << "10.00 is above the threshold of 2.5";
    setBalance(1.5);
    command(QStringLiteral("QueryNow"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.first().contains(QStringLiteral("баланс 1.50")));
    command(QStringLiteral("QueryNow"));
    EXPECT_EQ(notices.size(), 1) << "still marked: no second notice";
    setBalance(20);
    command(QStringLiteral("QueryNow"));
    setBalance(2.5);
    command(QStringLiteral("QueryNow"));
    EXPECT_EQ(notices.size(), 2) << "marked again after a recovery";

    state.Setup.General.cbNotify = false;
    setBalance(20);
    command(QStringLiteral("QueryNow"));
    setBalance(1);
    command(QStringLiteral("QueryNow"));
    EXPECT_EQ(notices.size(), 2) << "notices switched off";
}

TEST_F(ControllerRun, AutomaticRepeatsLeaveOutAWrongPasswordAndAManualOneTriesIt)
{
    state.Setup.General.cbAutoReRquest = true;
    TSetupPhoneLine line = state.Setup.Line(1);
    line.Password = QStringLiteral("999");  // wrong
    state.Setup.SetLine(1, line);
    command(QStringLiteral("QueryNow"));
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("Ошибка аутентификации"));
    EXPECT_EQ(state.IssaArray[1].State, dsError);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 3) << "the unavailable phone is repeated";
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 1) << "no automatic retry of a wrong password";

    state.Setup.General.cbAutoReRquest = false;
    command(QStringLiteral("QueryOnlyBad"));
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 2) << "the user's own repeat tries it";
}
