// The tray: the digits and their ink, the choice of the balance, the
// animation, the hint with its place and timers, and the status display as
// the controller wires it to the engine's signals.
#include "Common.h"
#include "CreateIcon.h"
#include "DisplayFixture.h"
#include "EventLoopWait.h"
#include "IniFile.h"
#include "OleDate.h"
#include "StatusDisplay.h"
#include "TrayHint.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
constexpr QRgb Navy = 0xFF000080, Red = 0xFFFF0000;
QSet<QRgb> inkColours(const QImage &img)
{
    QSet<QRgb> s;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 0)
                s.insert(img.pixel(x, y));
    return s;
}

// A tray image at a tray's size: every pixel of the 16x16 drawing becomes a
// k x k block of the same ink (no blur), centred; every free pixel touching
// the ink is the light outline; nothing else is drawn.
void expectSharpAndOutlined(const QImage &got, const QImage &img16, QRgb ink)
{
    const int side = got.width(), k = side / 16, off = (side - 16 * k) / 2;
    const auto inkAt = [&](int x, int y) {
        const int sx = x - off, sy = y - off;
        return sx >= 0 && sy >= 0 && sx < 16 * k && sy < 16 * k && qAlpha(img16.pixel(sx / k, sy / k)) != 0;
    };
    int outline = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb p = got.pixel(x, y);
            const bool light = qAlpha(p) >= 200 && qRed(p) >= 240 && qGreen(p) >= 240 && qBlue(p) >= 240;
            bool touches = false;
            for (int d = 0; d < 9; ++d)
                touches |= inkAt(x + d % 3 - 1, y + d / 3 - 1);
            if (inkAt(x, y))
                EXPECT_EQ(p, ink) << side << ": " << x << "," << y;
            else
                EXPECT_TRUE(light || (!touches && qAlpha(p) == 0)) << side << ": " << x << "," << y;
            outline += touches && !inkAt(x, y);
        }
    EXPECT_GT(outline, 0);
}

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

}  // namespace

TEST(TrayDigits, TextsAndTheImagesAtTheTraysSizes)
{
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();
    const std::pair<float, const char *> rows[]
        = {{2.5f, "2.5"},  {3.0f, "3"},     {10.4f, "10"},     {123.4f, "123"},  {999.f, "999"},
           {0.9995f, "1"}, {12.345f, "12"}, {10000.f, "---"},  {-5.f, "-5"},     {-0.5f, "-0.5"},
           {0.04f, "0"},   {-9.4f, "-9"},   {-12345.f, "---"}, {3.4e38f, "---"}, {-10.f, "-10"},
           {10.f, "10"},   {-9.f, "-9"},    {1000.f, "1000"},  {NaN, "---"},     {-Inf, "---"}};
    for (const auto &[value, text] : rows)
        EXPECT_EQ(TrayNumberText(value), QLatin1String(text)) << value;

    for (const auto &[image, ink] :
         {std::pair{NumberImage(2.5f, 2.5f, NoMark), Navy}, std::pair{NumberImage(2.5f, 2.5f, 2.5f), Red}}) {
        const QIcon icon = TrayIconFromImage(image);
        // An embedding tray paints the icon into its cell, at pixel ratio 1 or 2;
        // another asks for pixmaps at the sizes it names.
        const std::pair<int, double> cells[] = {{16, 1}, {22, 1}, {24, 1}, {32, 1}, {16, 2}, {24, 2}};
        for (const auto &[logical, dpr] : cells) {
            QImage canvas(qRound(logical * dpr), qRound(logical * dpr), QImage::Format_ARGB32);
            canvas.fill(Qt::transparent);
            canvas.setDevicePixelRatio(dpr);
            QPainter p(&canvas);
            icon.paint(&p, QRect(0, 0, logical, logical));
            p.end();
            expectSharpAndOutlined(canvas, image, ink);
        }
        for (int size : {22, 32, 48})
            expectSharpAndOutlined(icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32), image,
                                   ink);
    }
}

