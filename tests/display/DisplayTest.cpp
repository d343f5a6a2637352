// The display: the tray digits and their ink, the choice of the balance, the
// animation, the hint with its place and timers, the status display as the
// controller wires it, the phones window with its sortable grid, and the
// loaded pages viewer, which never lets a stored page reach the network.
#include "CreateIcon.h"
#include "Encoding.h"
#include "EventLoopWait.h"
#include "LoadedPages.h"
#include "OleDate.h"
#include "ProgramState.h"
#include "StatusDisplay.h"
#include "TestHome.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A program directory, the program's state in it, and phones monitored with a good reading.
class DisplayFixture : public ::testing::Test {
protected:
    TIssa &monitor(int slot, float balance, bool success = true, double queried = 46000.5)
    {
        TSetupPhoneLine &line = state.Setup.Line(slot);
        line.Monitor = true;
        line.Number = QStringLiteral("91612345%1").arg(slot, 2, 10, QLatin1Char('0'));
        TIssa &issa = state.IssaArray[slot];
        issa.PhoneNumber = line.Number;
        issa.Alias = QStringLiteral("Alias %1").arg(slot);
        issa.Balance = balance;
        issa.Success = success;
        issa.QueryDateTime = queried;
        return issa;
    }
    TestHome home;
    TProgramState state{InitPaths()};
};

constexpr QRgb Navy = 0xFF000080, Red = 0xFFFF0000;
QSet<QRgb> inkColours(const QImage &img)
{
    QSet<QRgb> s;
    for (int i = 0; i < img.width() * img.height(); ++i)
        if (const QRgb p = img.pixel(i % img.width(), i / img.width()); qAlpha(p) != 0)
            s.insert(p);
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

// The request engine's signals: ConnectEngine is a template, so the display needs no engine (the app checks TfrmWB).
class FakeEngine : public QObject {
    Q_OBJECT
public:
    bool stopped = false;
    bool Stopped() const { return stopped; }
Q_SIGNALS:
    void progressMessage(const QString &text);
    void phonesChanged();
    void phoneChanged(int slot);
    void animationStart();
    void animationStop();
    void plainTrayIcon();
    void trayPhoneInfoChanged();
};

const QString Section = QStringLiteral("PhonesInfo Form");
const auto col = [](TfrmPhonesInfo &w, const char *key) { return w.ColumnKeys.indexOf(QLatin1String(key)); };
const auto cell = [](TfrmPhonesInfo &w, int column, int row) {
    return QPoint(w.Grid->columnViewportPosition(column) + 5, w.Grid->rowViewportPosition(row) + 5);
};

// A grid of one key column plus a tag column "row<i>" (objects 10 i and 10 i + 1).
struct Grid {
    TSortGrid grid;
    explicit Grid(const QStringList &keys)
    {
        grid.resize(400, 300);
        grid.Set_ColCount(2);
        grid.Set_RowCount(static_cast<int>(keys.size()) + 1);
        grid.SetCells(0, 0, "Key");
        for (int i = 0; i < keys.size(); ++i) {
            grid.SetCell(0, i + 1, keys[i], QVariant(i * 10));
            grid.SetCell(1, i + 1, QStringLiteral("row%1").arg(i), QVariant(i * 10 + 1));
        }
        grid.show();
        QApplication::processEvents();
    }
    QStringList column(int col = 0) const
    {
        QStringList out;
        for (int r = 1; r < grid.RowCount(); ++r)
            out << grid.Cells(col, r);
        return out;
    }
    QWidget *header() const { return grid.horizontalHeader()->viewport(); }
    QPoint at(int col, int dx = 30) const { return QPoint(grid.columnViewportPosition(col) + dx, 5); }
    void click(int col, int dx = 30) { QTest::mouseClick(header(), Qt::LeftButton, {}, at(col, dx)); }
    // Press, move by dx, release.
    void drag(const QPoint &from, int dx)
    {
        QTest::mousePress(header(), Qt::LeftButton, {}, from);
        const QPoint to = from + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, to, header()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(header(), &move);
        QTest::mouseRelease(header(), Qt::LeftButton, {}, to);
    }
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
            expectSharpAndOutlined(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32), image, ink);
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
    QStringList got;
    for (const TPhoneInfo &i : hint.PhonesInfo)
        got << QStringLiteral("%1 %2 %3 %4").arg(i.Alias, i.Balance).arg(int(i.IsRed)).arg(int(i.Stale));
    EXPECT_EQ(got.mid(1, 4).join(u'|'),
              QStringLiteral("Иван 3.00 1 0|Старый (07.12.2026 12:20:49) 1.00 1 1|"
                             "Новый — 0 1|Alias 5 7.50 0 0"));
    EXPECT_EQ(got.value(10), QStringLiteral("Alias 11 16.50 0 0"));
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

    // Vetoes: forbidden, over any open menu (the phones window: see the status display).
    control.SetHintAllowed(false);
    control.ShowTrayHint();
    EXPECT_FALSE(hint.isVisible());
    control.SetHintAllowed(true);
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
        engine.stopped = true;  // a stopped run's start draws no frame
        Q_EMIT engine.animationStart();
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
        QSignalSpy history(&display, &TStatusDisplay::historyRequested), ask(&display, &TStatusDisplay::requestOnlyOne);
        for (auto [row, item, spy] :
             {std::tuple{1, w.ppmHistory, &history}, std::tuple{2, w.ppmRequestOnlyOne, &ask}}) {
            ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, row)));
            item->trigger();
            ASSERT_TRUE(spy->wait(500));
            EXPECT_EQ(spy->at(0).at(0).toInt(), row);
        }

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
        state.IniFile.EraseSection(Section);
    }
    EXPECT_TRUE(state.IniFile.ValueExists(Section, QStringLiteral("Width")))
        << "an open window keeps its size at the end";
}

