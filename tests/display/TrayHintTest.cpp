// The tray hint: the list, its place on the free area of the screen, hiding,
// and the timers of the mouse rest over the icon.
#include "TrayHint.h"
#include "OleDate.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "SaldomatVersion.h"
#include "Setup.h"
#include "TestHome.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class HintFixture : public ::testing::Test {
protected:
    void monitor(int slot, float balance, const QString &alias = {})
    {
        state.Setup.Line(slot).Monitor = true;
        state.Setup.Line(slot).Number = QStringLiteral("91600000%1").arg(slot, 2, 10, QLatin1Char('0'));
        state.IssaArray[slot].Balance = balance;
        state.IssaArray[slot].Alias = alias;
        state.IssaArray[slot].PhoneNumber = state.Setup.Line(slot).Number;
        state.IssaArray[slot].QueryDateTime = 46000.5;
        state.IssaArray[slot].Success = true;
    }
    QRect screen() const { return QGuiApplication::primaryScreen()->geometry(); }
    TestHome home;
    TProgramState state{InitPaths()};
    TTrayHint hint;
    THintControl control{state, &hint, nullptr};
};

}  // namespace

TEST_F(HintFixture, FillListsTenMonitoredPhonesInSlotOrder)
{
    for (int slot = 1; slot <= 12; ++slot)
        if (slot != 3)
            monitor(slot, slot * 1.5f, QStringLiteral("Phone %1").arg(slot));
    state.IssaArray[3].Balance = 1;  // not monitored
    state.Setup.General.edBalanceLessThen = QStringLiteral("3");
    control.FillTrayHintInfo();
    EXPECT_EQ(hint.ShowMode, 1);
    const int expectedSlots[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int n = 1; n <= 10; ++n) {
        const int slot = expectedSlots[n - 1];
        EXPECT_EQ(hint.PhonesInfo[n].Alias, QStringLiteral("Phone %1").arg(slot));
        EXPECT_EQ(hint.PhonesInfo[n].Balance, QString::asprintf("%.2f", slot * 1.5));
        EXPECT_EQ(hint.PhonesInfo[n].IsRed, slot * 1.5f <= 3.0f) << slot;
    }
    // A new fill starts from an empty list.
    state.Setup.Line(1).Monitor = false;
    for (int slot = 2; slot <= 12; ++slot)
        state.Setup.Line(slot).Monitor = false;
    control.FillTrayHintInfo();
    EXPECT_TRUE(hint.EmptyBalances());
}

TEST_F(HintFixture, AliasFallsBackAndThresholdIsInclusive)
{
    monitor(1, 2.5f);
    state.IssaArray[1].UserName = QStringLiteral("  Иван  ");
    state.Setup.General.edBalanceLessThen = QStringLiteral("2.5");
    control.FillTrayHintInfo();
    EXPECT_EQ(hint.PhonesInfo[1].Alias, QStringLiteral("Иван"));
    EXPECT_EQ(hint.PhonesInfo[1].Balance, QStringLiteral("2.50"));
    EXPECT_TRUE(hint.PhonesInfo[1].IsRed);
    EXPECT_FALSE(hint.PhonesInfo[1].Stale);
}

TEST_F(HintFixture, FailedPhonesShowTheirLastFiguresGreyedAndNoDataIsNoNumber)
{
    state.Setup.General.edBalanceLessThen = QStringLiteral("2.5");
    monitor(1, 1.f, QStringLiteral("Старый"));
    state.IssaArray[1].Success = false;  // the last request failed
    state.IssaArray[1].State = dsError;
    state.IssaArray[1].QueryDateTime = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    monitor(2, 0.f, QStringLiteral("Новый"));
    state.IssaArray[2].QueryDateTime = 0;  // never read: a wrong password
    state.IssaArray[2].Success = false;
    state.IssaArray[2].State = dsError;
    control.FillTrayHintInfo();
    EXPECT_EQ(hint.PhonesInfo[1].Balance, QStringLiteral("(07.12.2026 12:20:49) 1.00"));
    EXPECT_TRUE(hint.PhonesInfo[1].Stale);
    EXPECT_EQ(hint.PhonesInfo[2].Balance, QStringLiteral("—"));
    EXPECT_FALSE(hint.PhonesInfo[2].IsRed);
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_FALSE(control.ToolTipText().contains(QStringLiteral("0.00")));
    hint.HideTrayHint();
}