TEST_F(DisplayFixture, TrayInkThousandsAndTheChoiceOfTheBalance)
{
    TTrayIcon tray(state);
    TGeneralSettings &g = state.Setup.General;
    // At and above the limit, thousands coloured by the balance, marking off, an unreadable limit counts as 2.5.
    const std::tuple<bool, const char *, float, QRgb> rows[] = {{true, "2.5", 2.5f, Red},
                                                                {true, "2.5", 2.51f, Navy},
                                                                {true, "2.5", 1500.f, Navy},
                                                                {false, "2.5", -0.5f, Navy},
                                                                {true, "abc", 2.5f, Red}};
    for (const auto &[on, limit, balance, ink] : rows) {
        g.cbMarkIfBalance = on;
        g.edBalanceLessThen = QLatin1String(limit);
        tray.UpdateTrayIcon(balance);
        EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{ink}) << balance << limit;
    }
    g.cbMarkIfBalance = false;
    for (const auto &[balance, shown] : {std::pair{1500.f, 1.5f}, std::pair{999.5f, 1.f}, std::pair{12345.f, 12.f}}) {
        tray.UpdateTrayIcon(balance);
        EXPECT_EQ(tray.CurrentImage(), NumberImage(shown, shown, NoMark)) << balance;
    }
    tray.UpdateTrayIcon(static_cast<float>(NoValue));
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);

    constexpr QRgb Grey = 0xFF808080, PaleRed = 0xFFFA6E6E;
    g.cbMarkIfBalance = true;
    g.edBalanceLessThen = QStringLiteral("2.5");
    monitor(1, 50.f);
    monitor(2, 7.f);
    state.Setup.SetTrayShow(2, true);
    TIssa &low = monitor(3, 1.f);
    state.IssaArray[4].Balance = -100.f;  // not monitored
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(7.f, 7.f, 2.5f)) << "the tray phone wins over a smaller balance";
    state.Setup.SetTrayShowMinimal(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(1.f, 1.f, 2.5f)) << "phone 4 is not monitored";
    state.Setup.SetTrayNotShow(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);

    // A tray phone never read (a wrong password) shows "--", never red.
    state.Setup.Line(3).Monitor = false;
    monitor(2, 0.f, /*success=*/false, /*queried=*/0).State = dsError;
    state.Setup.SetTrayShow(2, true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NoFiguresImage());
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy}) << "no red for a lack of data";
    // The smallest balance leaves it out; with nothing read at all: "--".
    state.Setup.SetTrayShowMinimal(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(50.f, 50.f, 2.5f));
    state.IssaArray[1].QueryDateTime = 0;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NoFiguresImage());

    // A failed request keeps the last good balance, greyed; pale red when low.
    state.Setup.Line(3).Monitor = true;
    low.Balance = 40.f;
    low.Success = false;
    low.State = dsError;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(40.f, 40.f, 2.5f, /*stale=*/true));
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Grey});
    low.Balance = 1.f;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{PaleRed});
}

TEST_F(DisplayFixture, TrayAnimationWrapsGoesOnWhereItStoppedAndFollowsStopAndPause)
{
    TTrayIcon tray(state);
    tray.animationStart();
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(1)) << "the first frame at once";
    // Watched until the index falls back: after frame 10 (index 11) comes frame 1.
    int highest = tray.AniIndex();
    ASSERT_TRUE(WaitUntil([&] { return tray.AniIndex() < highest || (highest = tray.AniIndex(), false); }, 5000));
    EXPECT_EQ(highest, 11) << "all ten frames before the wrap";
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(1));
    tray.animationStop();
    const int reached = tray.AniIndex();  // frame 2 is next
    Pump(150);
    tray.animationStart();
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(reached)) << "goes on where it stopped, no frames while stopped";
    tray.animationStop();
    // A stopped run shows no frames; a paused engine's start and stop take effect at Resume.
    tray.ShowPlainIcon();
    bool stopped = true;
    tray.SetStoppedQuery([&] { return stopped; });
    tray.animationStart();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);
    tray.animationStop();
    stopped = false;
    tray.Pause();
    tray.animationStart();
    EXPECT_FALSE(tray.AnimationRunning());
    tray.Resume();
    EXPECT_TRUE(tray.AnimationRunning());
    tray.Pause();
    tray.animationStop();
    tray.Resume();
    EXPECT_FALSE(tray.AnimationRunning());
}