TEST_F(DisplayFixture, PhonesColumnsCellsAndMenuFollowTheSettingsAndEachPhonesState)
{
    TGeneralSettings &g = state.Setup.General;
    const auto allColumns = [&](bool on) {
        for (bool *b :
             {&g.cbNN, &g.cbLicSchet, &g.cbAlias, &g.cbUserName, &g.cbPhoneNum, &g.cbObPlat, &g.cbAverage, &g.cbTurnOff,
              &g.cbRecomend, &g.cbSMS, &g.cbMin, &g.cbJeansBalExpired, &g.cbBalDelta, &g.cbLastQueryTime})
            *b = on;
    };
    allColumns(true);
    TIssa &ok = monitor(1, 100.25f);
    ok.LicSchet = QStringLiteral("123456");
    ok.UserName = QStringLiteral("Иванов");
    ok.Average = 3.456f;
    ok.TurnOff = 2;  // at the threshold 2
    ok.Recomend = 50;
    ok.JeansExpired = 12;
    ok.Minutes = 30;
    TIssa &failed = monitor(2, 1.f, /*success=*/false);
    failed.BalDelta = -3.5f;
    failed.TurnOff = 10;
    failed.ErrorMsg = QStringLiteral("Ошибка авторизации");
    failed.State = dsError;
    monitor(3, 0.f, /*success=*/false, /*queried=*/0).Alias = QStringLiteral("Дом");
    monitor(4, 50.f, /*success=*/false).State = dsRequest;
    TfrmPhonesInfo w(state);
    w.resize(900, 250);
    w.show();
    Pump(0);
    // "key=text" per cell; a phone never read shows a dash, but the zero rules win over it.
    const std::pair<int, const char *> rows[]
        = {{1,
            "LicSchet=123456|UserName=Иванов|Balance=100.25|ObPlat=|Average=3.46|BalDelta=-|TurnOff=2|Recomend=50.00|"
            "BalExpired=12|SMS=|Min=30"},
           {2, "Balance=1.00|BalDelta=-3.50"},
           {3, "NN=3|Alias=Дом|PhoneNum=(916) 123-4503|LicSchet=—|UserName=—|Balance=—|BalDelta=—|LastQueryTime=—"},
           {3, "ObPlat=|Average=|TurnOff=|Recomend=|BalExpired=|SMS=|Min="}};
    for (const auto &[row, cells] : rows)
        for (const QString &pair : QString::fromUtf8(cells).split(QLatin1Char('|'))) {
            const int column = w.ColumnKeys.indexOf(pair.section(QLatin1Char('='), 0, 0));
            ASSERT_GE(column, 0) << pair.toStdString();  // a missing column reads as empty cells
            EXPECT_EQ(w.Grid->Cells(column, row), pair.section(QLatin1Char('='), 1)) << row << pair.toStdString();
        }
    const QString when = FormatShortDateTime(46000.5);
    ok.NotSaved = true;  // read, but its history row could not be stored
    w.FillGrid();
    EXPECT_EQ(w.Grid->Cells(col(w, "LastQueryTime"), 1), when + QStringLiteral(" не сохранено"));

    const auto fg
        = [&](const char *key, int row) { return w.Grid->Objects(col(w, key), row).value<TCellStyle>().FontColor; };
    EXPECT_EQ(fg("Balance", 1), QColor(Qt::black));
    EXPECT_EQ(fg("TurnOff", 1), MarkedText);
    EXPECT_EQ(fg("Balance", 2), FailedMarkedText) << "a failed phone keeps its figures, greyed";
    EXPECT_EQ(fg("TurnOff", 2), FailedText);
    EXPECT_EQ(w.Grid->item(2, col(w, "Balance"))->toolTip(), QStringLiteral("Последние данные от ") + when);

    // The failed phone's menu offers its error text, the other's its pages.
    ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, 2)));
    EXPECT_TRUE(w.ppmErrorMsg->isVisible());
    EXPECT_FALSE(w.ppmShowPages->isVisible());
    ok.LoadedPages << QStringLiteral("<!-- x -->\r\n<body></body>");
    ASSERT_TRUE(w.PrepareContextMenu(cell(w, 1, 1)));
    EXPECT_FALSE(w.ppmErrorMsg->isVisible());
    EXPECT_TRUE(w.ppmShowPages->isVisible());
    EXPECT_FALSE(w.PrepareContextMenu(w.Grid->HeaderToGrid(QPoint(cell(w, 1, 1).x(), 5)))) << "caption row";
    w.hide();

    allColumns(false);
    w.CreateGreed();
    EXPECT_EQ(w.ColumnKeys, QStringList({QStringLiteral("NN"), QStringLiteral("Balance")}));
    EXPECT_EQ(w.Grid->columnWidth(0), 0);
    EXPECT_EQ(w.Get_ColumnWidth(QStringLiteral("SMS")), -1);
}

