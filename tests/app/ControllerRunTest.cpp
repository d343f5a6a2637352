// The controller's runs against the emulator: repeats, stopping, notices,
// commands of a later copy; its start without a tray, and the setup.
#include "DesktopNotices.h"
#include "EmulatorFixture.h"
#include "EventLoopWait.h"
#include "Saldomat_.h"
#include "SetupForm.h"
#include "StatusDisplay.h"
#include "UiSetupSupport.h"

#include <QAction>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
class ControllerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(emu.start({good, bad})) << emu.errorString().toStdString();
        PutEmulatorPhones(emu, {good, bad}, state);
        main.engine()->SetPauseMs(0);
        main.SetRepeatPauseMs(50);
        QObject::connect(&main, &TfrmMain::requestRunStarted, [this](int mode) { runs << mode; });
    }
    // A command of a later copy, carried out to the end of its run and repeats.
    void command(const QString &word)
    {
        main.HandleCommand(word);
        ASSERT_TRUE(WaitUntil([&] { return !main.Busy(); }, 30000)) << "the run did not end";
    }
    static EmulatorPhone emuPhone(const char *number, const char *behaviour, double balance = 10, int delayMs = 0)
    {
        EmulatorPhone p;
        p.number = number;
        p.password = "111";
        p.balance = balance;
        p.behaviour = behaviour;
        p.delayMs = delayMs;
        return p;
    }

    EmulatorPhone good = emuPhone("9160000001", "ok"), bad = emuPhone("9160000002", "unavailable");
    UiHome home;
    EmulatorProcess emu;
    TfrmMain main{InitPaths()};
    TProgramState &state = main.State();
    QList<int> runs;
};
}  // namespace

// Failed phones are repeated twice, except a wrong password, then offered in
// the menu; the user's own repeat tries the wrong password too. Commands start
// a run only when their menu item allows it.
TEST_F(ControllerRun, RepeatsStopsAndCommandsNeverNest)
{
    state.Setup.General.cbAutoReRquest = true;
    command(u"QueryOnlyBad"_s);
    EXPECT_TRUE(runs.isEmpty()) << "nothing failed yet, the item is disabled";
    TSetupPhoneLine line = state.Setup.Line(1);
    line.Password = u"999"_s;  // wrong
    state.Setup.SetLine(1, line);
    command(u"QueryNow"_s);
    EXPECT_EQ(runs, (QList<int>{0, 1, 1}));
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, u"Ошибка аутентификации"_s);
    EXPECT_TRUE(emu.loginCount(good.number) == 1 && emu.loginCount(bad.number) == 3) << "no retry of a wrong password";
    EXPECT_TRUE(main.ppmQueryBad->isEnabled() && main.ppmQueryNow->isVisible() && !main.ppmStopRequest->isVisible());

    state.Setup.General.cbAutoReRquest = false;
    command(u"QueryOnlyBad"_s);
    EXPECT_EQ(emu.loginCount(good.number), 2);

    // A stop in the first repeat pause ends the action; the refresh period
    // counts from the end of the repeats.
    state.Setup.General.cbAutoReRquest = true;
    main.SetRepeatPauseMs(3000);
    bool finished = false;
    QObject::connect(&main, &TfrmMain::requestActionFinished, [&] { finished = true; });
    runs.clear();
    main.HandleCommand(u"QueryNow"_s);
    ASSERT_TRUE(WaitUntil([&] { return !main.engine()->IsRunning(); }));
    EXPECT_TRUE(main.Busy() && !main.requestTimer().isActive()) << "the repeat is due";
    main.ppmStopRequest->trigger();
    EXPECT_TRUE(finished && !main.Busy() && main.requestTimer().isActive());
    EXPECT_TRUE(runs == QList<int>{0} && emu.loginCount(bad.number) == 5);

    // The controller answers during a run: a stop takes effect at once, and a
    // command or the refresh timer never starts a run inside the one going on.
    state.Setup.General.cbAutoReRquest = false;
    line.Password = u"111"_s;
    state.Setup.SetLine(1, line);
    ASSERT_TRUE(emu.setPhones({emuPhone("9160000001", "slow", 10, 5000)}));
    runs.clear();
    const int requests = emu.stats().value(u"requests"_s);
    main.HandleCommand(u"QueryNow"_s);
    ASSERT_TRUE(main.engine()->IsRunning() && !main.requestTimer().isActive())
        << "the command returns, the run goes on";
    EXPECT_TRUE(WaitUntil([&] { return emu.stats().value(u"requests"_s) > requests; }));
    main.HandleCommand(u"QueryNow"_s);
    main.HandleCommand(u"QueryOnlyBad"_s);
    // The commands above meet the hidden menu items; the row menu's request
    // has no such item in its way and meets the run itself.
    Q_EMIT main.Display().requestOnlyOne(1);
    EXPECT_EQ(runs, QList<int>{0});
    QElapsedTimer clock;
    clock.start();
    main.ppmStopRequest->trigger();
    EXPECT_LT(clock.elapsed(), 2500) << "the stop waited for the slow answer";
    EXPECT_TRUE(!main.Busy() && main.ppmQueryNow->isVisible() && main.requestTimer().isActive());
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, u"Запрос остановлен пользователем"_s);
    main.ppmQueryNow->setEnabled(false);  // a modal window is open
    main.HandleCommand(u"QueryNow"_s);
    EXPECT_EQ(runs, QList<int>{0});
}

