// The tray hint: the list, its place on the free area of the screen, hiding,
// and the timers of the mouse rest over the icon.
#include "TrayHint.h"
#include "DisplayFixture.h"
#include "EventLoopWait.h"
#include "OleDate.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>

namespace {

class HintFixture : public DisplayFixture {
protected:
    // One phone listed and the cursor under the test's control.
    void onePhone()
    {
        monitor(1, 5.f);
        control.FillTrayHintInfo();
        control.CursorPos = [this] { return cursor; };
    }
    TTrayHint hint;
    THintControl control{state, &hint, nullptr};
    QPoint cursor{600, 500};
};

}  // namespace

TEST_F(HintFixture, FillListsTenPhonesInSlotOrderWithTheirFallbacks)
{
    state.Setup.General.edBalanceLessThen = QStringLiteral("3");
    TIssa &noAlias = monitor(1, 3.f);  // no alias: the user name; the limit is inclusive
    noAlias.Alias.clear();
    noAlias.UserName = QStringLiteral("  Иван  ");
    TIssa &failed = monitor(2, 1.f, /*success=*/false);  // the last request failed: last figures, greyed
    failed.Alias = QStringLiteral("Старый");
    failed.State = dsError;
    failed.QueryDateTime = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    state.IssaArray[3].Balance = 1;  // not monitored
    TIssa &unread = monitor(4, 0.f, /*success=*/false, /*queried=*/0);  // never read (a wrong password): no number
    unread.Alias = QStringLiteral("Новый");
    unread.State = dsError;
    for (int slot = 5; slot <= 12; ++slot)
        monitor(slot, slot * 1.5f);
    control.FillTrayHintInfo();
    EXPECT_EQ(hint.ShowMode, 1);
    // Alias, balance, low, greyed; slots 5 .. 11 follow, the twelfth does not fit.
    QStringList want{QStringLiteral("Иван 3.00 1 0"), QStringLiteral("Старый (07.12.2026 12:20:49) 1.00 1 1"),
                     QStringLiteral("Новый — 0 1")},
        got;
    for (int slot = 5; slot <= 11; ++slot)
        want << QStringLiteral("Alias %1 %2 0 0").arg(slot).arg(slot * 1.5, 0, 'f', 2);
    for (int n = 1; n <= 10; ++n) {
        const auto &info = hint.PhonesInfo[n];
        got << QStringLiteral("%1 %2 %3 %4").arg(info.Alias, info.Balance).arg(int(info.IsRed)).arg(int(info.Stale));
    }
    EXPECT_EQ(got.join(u'\n').toStdString(), want.join(u'\n').toStdString());
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_TRUE(control.ToolTipText().contains(QStringLiteral("Новый: —")));
    hint.HideTrayHint();

    // A new fill starts from an empty list: no phones, no hint.
    for (int slot = 1; slot <= 12; ++slot)
        state.Setup.Line(slot).Monitor = false;
    control.FillTrayHintInfo();
    EXPECT_TRUE(hint.EmptyBalances());
    hint.ShowPhonesInfoXY(500, 500);
    EXPECT_FALSE(hint.isVisible());
}

TEST_F(HintFixture, TheHintStaysOnTheFreeAreaOfTheScreenWhereverTheTrayIs)
{
    for (int slot = 1; slot <= 10; ++slot)
        monitor(slot, 1234.5f * slot).Alias = QStringLiteral("Телефон с длинным именем %1").arg(slot);
    control.FillTrayHintInfo();
    hint.Message = QStringLiteral("Запрос по телефону № 1: очень длинный текст хода запроса");
    // A screen with a panel 30 pixels high on each edge.
    const QRect free(100, 80, 900, 600), outer = free.adjusted(-30, -30, 30, 30);
    hint.ScreenRect = [&](const QPoint &) { return free; };
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
    for (bool message : {false, true})
        for (const QPoint &at : points) {
            SCOPED_TRACE(QStringLiteral("%1,%2 message %3").arg(at.x()).arg(at.y()).arg(message).toStdString());
            message ? hint.ShowMessageXY(at.x(), at.y()) : hint.ShowPhonesInfoXY(at.x(), at.y());
            ASSERT_TRUE(hint.isVisible());
            EXPECT_TRUE(free.contains(hint.geometry())) << " corner " << hint.Corner();
            // The tail points at the cursor along the edge it sits on.
            EXPECT_EQ(hint.mapToGlobal(hint.TailTip()).x(),
                      std::clamp(at.x(), hint.x() + 6, hint.x() + hint.width() - 6));
            EXPECT_FALSE(hint.TailRegion().isEmpty());
            for (int n = 1; n <= 10 && !message; ++n)
                EXPECT_TRUE(hint.BodyRegion().contains(hint.lblBalance[n]->geometry().center())) << n;
            hint.HideTrayHint();
        }
}