TEST_F(DisplayFixture, PhonesRowsAreFoundBySlotAfterSorting)
{
    monitor(1, 30.f);
    monitor(3, 10.f);
    monitor(5, 20.f);
    TfrmPhonesInfo w(state);
    w.Grid->SetSortColumn(col(w, "Balance"));
    w.FillGrid();
    w.Grid->SetSortDirectionForAllColumns(0);
    w.Grid->Sort();
    EXPECT_EQ(w.Grid->Cells(0, 1), QStringLiteral("3"));
    state.IssaArray[1].Balance = 1;
    monitor(7, 10.f);  // monitored after the rows were laid out: no row yet
    w.FillGrid();
    EXPECT_EQ(w.Grid->RowCount(), 4);
    EXPECT_EQ(w.Grid->Cells(0, 3), QStringLiteral("1")) << "refresh in place, no re-sort";
    EXPECT_EQ(w.Grid->Cells(col(w, "Balance"), 3), QStringLiteral("1.00"));
    EXPECT_EQ(w.RowOfSlot(5), 2);
    EXPECT_EQ(w.RowOfSlot(2), -1);
    // Showing again rebuilds the rows in slot order and resets the directions.
    w.Grid->SetSortDirectionForAllColumns(0);
    w.show();
    EXPECT_EQ(w.Grid->RowCount(), 5);
    EXPECT_EQ(w.Grid->Cells(0, 2), QStringLiteral("3"));
    EXPECT_EQ(w.Grid->SortDirection(1), 1);
}