TEST_F(DisplayFixture, HintListsTenPhonesInSlotOrderAndStaysOnTheFreeAreaOfTheScreen)
{
    TTrayHint hint;
    THintControl control{state, &hint, nullptr};
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
    EXPECT_TRUE(control.ToolTipText().contains(QStringLiteral("Новый: —")));

    // A new fill starts from an empty list: no phones, no hint.
    for (int slot = 1; slot <= 12; ++slot)
        state.Setup.Line(slot).Monitor = false;
    control.FillTrayHintInfo();
    EXPECT_TRUE(hint.EmptyBalances());
    hint.ShowPhonesInfoXY(500, 500);
    EXPECT_FALSE(hint.isVisible());

    for (int slot = 1; slot <= 10; ++slot)
        monitor(slot, 1234.5f * slot).Alias = QStringLiteral("Телефон с длинным именем %1").arg(slot);
    control.FillTrayHintInfo();
    hint.Message = QStringLiteral("Запрос по телефону № 1: очень длинный текст хода запроса");
    // A screen with a panel 30 pixels high on each edge; the tray in each
    // corner of the panel, or the cursor at the corners of the free area itself.
    const QRect free(100, 80, 900, 600), tray = free.adjusted(-25, -25, 25, 25);
    hint.ScreenRect = [&](const QPoint &) { return free; };
    for (bool message : {false, true})
        for (const QPoint &at : {tray.topLeft(), tray.topRight(), tray.bottomLeft(), tray.bottomRight(), free.topLeft(),
                                 free.topRight(), free.bottomLeft(), free.bottomRight()}) {
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

TEST_F(DisplayFixture, HintShowsOnARestOnTheIconHidesWhenTheMouseMovesAwayAndWhenVetoed)
{
    TTrayHint hint;
    THintControl control{state, &hint, nullptr};
    QPoint cursor{600, 500};
    control.CursorPos = [&] { return cursor; };
    monitor(1, 5.f);
    control.FillTrayHintInfo();
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

    // Vetoes: forbidden, under the open phones window, over any open menu.
    control.SetHintAllowed(false);
    control.ShowTrayHint();
    EXPECT_FALSE(hint.isVisible());
    control.SetHintAllowed(true);
    bool phonesOpen = true;
    control.SetPhonesWindowVisible([&] { return phonesOpen; });
    control.ShowTrayHint();
    EXPECT_FALSE(hint.isVisible());
    phonesOpen = false;
    QMenu menu;
    menu.addAction(QStringLiteral("Выход"));
    menu.popup(QPoint(100, 100));
    control.RestOnIcon(cursor);
    EXPECT_FALSE(hint.isVisible());
    menu.close();
    control.RestOnIcon(cursor);
    EXPECT_TRUE(hint.isVisible());
    control.SetHintAllowed(false);
    EXPECT_FALSE(hint.isVisible()) << "forbidding hides a visible hint";
    // The tray menu hides it and cancels a pending show.
    control.SetHintAllowed(true);
    control.ShowTrayHint();
    control.MouseMoveOverIcon(cursor);
    control.menuAboutToShow();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(control.tmrHintShow.isActive());

    // A click or a move on the hint hides it; a progress text replaces the list.
    hint.ShowPhonesInfoXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    QTest::mouseClick(&hint, Qt::LeftButton, {}, hint.lblAlias[1]->geometry().center());
    EXPECT_FALSE(hint.isVisible());
    control.progressMessage(QStringLiteral("Запрос по телефону № 1: A\r\n"));
    hint.ShowMessageXY(400, 400);
    ASSERT_TRUE(hint.isVisible());
    EXPECT_FALSE(hint.lblAlias[1]->isVisible());
    EXPECT_EQ(hint.lblText->text().trimmed(), QStringLiteral("Запрос по телефону № 1: A"));
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), hint.mapToGlobal(QPointF(30, 30)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&hint, &move);
    EXPECT_FALSE(hint.isVisible());
}

TEST_F(DisplayFixture, StatusDisplayFollowsTheEngineTheTrayIconAndMakesThePhonesWindowWhenFirstWanted)
{
    monitor(1, 10.f);
    monitor(2, 20.f);
    state.Setup.SetTrayShowMinimal(true);
    state.Setup.General.cbMarkIfBalance = false;
    QSystemTrayIcon tray;
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    {
        TStatusDisplay display(state, &tray);
        display.SetTrayMenu(&menu);
        FakeEngine engine;
        display.ConnectEngine(&engine);
        display.RefreshAll();
        display.SetPhonesMenusEnabled(false);
        Q_EMIT engine.phonesChanged();
        EXPECT_FALSE(display.HasPhonesInfo()) << "made at its first use";
        EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(10.f, 10.f, NoMark));
        // The hint's content as text, for trays that tell no icon geometry.
        Q_EMIT engine.progressMessage(QStringLiteral("Запрос по телефону № 1: x\r\n"));
        EXPECT_TRUE(display.HintControl().ToolTipText().endsWith(QStringLiteral("\nЗапрос по телефону № 1: x")));

        Q_EMIT engine.animationStart();
        EXPECT_EQ(display.TrayIcon().CurrentKind(), TTrayIcon::FrameImage);
        Q_EMIT engine.animationStop();
        EXPECT_FALSE(display.TrayIcon().AnimationRunning());
        Q_EMIT engine.plainTrayIcon();
        EXPECT_EQ(display.TrayIcon().CurrentKind(), TTrayIcon::PlainImage);
        state.IssaArray[1].Balance = 3.f;
        Q_EMIT engine.trayPhoneInfoChanged();
        EXPECT_EQ(display.TrayIcon().CurrentImage(), NumberImage(3.f, 3.f, NoMark));

        // Made, it is filled from the table as it stands, with the item states set before.
        state.IssaArray[2].Balance = 77.f;
        display.SetHistoryAvailable(true);
        TfrmPhonesInfo &w = display.PhonesInfo();
        const auto balance = [&] { return w.Grid->Cells(w.ColumnKeys.indexOf(QStringLiteral("Balance")), 2); };
        EXPECT_EQ(w.Grid->RowCount(), 3);
        EXPECT_EQ(balance(), QStringLiteral("77.00"));
        EXPECT_EQ(&display.PhonesInfo(), &w) << "made once";
        EXPECT_FALSE(w.ppmHistory->isEnabled());
        display.SetPhonesMenusEnabled(true);
        EXPECT_TRUE(w.ppmHistory->isEnabled());
        // A hidden window is not refilled: its showing fills it.
        state.IssaArray[2].Balance = 55.f;
        Q_EMIT engine.phonesChanged();
        EXPECT_EQ(balance(), QStringLiteral("77.00"));
        display.ShowPhonesInfo();
        ASSERT_TRUE(display.PhonesInfoVisible());
        EXPECT_EQ(balance(), QStringLiteral("55.00"));
        state.IssaArray[2].Balance = 99.f;
        Q_EMIT engine.phonesChanged();
        EXPECT_EQ(balance(), QStringLiteral("99.00"));
        state.IssaArray[2].Balance = 42.f;
        Q_EMIT engine.phoneChanged(2);  // one phone's change refills its row
        EXPECT_EQ(balance(), QStringLiteral("42.00"));

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

        // A change of the settings rebuilds the open window.
        state.Setup.General.cbSMS = true;
        state.Setup.Line(3).Monitor = true;
        state.Setup.Line(3).Number = QStringLiteral("9161234503");
        display.RefreshAll();
        EXPECT_TRUE(w.ColumnKeys.contains(QStringLiteral("SMS")));
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
        state.IniFile.EraseSection(QStringLiteral("PhonesInfo Form"));
    }
    EXPECT_TRUE(state.IniFile.ValueExists(QStringLiteral("PhonesInfo Form"), QStringLiteral("Width")))
        << "an open window keeps its size at the end";
}

#include "TrayTest.moc"