// With every phone read the repeat item is off; a notice comes once per
// crossing of the threshold (2.5): not again while marked, again after a
// recovery, and none when notices are off. On a session bus without a
// notification service the notices of one run come together through the fall-back.
TEST_F(ControllerRun, ANoticeComesOncePerCrossingOfTheThreshold)
{
    QProcess bus;  // killed when it goes out of scope
    bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
    ASSERT_TRUE(bus.waitForStarted(5000) && bus.waitForReadyRead(5000)) << "no dbus-daemon";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());  // before the first use of the bus
    QList<QPair<QString, bool>> told;
    QObject::connect(&main.notifier(), &Notifier::notified,
                     [&](const QString &text, bool desktop) { told << qMakePair(text, desktop); });
    QStringList notices;
    QObject::connect(&main, &TfrmMain::noticeShown, [&](const QString &text) { notices << text; });
    state.Setup.General.cbAutoReRquest = false;
    const std::tuple<double, bool, int> steps[]
        = {{10, true, 0}, {1.5, true, 2}, {1.5, true, 2}, {20, true, 2}, {2.5, true, 4}, {20, false, 4}, {1, false, 4}};
    for (const auto &[balance, notify, count] : steps) {
        state.Setup.General.cbNotify = notify;
        ASSERT_TRUE(emu.setPhones({emuPhone("9160000001", "ok", balance), emuPhone("9160000002", "ok", balance)}));
        command(u"QueryNow"_s);
        EXPECT_TRUE(state.IssaArray[1].Success && state.IssaArray[2].Success && !main.ppmQueryBad->isEnabled());
        EXPECT_EQ(notices.size(), count) << balance;
    }
    EXPECT_TRUE(notices.value(0).contains(u"баланс 1.50"_s)) << notices.value(0).toStdString();
    EXPECT_TRUE(QDBusConnection::sessionBus().isConnected());
    ASSERT_TRUE(WaitUntil([&] { return told.size() >= 2; }));  // one per run, not one per text
    EXPECT_EQ(told[0], qMakePair(notices[0] + u"\n"_s + notices[1], false));
}

// Without a tray (the offscreen platform has none) the program says so once,
// after its wait for a tray, and shows the phones window instead.
TEST_F(ControllerRun, WithoutATrayAndAroundTheSetup)
{
    main.State().IniFile.WriteInteger(u"Debug"_s, u"TestTrayWaitSeconds"_s, 0);
    QStringList told;
    QObject::connect(&main.notifier(), &Notifier::notified, [&](const QString &text, bool) { told << text; });
    main.FormCreate();
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty() && main.requestTimer().isActive(); }));
    Pump(300);
    EXPECT_TRUE(told == QStringList{QString::fromUtf8(NoTrayNoticeText)} && main.Display().PhonesInfoVisible());
    const int period = main.requestTimer().interval();

    // Lets time pass on the refresh timer, then opens the setup and closes it
    // with the given button; the time left until the next periodic run after it.
    bool disabled = false;
    auto remainingAfterSetup = [&](bool confirm) {
        QThread::msleep(300);
        WhenModal<TfrmSetup>([&](TfrmSetup *dialog) {
            disabled = !main.ppmQueryNow->isEnabled() && !main.ppmSetup->isEnabled();
            (confirm ? dialog->bnOK : dialog->bnCancel)->click();
        });
        main.ppmSetup->trigger();
        return main.requestTimer().remainingTime();
    };
    EXPECT_LT(remainingAfterSetup(false), period - 250) << "cancelling keeps the running period";
    EXPECT_TRUE(disabled) << "the menu is off while the setup is open";
    EXPECT_GT(remainingAfterSetup(true), period - 200) << "confirming starts the period again";
    EXPECT_TRUE(main.ppmQueryNow->isEnabled() && main.ppmSetup->isEnabled());
}