TEST_F(DisplayFixture, PhonesSizesAreKeptTheWindowStaysReachableAndAnswersKeysAndClicks)
{
    monitor(1, 30.f);
    const QString width = QStringLiteral("Width_Balance");
    {
        TfrmPhonesInfo w(state);
        w.show();
        w.resize(420, 210);
        Pump(0);
        state.IniFile.WriteInteger(Section, width, 50);  // changed behind the window's back
        QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell(w, col(w, "Balance"), 1));
        EXPECT_EQ(state.IniFile.ReadInteger(Section, width, 0), 50) << "a click in the grid writes nothing";
        w.Grid->setColumnWidth(col(w, "Balance"), 91);  // as a drag of the column's border does
        QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, cell(w, col(w, "Balance"), 1));
        EXPECT_EQ(state.IniFile.ReadInteger(Section, width, 0), 91) << "written when the button is released";
        EXPECT_TRUE(w.close());
        EXPECT_FALSE(state.IniFile.ValueExists(Section, QStringLiteral("Width_SMS"))) << "no column, no width";
        // The program's end closes every window; an open phones window must not refuse.
        w.show();
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        QTimer::singleShot(2000, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(QCoreApplication::exec(), 0);
    }
    TfrmPhonesInfo again(state);
    again.show();
    EXPECT_EQ(again.Get_ColumnWidth(QStringLiteral("Balance")), 91);
    EXPECT_EQ(again.size(), QSize(420, 210));
    again.hide();
    // Stored off the screen: moved back to where 50 pixels can be reached.
    state.IniFile.WriteInteger(Section, QStringLiteral("Left"), 5000);
    state.IniFile.WriteInteger(Section, QStringLiteral("Top"), -5000);
    again.LoadVisibleIniParameters();
    EXPECT_EQ(again.x(), QApplication::primaryScreen()->geometry().width() - 50);
    EXPECT_EQ(again.y(), 50 - 210);

    // Escape hides; a right click below the rows asks for the tray menu, on the
    // caption row for nothing.
    again.ShowPhonesInfo();
    QTest::keyClick(&again, Qt::Key_Escape);
    EXPECT_FALSE(again.isVisible());
    again.ShowPhonesInfo();
    QSignalSpy tray(&again, &TfrmPhonesInfo::trayMenuRequested), excel(&again, &TfrmPhonesInfo::excelRequested);
    QTest::mouseClick(again.Grid->viewport(), Qt::RightButton, {}, QPoint(20, again.Grid->rowViewportPosition(1) + 60));
    EXPECT_EQ(tray.count(), 1);
    QTest::mouseClick(again.Grid->horizontalHeader()->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(tray.count(), 1);
    again.ppmExcelRed->trigger();
    ASSERT_TRUE(excel.wait(500));
    EXPECT_TRUE(excel.at(0).at(0).toBool()) << "the workbook of the low balances";
}

TEST(SortCompare, NumbersByValueThenDatesThenTexts)
{
    const QStringList lines = QString::fromUtf8(ReadFileBytes(TestDataPath(QStringLiteral("display/compare.txt"))))
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 20);
    for (const QString &line : lines) {
        const QStringList f = line.split(u'\t');
        if (line.startsWith(u'#'))
            continue;
        ASSERT_EQ(f.size(), 3) << line.toStdString();
        EXPECT_EQ(Compare(f[0], f[1]), f[2].toInt()) << line.toStdString();
        EXPECT_EQ(Compare(f[1], f[0]), -f[2].toInt()) << line.toStdString();
    }
    // The windows' one form of a date-time, whatever the locale, and back to the second.
    const double when = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    EXPECT_EQ(FormatShortDateTime(when), QStringLiteral("07.12.2026 12:20:49"));
    EXPECT_NEAR(ParseShortDateTime(QStringLiteral("07.12.2026 12:20:49")), when, 0.5 / 86400);
}

