// The controller's handling of commands from a later copy: they start a run only
// when the matching menu item allows it.
#include "Common.h"
#include "DesktopNotices.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "PhonesXml.h"
#include "Saldomat_.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StatusDisplay.h"
#include "TestHome.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

TEST(Controller, MenuStartsInItsInitialState)
{
    TestHome home;
    InitConfig();
    TfrmMain main;
    const QList<QAction *> items = main.trayMenu()->actions();
    QStringList captions;
    for (QAction *a : items)
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions, (QStringList{QStringLiteral("О программе"), QStringLiteral("-"), QStringLiteral("Помощь и обновления"),
                                     QStringLiteral("Настроить программу"), QStringLiteral("-"), QStringLiteral("История баланса"),
                                     QStringLiteral("Баланс телефонов"), QStringLiteral("-"),
                                     QStringLiteral("Повторить \"неудачные\" попытки"), QStringLiteral("Остановить запрос"),
                                     QStringLiteral("Запросить информацию сейчас"), QStringLiteral("-"), QStringLiteral("Выйти")}));
    EXPECT_EQ(main.trayMenu()->defaultAction(), main.ppmPhonesInfo);
    EXPECT_FALSE(main.ppmQueryBad->isEnabled());
    EXPECT_FALSE(main.ppmStopRequest->isVisible());
    EXPECT_TRUE(main.ppmQueryNow->isEnabled());
    EXPECT_TRUE(main.ppmExit->isEnabled());
}

TEST(Controller, QueryNowRunsOnlyWhileItsItemIsEnabledAndVisible)
{
    TestHome home;
    InitConfig();
    SetupModel().General.cbAutoReRquest = false;
    TfrmMain main;
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    main.HandleCommand(QStringLiteral("QueryNow"));
    ASSERT_EQ(runs.count(), 1);
    EXPECT_EQ(runs.takeFirst(), 0);

    main.ppmQueryNow->setVisible(false);  // a run is in progress
    main.HandleCommand(QStringLiteral("QueryNow"));
    main.ppmQueryNow->setVisible(true);
    main.ppmQueryNow->setEnabled(false);  // a modal window is open
    main.HandleCommand(QStringLiteral("QueryNow"));
    EXPECT_EQ(runs.count(), 0);
}

TEST(Controller, QueryOnlyBadRunsOnlyWhileItsItemIsEnabled)
{
    TestHome home;
    InitConfig();
    SetupModel().General.cbAutoReRquest = false;
    TfrmMain main;
    QList<int> runs;
    QObject::connect(&main, &TfrmMain::requestRunStarted, [&](int mode) { runs << mode; });
    main.HandleCommand(QStringLiteral("QueryOnlyBad"));
    EXPECT_EQ(runs.count(), 0) << "nothing failed yet, the item is disabled";
    main.ppmQueryBad->setEnabled(true);
    main.HandleCommand(QStringLiteral("QueryOnlyBad"));
    ASSERT_EQ(runs.count(), 1);
    EXPECT_EQ(runs.takeFirst(), 1);
}

// A bad phone in the list is named once in a window, the others load.
TEST(Controller, ABadPhoneIsNamedOnceAndTheOthersLoad)
{
    TestHome home;
    InitConfig();
    TSetupModel model;
    for (int slot = 1; slot <= 3; ++slot) {
        TSetupPhoneLine line;
        line.Number = QStringLiteral("916000000%1").arg(slot);
        model.SetLine(slot, line);
    }
    SavePhonesInfoToXml(model, InitPaths().PhonesXmlFileName, MaxPhones);
    QByteArray xml = ReadFileBytes(InitPaths().PhonesXmlFileName);
    xml.replace("Number=\"9160000002\"", "Numbr=\"9160000002\"");
    WriteFileBytes(InitPaths().PhonesXmlFileName, xml);

    TfrmMain main;
    QStringList shown;
    QObject::connect(&main.notifier(), &Notifier::problemShown, [&](const QString &text) { shown << text; });
    main.config().Load();
    main.config().Load();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(PhoneElementProblem(InitPaths().PhonesXmlFileName, 2, QStringLiteral("У элемента \"Phone\" нет атрибута \"Number\""))))
        << shown[0].toStdString();
    EXPECT_EQ(UserPhone(1), QStringLiteral("9160000001"));
    EXPECT_TRUE(UserPhone(2).isEmpty());
    EXPECT_EQ(UserPhone(3), QStringLiteral("9160000003"));
}

// Without a tray (the offscreen platform has none) the program says so once,
// after its wait for a tray, and shows the phones window instead.
TEST(Controller, WithoutATrayItSaysSoAndShowsThePhonesWindow)
{
    TestHome home;
    InitConfig();
    IniFile.WriteInteger(QStringLiteral("Debug"), QStringLiteral("TestTrayWaitSeconds"), 0);
    TfrmMain main;
    QStringList told;
    QObject::connect(&main.notifier(), &Notifier::notified, [&](const QString &text, bool) { told << text; });
    main.FormCreate();
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty(); }, 10000));
    Pump(300);
    EXPECT_EQ(told, QStringList{QString::fromUtf8(NoTrayNoticeText)});
    EXPECT_TRUE(main.Display().PhonesInfoVisible());
}
