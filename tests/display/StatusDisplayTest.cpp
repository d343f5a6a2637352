// The status display as the controller wires it: the engine's signals reach
// the hint, the grid and the tray digits; the tray icon's left click toggles
// the phones window; the window's request reaches the controller.
#include "StatusDisplay.h"
#include "Common.h"
#include "CreateIcon.h"
#include "DisplayFixture.h"
#include "IniFile.h"
#include "SaldomatVersion.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the request engine: the same signals.
class FakeEngine : public QObject {
    Q_OBJECT
public:
    bool Stopped() const { return false; }
Q_SIGNALS:
    void progressMessage(const QString &text);
    void phonesChanged();
    void phoneChanged(int slot);
    void animationStart();
    void animationStop();
    void plainTrayIcon();
    void trayPhoneInfoChanged();
};

class StatusFixture : public DisplayFixture {
protected:
    void SetUp() override
    {
        monitor(1, 10.f);
        monitor(2, 20.f);
        state.Setup.SetTrayShowMinimal(true);
        state.Setup.General.cbMarkIfBalance = false;
    }
};

}  // namespace

TEST_F(StatusFixture, EngineSignalsAndTheTrayIconReachTheDisplay)
{
    QSystemTrayIcon tray;
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    TStatusDisplay display(state, &tray);
    display.SetTrayMenu(&menu);
    FakeEngine engine;
    display.ConnectEngine(&engine);
    display.RefreshAll();
    EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(10.f, 10.f, NoMark));
    EXPECT_EQ(display.PhonesInfo().Grid->RowCount(), 3);
    // The hint's content as text, for trays that tell no icon geometry.
    const QString title = QStringLiteral("Saldomat " SALDOMAT_VERSION "\n");
    EXPECT_EQ(display.HintControl().ToolTipText(), title + QStringLiteral("Alias 1: 10.00\nAlias 2: 20.00"));
    Q_EMIT engine.progressMessage(QStringLiteral("Запрос по телефону № 1: x\r\n"));
    EXPECT_EQ(display.Hint().ShowMode, 0);
    EXPECT_EQ(display.HintControl().ToolTipText(), title + QStringLiteral("Запрос по телефону № 1: x"));

    Q_EMIT engine.animationStart();
    EXPECT_TRUE(display.TrayIcon().AnimationRunning());
    EXPECT_EQ(display.TrayIcon().CurrentKind(), TTrayIcon::FrameImage);
    Q_EMIT engine.animationStop();
    EXPECT_FALSE(display.TrayIcon().AnimationRunning());
    Q_EMIT engine.plainTrayIcon();
    EXPECT_EQ(display.TrayIcon().CurrentKind(), TTrayIcon::PlainImage);
    state.IssaArray[1].Balance = 3.f;
    Q_EMIT engine.trayPhoneInfoChanged();
    EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(3.f, 3.f, NoMark));

    // A hidden window is not refilled: its showing fills it.
    TfrmPhonesInfo &w = display.PhonesInfo();
    const auto balance = [&] { return w.Grid->Cells(w.ColumnKeys.indexOf(QStringLiteral("Balance")), 2); };
    state.IssaArray[2].Balance = 55.f;
    Q_EMIT engine.phonesChanged();
    EXPECT_EQ(balance(), QStringLiteral("20.00"));
    display.ShowPhonesInfo();
    ASSERT_TRUE(display.PhonesInfoVisible());
    EXPECT_EQ(balance(), QStringLiteral("55.00"));
    state.IssaArray[2].Balance = 99.f;
    Q_EMIT engine.phonesChanged();
    EXPECT_EQ(balance(), QStringLiteral("99.00"));
    state.IssaArray[2].Balance = 42.f;
    Q_EMIT engine.phoneChanged(2);  // one phone's change refills its row
    EXPECT_EQ(balance(), QStringLiteral("42.00"));
    // A change of the settings rebuilds the open window.
    state.Setup.General.cbSMS = true;
    state.Setup.Line(3).Monitor = true;
    state.Setup.Line(3).Number = QStringLiteral("9161234503");
    display.RefreshAll();
    EXPECT_TRUE(w.ColumnKeys.contains(QStringLiteral("SMS")));
    EXPECT_EQ(w.Grid->RowCount(), 4);
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("3"));

    // The left click toggles the phones window and hides the hint, as the tray menu does.
    Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(display.PhonesInfoVisible());
    display.Hint().ShowPhonesInfoXY(500, 500);
    ASSERT_TRUE(display.Hint().isVisible());
    QTimer::singleShot(50, &menu, &QMenu::close);
    menu.exec(QPoint(100, 100));
    EXPECT_FALSE(display.Hint().isVisible());
    display.Hint().ShowPhonesInfoXY(500, 500);
    Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(display.PhonesInfoVisible());
    EXPECT_FALSE(display.Hint().isVisible());
    display.HintControl().ShowTrayHint();
    EXPECT_FALSE(display.Hint().isVisible()) << "no hint while the phones window is open";
    Q_EMIT tray.activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(display.PhonesInfoVisible()) << "the right button opens the menu, not the window";
    w.hide();
}

// The phones window is made at its first use, filled from the table as it
// stands then, with the item states the controller set before it existed;
// open at the end, it keeps its size.
TEST_F(StatusFixture, PhonesWindowIsMadeWhenFirstWantedAndStartsUpToDate)
{
    {
        TStatusDisplay display(state, nullptr);
        FakeEngine engine;
        display.ConnectEngine(&engine);
        display.RefreshAll();
        display.SetPhonesMenusEnabled(false);
        Q_EMIT engine.phonesChanged();
        EXPECT_FALSE(display.HasPhonesInfo());
        EXPECT_FALSE(display.PhonesInfoVisible());

        state.IssaArray[2].Balance = 77.f;
        display.SetHistoryAvailable(true);
        TfrmPhonesInfo &w = display.PhonesInfo();
        EXPECT_TRUE(display.HasPhonesInfo());
        EXPECT_EQ(w.Grid->RowCount(), 3);
        EXPECT_EQ(w.Grid->Cells(w.ColumnKeys.indexOf(QStringLiteral("Balance")), 2), QStringLiteral("77.00"));
        EXPECT_FALSE(w.ppmHistory->isEnabled());
        display.SetPhonesMenusEnabled(true);
        EXPECT_TRUE(w.ppmHistory->isEnabled());

        // A row's menu items reach the display's signals with the row's slot.
        const auto onRow = [&](int row) {
            return w.PrepareContextMenu(
                QPoint(w.Grid->columnViewportPosition(1) + 3, w.Grid->rowViewportPosition(row) + 3));
        };
        QSignalSpy history(&display, &TStatusDisplay::historyRequested), ask(&display, &TStatusDisplay::requestOnlyOne);
        ASSERT_TRUE(onRow(1));
        w.ppmHistory->trigger();
        ASSERT_TRUE(history.wait(500));
        EXPECT_EQ(history.at(0).at(0).toInt(), 1);
        ASSERT_TRUE(onRow(2));
        w.ppmRequestOnlyOne->trigger();
        ASSERT_TRUE(ask.wait(500));
        EXPECT_EQ(ask.at(0).at(0).toInt(), 2);
        // Without a tray icon the digits are still drawn (and nothing fails).
        EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(10.f, 10.f, NoMark));
        display.ShowPhonesInfo();
    }
    EXPECT_TRUE(state.IniFile.ValueExists(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width")))
        << "an open window keeps its size at the end";
}

#include "StatusDisplayTest.moc"
