// The controller around its modal windows: the menu while they are open, and
// what confirming or cancelling the setup does to the refresh period.
#include "PhoneTable.h"
#include "Saldomat_.h"
#include "Setup.h"
#include "SetupForm.h"
#include "UiSetupSupport.h"

#include <QAction>
#include <QPushButton>
#include <QThread>

namespace {
// Lets time pass on the refresh timer, then opens the setup and closes it with
// the given button; returns the time left until the next periodic run after it.
int remainingAfterSetup(TfrmMain &main, bool confirm, bool *menuWasDisabled)
{
    QThread::msleep(300);  // the period has been running for a while
    WhenModal<TfrmSetup>([&](TfrmSetup *dialog) {
        *menuWasDisabled = !main.ppmQueryNow->isEnabled() && !main.ppmSetup->isEnabled();
        (confirm ? dialog->bnOK : dialog->bnCancel)->click();
    });
    main.ppmSetup->trigger();
    return main.requestTimer().remainingTime();
}
}  // namespace

TEST(ControllerDialogs, ConfirmingTheSetupRestartsTheRefreshPeriod)
{
    UiHome home;
    TfrmMain main(InitPaths());
    main.FormCreate();
    // The start-up work arms the refresh timer.
    for (int i = 0; i < 200 && !main.requestTimer().isActive(); ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    ASSERT_TRUE(main.requestTimer().isActive());
    const int period = main.requestTimer().interval();
    ASSERT_EQ(period, 5 * 3600000) << "the default refresh time";

    bool disabled = false;
    const int afterCancel = remainingAfterSetup(main, false, &disabled);
    EXPECT_TRUE(disabled) << "the menu is off while the setup is open";
    EXPECT_LT(afterCancel, period - 250) << "cancelling keeps the running period";

    const int afterConfirm = remainingAfterSetup(main, true, &disabled);
    EXPECT_GT(afterConfirm, period - 200) << "confirming starts the period again";
    EXPECT_TRUE(main.ppmQueryNow->isEnabled());
    EXPECT_TRUE(main.ppmSetup->isEnabled());
}