TEST_F(HintFixture, NoPhonesNoHint)
{
    control.FillTrayHintInfo();
    hint.ShowPhonesInfoXY(500, 500);
    EXPECT_FALSE(hint.isVisible());
}

TEST_F(HintFixture, TheHintStaysOnTheFreeAreaOfTheScreenWhereverTheTrayIs)
{
    for (int slot = 1; slot <= 10; ++slot)
        monitor(slot, 1234.5f * slot, QStringLiteral("Телефон с длинным именем %1").arg(slot));
    control.FillTrayHintInfo();
    // A screen with a panel 30 pixels high on each edge.
    const QRect free(100, 80, 900, 600);
    hint.ScreenRect = [&](const QPoint &) { return free; };
    const QRect outer = free.adjusted(-30, -30, 30, 30);
    // The tray in each corner (on the panel, outside the free area) and the
    // cursor at places near the corners of the free area itself.
    const QPoint points[] = {outer.topLeft() + QPoint(5, 5),
                             outer.topRight() + QPoint(-5, 5),
                             outer.bottomLeft() + QPoint(5, -5),
                             outer.bottomRight() - QPoint(5, 5),
                             free.topLeft(),
                             free.bottomRight(),
                             free.topRight() + QPoint(-3, 3),
                             free.bottomLeft() + QPoint(3, -3)};
    for (bool message : {false, true}) {
        hint.Message = QStringLiteral("Запрос по телефону № 1: очень длинный текст хода запроса");
        for (const QPoint &at : points) {
            if (message)
                hint.ShowMessageXY(at.x(), at.y());
            else
                hint.ShowPhonesInfoXY(at.x(), at.y());
            ASSERT_TRUE(hint.isVisible());
            EXPECT_TRUE(free.contains(hint.geometry())) << at.x() << "," << at.y() << " corner " << hint.Corner();
            // The tail points at the cursor along the edge it sits on.
            const QPoint tip = hint.mapToGlobal(hint.TailTip());
            const int wantX = std::clamp(at.x(), hint.x() + 6, hint.x() + hint.width() - 6);
            EXPECT_EQ(tip.x(), wantX) << at.x() << "," << at.y();
            EXPECT_FALSE(hint.TailRegion().isEmpty());
            // The rows stay inside the body.
            if (!message) {
                for (int n = 1; n <= 10; ++n)
                    EXPECT_TRUE(hint.BodyRegion().contains(hint.lblBalance[n]->geometry().center())) << n;
            }
            hint.HideTrayHint();
        }
    }
}

TEST_F(HintFixture, ProgressTextShowsInsteadOfTheList)
{
    monitor(1, 5.f, QStringLiteral("A"));
    control.FillTrayHintInfo();
    control.progressMessage(QStringLiteral("Запрос по телефону № 1: A\r\n"));
    EXPECT_EQ(hint.ShowMode, 0);
    const QPoint at = screen().bottomRight() - QPoint(5, 5);
    hint.ShowMessageXY(at.x(), at.y());
    ASSERT_TRUE(hint.isVisible());
    EXPECT_TRUE(hint.lblText->isVisible());
    EXPECT_FALSE(hint.lblAlias[1]->isVisible());
    EXPECT_EQ(hint.lblText->text().trimmed(), QStringLiteral("Запрос по телефону № 1: A"));
    EXPECT_EQ(hint.lblTitle->text(), QStringLiteral("Saldomat " SALDOMAT_VERSION));
    hint.HideTrayHint();
}

TEST_F(HintFixture, ClickOrMoveOnTheHintHidesIt)
{
    monitor(1, 5.f, QStringLiteral("A"));
    control.FillTrayHintInfo();
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    QTest::mouseClick(&hint, Qt::LeftButton, {}, hint.lblAlias[1]->geometry().center());
    EXPECT_FALSE(hint.isVisible());
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), hint.mapToGlobal(QPointF(30, 30)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&hint, &move);
    EXPECT_FALSE(hint.isVisible());
}

