// The controller's start without a tray, and around its modal windows: the menu
// while they are open, and what confirming or cancelling the setup does to the
// refresh period.
#include "DesktopNotices.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "Saldomat_.h"
#include "SetupForm.h"
#include "StatusDisplay.h"
#include "UiSetupSupport.h"

#include <QAction>
#include <QPushButton>
#include <QThread>

using namespace Qt::StringLiterals;

// Without a tray (the offscreen platform has none) the program says so once,
// after its wait for a tray, and shows the phones window instead.
TEST(ControllerDialogs, WithoutATrayAndAroundTheSetup)
{
    UiHome home;
    TfrmMain main(InitPaths());
    main.State().IniFile.WriteInteger(u"Debug"_s, u"TestTrayWaitSeconds"_s, 0);
    QStringList told;
    QObject::connect(&main.notifier(), &Notifier::notified, [&](const QString &text, bool) { told << text; });
    main.FormCreate();
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty() && main.requestTimer().isActive(); }));
    Pump(300);
    EXPECT_EQ(told, QStringList{QString::fromUtf8(NoTrayNoticeText)});
    EXPECT_TRUE(main.Display().PhonesInfoVisible());
    const int period = main.requestTimer().interval();
    ASSERT_EQ(period, 5 * 3600000) << "the default refresh time";

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