TEST_F(HintFixture, RestOnTheIconShowsTheHintMovingAwayHidesItAndIdleNothingRuns)
{
    onePhone();
    QSystemTrayIcon tray;
    control.SetTray(&tray);
    control.tmrHintShow.setInterval(20);
    control.tmrHideTrayHint.setInterval(20);
    EXPECT_TRUE(control.Idle()) << "no timer while the mouse is elsewhere";
    control.MouseMoveOverIcon(cursor);
    cursor += QPoint(20, 0);  // moved away before the timer fired
    Pump(80);
    EXPECT_FALSE(hint.isVisible());
    cursor = QPoint(600, 500);
    control.MouseMoveOverIcon(cursor);
    cursor += QPoint(8, -8);  // still within 8 pixels
    Pump(80);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_EQ(control.HideRect(), RectAround(cursor));
    Pump(80);
    EXPECT_TRUE(hint.isVisible()) << "the cursor rests in the hide rectangle";
    cursor += QPoint(0, 9);
    Pump(80);
    EXPECT_FALSE(hint.isVisible());
    EXPECT_TRUE(control.Idle()) << "hidden: nothing runs any more";

    // The tray's icon window hands its tooltip moment to the tray icon object;
    // a cursor outside every screen puts the hint on the main one.
    cursor = QPoint(5000, 5000);
    QHelpEvent rest(QEvent::ToolTip, QPoint(3, 3), cursor);
    QCoreApplication::sendEvent(&tray, &rest);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_EQ(control.HideRect(), RectAround(cursor));
    EXPECT_FALSE(control.Idle()) << "the hide timer watches the cursor while the hint is up";
    cursor += QPoint(0, 30);
    Pump(80);
    EXPECT_FALSE(hint.isVisible());

    // The window embedding the icon in an X11 tray: entering starts the rest, leaving cancels it.
    QWidget embed;
    embed.setObjectName(QStringLiteral("QSystemTrayIconSys"));
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QCoreApplication::sendEvent(&embed, &enter);
    EXPECT_EQ(control.ShowRect(), RectAround(cursor));
    QCoreApplication::sendEvent(&embed, &leave);
    EXPECT_TRUE(control.Idle());
    control.SetTray(nullptr);
    QCoreApplication::sendEvent(&embed, &enter);
    EXPECT_TRUE(control.Idle()) << "no tray, nothing to watch";
}

TEST_F(HintFixture, VetoesProgressTextAndClicksOnTheHint)
{
    onePhone();
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
    QMenu menu;  // never over an open menu, the tray's or any other
    menu.addAction(QStringLiteral("Выход"));
    menu.popup(QPoint(100, 100));
    control.RestOnIcon(cursor);
    EXPECT_FALSE(hint.isVisible());
    menu.close();
    control.RestOnIcon(cursor);
    EXPECT_TRUE(hint.isVisible());
    // Forbidding hides a visible hint.
    control.SetHintAllowed(false);
    EXPECT_FALSE(hint.isVisible());

    // A click or a move on the hint hides it; a progress text replaces the list.
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    QTest::mouseClick(&hint, Qt::LeftButton, {}, hint.lblAlias[1]->geometry().center());
    EXPECT_FALSE(hint.isVisible());
    control.progressMessage(QStringLiteral("Запрос по телефону № 1: A\r\n"));
    EXPECT_EQ(hint.ShowMode, 0);
    hint.ShowMessageXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_TRUE(hint.lblText->isVisible());
    EXPECT_FALSE(hint.lblAlias[1]->isVisible());
    EXPECT_EQ(hint.lblText->text().trimmed(), QStringLiteral("Запрос по телефону № 1: A"));
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), hint.mapToGlobal(QPointF(30, 30)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&hint, &move);
    EXPECT_FALSE(hint.isVisible());
}
