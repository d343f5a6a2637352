// The status display as the controller wires it: the engine's signals reach
// the hint, the grid and the tray digits; the tray icon's left click toggles
// the phones window; the window's request reaches the controller.
#include "StatusDisplay.h"
#include "Common.h"
#include "CreateIcon.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "Setup.h"
#include "TestHome.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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

class DisplayFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int slot : {1, 2}) {
            state.Setup.Line(slot).Monitor = true;
            state.Setup.Line(slot).Number = QStringLiteral("916123450%1").arg(slot);
            state.IssaArray[slot].Balance = 10.f * slot;
            state.IssaArray[slot].Alias = QStringLiteral("Тел %1").arg(slot);
            state.IssaArray[slot].QueryDateTime = 46000;
            state.IssaArray[slot].Success = true;
        }
        state.Setup.SetTrayShowMinimal(true);
        state.Setup.General.cbMarkIfBalance = false;
    }
    TestHome home;
    TProgramState state{InitPaths()};
};

}  // namespace

TEST_F(DisplayFixture, EngineSignalsReachTheDisplay)
{
    QSystemTrayIcon tray;
    TStatusDisplay display(state, &tray);
    FakeEngine engine;
    display.ConnectEngine(&engine);
    display.RefreshAll();
    EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(10.f, 10.f, NoMark));
    EXPECT_EQ(display.Hint().PhonesInfo[2].Balance, QStringLiteral("20.00"));
    EXPECT_EQ(display.PhonesInfo().Grid->RowCount(), 3);

    Q_EMIT engine.progressMessage(QStringLiteral("Запрос по телефону № 1: x\r\n"));
    EXPECT_EQ(display.Hint().ShowMode, 0);
    EXPECT_EQ(display.Hint().Message, QStringLiteral("Запрос по телефону № 1: x\r\n"));

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
    const int balanceCol = static_cast<int>(display.PhonesInfo().ColumnKeys.indexOf(QStringLiteral("Balance")));
    state.IssaArray[2].Balance = 55.f;
    Q_EMIT engine.phonesChanged();
    EXPECT_EQ(display.PhonesInfo().Grid->Cells(balanceCol, 2), QStringLiteral("20.00"));
    display.ShowPhonesInfo();
    ASSERT_TRUE(display.PhonesInfoVisible());
    EXPECT_EQ(display.PhonesInfo().Grid->Cells(balanceCol, 2), QStringLiteral("55.00"));

    state.IssaArray[2].Balance = 99.f;
    Q_EMIT engine.phonesChanged();
    EXPECT_EQ(display.PhonesInfo().Grid->Cells(balanceCol, 2), QStringLiteral("99.00"));
    // One phone's change refills its row.
    state.IssaArray[2].Balance = 42.f;
    Q_EMIT engine.phoneChanged(2);
    EXPECT_EQ(display.PhonesInfo().Grid->Cells(balanceCol, 2), QStringLiteral("42.00"));
    display.PhonesInfo().hide();
}

TEST_F(DisplayFixture, LeftClickTogglesThePhonesWindowAndHidesTheHint)
{
    QSystemTrayIcon tray;
    TStatusDisplay display(state, &tray);
    display.RefreshAll();
    display.Hint().ShowPhonesInfoXY(500, 500);
    ASSERT_TRUE(display.Hint().isVisible());
    Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(display.PhonesInfoVisible());
    EXPECT_FALSE(display.Hint().isVisible());
    // No hint while the phones window is open.
    display.HintControl().ShowTrayHint();
    EXPECT_FALSE(display.Hint().isVisible());
    Q_EMIT tray.activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(display.PhonesInfoVisible()) << "the right button opens the menu, not the window";
    Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(display.PhonesInfoVisible());
}