TEST_F(HintFixture, RestOnTheIconShowsAndMovingAwayHides)
{
    monitor(1, 5.f, QStringLiteral("A"));
    control.FillTrayHintInfo();
    QPoint cursor(600, 500);
    control.CursorPos = [&] { return cursor; };
    control.tmrHintShow.setInterval(20);
    control.tmrHideTrayHint.setInterval(20);

    control.MouseMoveOverIcon(cursor);
    cursor += QPoint(20, 0);  // moved away before the timer fired
    QTest::qWait(80);
    EXPECT_FALSE(hint.isVisible());

    cursor = QPoint(600, 500);
    control.MouseMoveOverIcon(cursor);
    cursor += QPoint(8, -8);  // still within 8 pixels
    QTest::qWait(80);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_EQ(control.HideRect(), RectAround(cursor));
    QTest::qWait(80);
    EXPECT_TRUE(hint.isVisible()) << "the cursor rests in the hide rectangle";
    cursor += QPoint(0, 9);
    QTest::qWait(80);
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(control.tmrHideTrayHint.isActive());
}

TEST_F(HintFixture, IdleNothingRunsAndTheTraysRestMomentShowsTheHint)
{
    monitor(1, 5.f, QStringLiteral("A"));
    control.FillTrayHintInfo();
    QSystemTrayIcon tray;
    control.SetTray(&tray);
    QPoint cursor(1010, 710);
    control.CursorPos = [&] { return cursor; };
    EXPECT_TRUE(control.Idle()) << "no timer while the mouse is elsewhere";
    // The tray's icon window hands its tooltip moment to the tray icon object.
    QHelpEvent rest(QEvent::ToolTip, QPoint(3, 3), cursor);
    QCoreApplication::sendEvent(&tray, &rest);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_EQ(control.HideRect(), RectAround(cursor));
    EXPECT_FALSE(control.Idle()) << "the hide timer watches the cursor while the hint is up";
    control.tmrHideTrayHint.setInterval(20);
    control.tmrHideTrayHint.start();
    cursor += QPoint(0, 30);
    QTest::qWait(80);
    EXPECT_FALSE(hint.isVisible());
    EXPECT_TRUE(control.Idle()) << "hidden: nothing runs any more";

    // The window embedding the icon in an X11 tray: entering it starts the
    // rest of one second, leaving it cancels the rest and hides the hint.
    QWidget embed;
    embed.setObjectName(QStringLiteral("QSystemTrayIconSys"));
    cursor = QPoint(1010, 710);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(&embed, &enter);
    EXPECT_TRUE(control.tmrHintShow.isActive());
    EXPECT_EQ(control.ShowRect(), RectAround(cursor));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&embed, &leave);
    EXPECT_TRUE(control.Idle());
    control.SetTray(nullptr);
    QCoreApplication::sendEvent(&embed, &enter);
    EXPECT_TRUE(control.Idle()) << "no tray, nothing to watch";
}

TEST_F(HintFixture, NoHintWhenForbiddenOrWhenThePhonesWindowIsOpen)
{
    monitor(1, 5.f, QStringLiteral("A"));
    control.FillTrayHintInfo();
    QPoint cursor(600, 500);
    control.CursorPos = [&] { return cursor; };
    control.SetHintAllowed(false);
    control.ShowTrayHint();
    EXPECT_FALSE(hint.isVisible());
    control.SetHintAllowed(true);
    bool phonesOpen = true;
    control.SetPhonesWindowVisible([&] { return phonesOpen; });
    control.ShowTrayHint();
    EXPECT_FALSE(hint.isVisible());
    phonesOpen = false;
    control.ShowTrayHint();
    EXPECT_TRUE(hint.isVisible());
    // The tray menu hides it and cancels a pending show.
    control.MouseMoveOverIcon(cursor);
    control.menuAboutToShow();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(control.tmrHintShow.isActive());
    // Never over an open menu, the tray menu or any other popup.
    {
        QMenu menu;
        menu.addAction(QStringLiteral("Выход"));
        menu.popup(QPoint(100, 100));
        ASSERT_TRUE(QApplication::activePopupWidget());
        control.RestOnIcon(cursor);
        EXPECT_FALSE(hint.isVisible());
        menu.close();
    }
    control.RestOnIcon(cursor);
    EXPECT_TRUE(hint.isVisible());
    control.HideTrayHint();
    // Forbidding hides a visible hint.
    control.ShowTrayHint();
    control.SetHintAllowed(false);
    EXPECT_FALSE(hint.isVisible());
}