// Keys whose pair-by-pair comparison was no order (cycles, tolerance chains),
// many times over: a click sorts ascending, the next descending, another
// column starts ascending again; whole rows move with their objects, equal
// keys keep their order and the caption row stays; only plain clicks inside
// a caption sort.
TEST(SortGrid, HeaderClicksSortWholeRowsInOneTotalOrder)
{
    const char *pool[]
        = {"1a", "10", "9", "", "-", "1.00018", "1", "1.00009", "07.12.2026 12:20:49", "abc", "—", "ABC"};
    QStringList keys;
    for (int i = 0; i < 300; ++i)
        keys << QString::fromUtf8(pool[(i * 7) % 12]);
    Grid g(keys);
    g.grid.SetSortDirectionForAllColumns(1);
    // Equal keys ("abc", "ABC") keep their order in both directions.
    const QString orders[] = {"|-|1|1.00009|1.00018|9|10|07.12.2026 12:20:49|1a|abc|ABC|—",
                              "—|abc|ABC|1a|07.12.2026 12:20:49|10|9|1.00018|1.00009|1|-|"};
    for (int direction = 0; direction < 2; ++direction) {
        g.click(0);
        EXPECT_EQ(g.grid.SortDirection(0), direction);
        QStringList sorted = g.column();
        sorted.removeDuplicates();
        EXPECT_EQ(sorted, orders[direction].split(u'|'));
        const QStringList tags = g.column(1);
        for (int r = 1; r <= tags.size(); ++r) {
            const int i = tags[r - 1].mid(3).toInt();
            ASSERT_EQ(g.grid.Cells(0, r), keys[i]);
            ASSERT_EQ(g.grid.Objects(0, r).toInt(), i * 10);
            ASSERT_EQ(g.grid.Objects(1, r).toInt(), i * 10 + 1);
            if (r > 1 && Compare(keys[tags[r - 2].mid(3).toInt()], keys[i]) == 0) {
                EXPECT_LT(tags[r - 2].mid(3).toInt(), i) << "equal keys keep their order";
            }
        }
        EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("Key"));
    }
    g.click(1);
    EXPECT_EQ(g.grid.SortColumn(), 1);
    EXPECT_EQ(g.grid.SortDirection(0), 1);
    EXPECT_EQ(g.grid.SortDirection(1), 0);
    const QStringList tags = g.column(1);
    EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end(), [](auto &a, auto &b) { return Compare(a, b) < 0; }));

    // Clicks near a caption's edges, with a move, or with the right button do
    // not sort; a drag of the border resizes the column, and the owner hears of it.
    QSignalSpy released(&g.grid, &TSortGrid::leftButtonReleased);
    g.click(0, 5);
    g.click(0, TSortGrid::DefaultColWidth - 5);
    g.drag(g.at(0), 2);
    QTest::mouseClick(g.header(), Qt::RightButton, {}, g.at(0));
    released.clear();
    g.drag(g.at(0, g.grid.columnWidth(0) - 1), 40);
    EXPECT_EQ(g.column(1), tags);
    EXPECT_EQ(g.grid.columnWidth(0), TSortGrid::DefaultColWidth + 40);
    EXPECT_EQ(released.count(), 1) << "the owner saves the widths on the release";
    // Scrolled down, the caption row stays in sight and a click there sorts.
    g.grid.resize(200, 120);
    g.grid.scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(g.grid.verticalScrollBar()->value(), 0);
    g.grid.SetSortDirectionForAllColumns(0);
    g.click(0);  // descending
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("—"));
}