// The phones window is made at its first use, filled from the table as it
// stands then, with the item states the controller set before it existed.
TEST_F(DisplayFixture, PhonesWindowIsMadeWhenFirstWantedAndStartsUpToDate)
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
    const int balanceCol = static_cast<int>(w.ColumnKeys.indexOf(QStringLiteral("Balance")));
    EXPECT_EQ(w.Grid->RowCount(), 3);
    EXPECT_EQ(w.Grid->Cells(balanceCol, 2), QStringLiteral("77.00"));
    EXPECT_FALSE(w.ppmHistory->isEnabled());
    display.SetPhonesMenusEnabled(true);
    EXPECT_TRUE(w.ppmHistory->isEnabled());

    // A row's menu items reach the display's signals with the row's slot.
    const auto onRow = [&](int row) {
        return w.PrepareContextMenu(
            QPoint(w.Grid->columnViewportPosition(1) + 3, w.Grid->rowViewportPosition(row) + 3));
    };
    QSignalSpy history(&display, &TStatusDisplay::historyRequested);
    ASSERT_TRUE(onRow(1));
    w.ppmHistory->trigger();
    ASSERT_TRUE(history.wait(500));
    EXPECT_EQ(history.at(0).at(0).toInt(), 1);
    QSignalSpy ask(&display, &TStatusDisplay::requestOnlyOne);
    ASSERT_TRUE(onRow(2));
    w.ppmRequestOnlyOne->trigger();
    ASSERT_TRUE(ask.wait(500));
    EXPECT_EQ(ask.at(0).at(0).toInt(), 2);
    // Without a tray icon the digits are still drawn (and nothing fails).
    EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(10.f, 10.f, NoMark));
}

TEST_F(DisplayFixture, TrayMenuOpeningHidesTheHint)
{
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    TStatusDisplay display(state, nullptr);
    display.SetTrayMenu(&menu);
    display.RefreshAll();
    display.Hint().ShowPhonesInfoXY(500, 500);
    ASSERT_TRUE(display.Hint().isVisible());
    QTimer::singleShot(50, &menu, &QMenu::close);
    menu.exec(QPoint(100, 100));
    EXPECT_FALSE(display.Hint().isVisible());
}

TEST_F(DisplayFixture, HintContentAsTextForTraysWithoutGeometry)
{
    TStatusDisplay display(state, nullptr);
    display.RefreshAll();
    EXPECT_EQ(display.HintControl().ToolTipText(),
              QStringLiteral("Saldomat " SALDOMAT_VERSION "\nТел 1: 10.00\nТел 2: 20.00"));
    display.HintControl().progressMessage(QStringLiteral("Запрос по телефону № 2: x\r\n"));
    EXPECT_EQ(display.HintControl().ToolTipText(),
              QStringLiteral("Saldomat " SALDOMAT_VERSION "\nЗапрос по телефону № 2: x"));
}

TEST_F(DisplayFixture, SettingsChangeRebuildsTheOpenWindow)
{
    TStatusDisplay display(state, nullptr);
    display.RefreshAll();
    display.ShowPhonesInfo();
    ASSERT_TRUE(display.PhonesInfoVisible());
    state.Setup.General.cbSMS = true;
    state.Setup.Line(3).Monitor = true;
    state.Setup.Line(3).Number = QStringLiteral("9161234503");
    display.RefreshAll();
    EXPECT_TRUE(display.PhonesInfo().ColumnKeys.contains(QStringLiteral("SMS")));
    EXPECT_EQ(display.PhonesInfo().Grid->RowCount(), 4);
    EXPECT_EQ(display.PhonesInfo().Grid->Cells(0, 3), QStringLiteral("3"));
    display.PhonesInfo().hide();
}

TEST_F(DisplayFixture, OpenPhonesWindowKeepsItsSizeAtTheEnd)
{
    {
        TStatusDisplay display(state, nullptr);
        display.RefreshAll();
        display.ShowPhonesInfo();
        display.PhonesInfo().resize(431, 187);
    }
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width"), 0), 431);
    EXPECT_EQ(state.IniFile.ReadInteger(QStringLiteral("PhonesInfo Form"), QStringLiteral("Height"), 0), 187);
}

#include "StatusDisplayTest.moc"
