// The controller's handling of commands from a later copy: they start a run only
// when the matching menu item allows it; without a tray it shows the phones.
#include "Common.h"
#include "DesktopNotices.h"
#include "EventLoopWait.h"
#include "ProgramState.h"
#include "Saldomat_.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StatusDisplay.h"
#include "TestHome.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

TEST(Controller, CommandsRunOnlyWhileTheirItemIsEnabledAndVisible)
{
    TestHome home;
    TfrmMain main(InitPaths());
    main.State().Setup.General.cbAutoReRquest = false;
    EXPECT_EQ(main.trayMenu()->defaultAction(), main.ppmPhonesInfo);
    EXPECT_FALSE(main.ppmStopRequest->isVisible());
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    main.HandleCommand(QStringLiteral("QueryOnlyBad"));
    EXPECT_TRUE(runs.isEmpty()) << "nothing failed yet, the item is disabled";
    main.HandleCommand(QStringLiteral("QueryNow"));
    EXPECT_EQ(runs, QList<int>{0});
    ASSERT_TRUE(WaitUntil([&] { return !main.Busy(); }, 10000));
    main.ppmQueryBad->setEnabled(true);
    main.HandleCommand(QStringLiteral("QueryOnlyBad"));
    EXPECT_EQ(runs, (QList<int>{0, 1}));
    ASSERT_TRUE(WaitUntil([&] { return !main.Busy(); }, 10000));

    main.ppmQueryNow->setVisible(false);  // a run is in progress
    main.HandleCommand(QStringLiteral("QueryNow"));
    main.ppmQueryNow->setVisible(true);
    main.ppmQueryNow->setEnabled(false);  // a modal window is open
    main.HandleCommand(QStringLiteral("QueryNow"));
    EXPECT_EQ(runs.size(), 2);
}

// Without a tray (the offscreen platform has none) the program says so once,
// after its wait for a tray, and shows the phones window instead.
TEST(Controller, WithoutATrayItSaysSoAndShowsThePhonesWindow)
{
    TestHome home;
    TfrmMain main(InitPaths());
    main.State().IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestTrayWaitSeconds"), 0);
    QStringList told;
    QObject::connect(&main.notifier(), &Notifier::notified, [&](const QString &text, bool) { told << text; });
    main.FormCreate();
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty(); }, 10000));
    Pump(300);
    EXPECT_EQ(told, QStringList{QString::fromUtf8(NoTrayNoticeText)});
    EXPECT_TRUE(main.Display().PhonesInfoVisible());
}