TEST_F(DisplayFixture, PagesViewerWalksThePagesSavesThemUnchangedAndKeepsItsSize)
{
    QStringList pages;
    for (int i = 1; i <= 5; ++i)
        pages << QStringLiteral("<!-- http://issa.example/page%1 -->\r\n<body><p>Страница %1</p></body>").arg(i);
    pages[1] = QStringLiteral("<!-- a -->\r\n<html><head><meta charset=\"windows-1251\"></head>"
                              "<body>Страница 2: 12.50 руб.</body></html>");
    const auto shows = [](TfrmLoadedPages &v, int page) {
        EXPECT_EQ(v.lblViewPage->text(), QStringLiteral("%1 (5)").arg(page));
        EXPECT_TRUE(v.WB->toPlainText().contains(QStringLiteral("Страница %1").arg(page)));
        EXPECT_EQ(v.bnPred->isEnabled(), page > 1);
        EXPECT_EQ(v.bnNext->isEnabled(), page < 5);
    };
    {
        TfrmLoadedPages v(state.IniFile);
        v.SetPages(pages);
        v.SetHeader(QStringLiteral("(916) 123-4567 [Дом/Дача]"));
        v.show();  // the start timer turns to the newest page
        ASSERT_TRUE(WaitUntil([&] { return v.CurrentPage == 5; }, 2000));
        shows(v, 5);
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(v.bnPred, Qt::LeftButton);
        shows(v, 1);
        QTest::mouseClick(v.bnNext, Qt::LeftButton);
        v.ShowPage(0);  // out of range: ignored
        v.ShowPage(6);
        shows(v, 2);

        // A header with a path separator makes no folder of the name.
        EXPECT_EQ(v.ProposedFileName(), QStringLiteral("(916) 123-4567 [Дом_Дача]_2.html"));
        const QString path = home.file(QStringLiteral("page.html"));
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), ToCp1251(pages[1]));
        // A character the code page lacks: nothing is lost.
        v.Pages[1] = QStringLiteral("<body>€ ✓ 中文</body>");
        v.SavePageTo(path);
        EXPECT_EQ(ReadFileBytes(path), QByteArray("\xEF\xBB\xBF") + v.Pages[1].toUtf8());
        v.resize(640, 400);
    }
    EXPECT_EQ(TfrmLoadedPages(state.IniFile).size(), QSize(640, 400));
}

TEST_F(DisplayFixture, PagesViewerNeverLetsAStoredPageReachTheNetwork)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    const QString page = QStringLiteral("<!-- %1/login -->\r\n<html><head>"
                                        "<meta http-equiv=\"refresh\" content=\"0; url=%1/refresh\">"
                                        "<link rel=\"stylesheet\" href=\"%1/style.css\">"
                                        "<script src=\"%1/script.js\"></script>"
                                        "<script>document.write('SCRIPT-RAN'); new Image().src='%1/beacon';</script>"
                                        "</head><body onload=\"location='%1/onload'\">"
                                        "<img src=\"%1/image.png\"><img src=\"file:///etc/hostname\">"
                                        "<iframe src=\"%1/frame\"></iframe>"
                                        "<a href=\"%1/link\">ссылка</a>"
                                        "<form action=\"%1/form\" method=\"post\"><input name=a value=b></form>"
                                        "<p>Баланс</p></body></html>")
                             .arg(base);
    TfrmLoadedPages v(state.IniFile);
    v.SetPages({page});
    v.show();
    ASSERT_TRUE(WaitUntil([&] { return v.CurrentPage == 1; }, 2000));
    // Follow the link the way a user would: nothing fetched, no web browser started.
    QTextCursor link = v.WB->document()->find(QStringLiteral("ссылка"));
    link.setPosition(link.selectionStart() + 3);
    const QPoint at = v.WB->cursorRect(link).center();
    ASSERT_FALSE(v.WB->anchorAt(at).isEmpty());
    QTextBrowser desktop;  // is given what would go to the desktop's web browser
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &desktop, "setSource");
    QTest::mouseClick(v.WB->viewport(), Qt::LeftButton, {}, at);
    Pump(300);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_FALSE(server.hasPendingConnections() || !desktop.source().isEmpty())
        << desktop.source().toString().toStdString();
    // A plain text browser would read a local file: this one refuses it too.
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(QStringLiteral("file:///etc/hostname"))));
    EXPECT_TRUE(v.WB->RefusedUrls().contains(QUrl(base + QStringLiteral("/image.png"))));
    EXPECT_TRUE(v.WB->toPlainText().contains(QStringLiteral("Баланс")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("SCRIPT-RAN")));
    EXPECT_FALSE(v.WB->toPlainText().contains(QStringLiteral("document.write")));
    EXPECT_TRUE(v.WB->source().isEmpty());
}

#include "DisplayTest.moc"
