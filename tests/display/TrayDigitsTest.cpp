// The tray digits: texts, the tray's sizes, the ink, the choice of
// the balance and the animation frames.
#include "Common.h"
#include "CreateIcon.h"
#include "DisplayFixture.h"
#include "EventLoopWait.h"
#include "TrayIcon.h"

#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>

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
                EXPECT_TRUE(light || (!touches && qAlpha(p) == 0))
                    << side << ": " << x << "," << y << " " << Qt::hex << p;
            outline += touches && !inkAt(x, y);
        }
    EXPECT_GT(outline, 0);
}

class TrayFixture : public DisplayFixture {
protected:
    void mark(bool on, const char *limit = "2.5")
    {
        state.Setup.General.cbMarkIfBalance = on;
        state.Setup.General.edBalanceLessThen = QLatin1String(limit);
    }
};

}  // namespace

TEST(TrayDigits, TextsOfTheListedBalances)
{
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();
    const std::pair<float, const char *> rows[]
        = {{2.5f, "2.5"},     {3.0f, "3"},      {10.f, "10"},    {10.4f, "10"},    {123.4f, "123"}, {999.f, "999"},
           {1.5f, "1.5"},     {0.9995f, "1"},   {12.345f, "12"}, {10000.f, "---"}, {-5.f, "-5"},    {-0.5f, "-0.5"},
           {-12345.f, "---"}, {3.4e38f, "---"}, {0.04f, "0"},    {-9.f, "-9"},     {-9.4f, "-9"},   {-10.f, "-10"},
           {1000.f, "1000"},  {NaN, "---"},     {Inf, "---"},    {-Inf, "---"}};
    for (const auto &[value, text] : rows)
        EXPECT_EQ(TrayNumberText(value), QLatin1String(text)) << value;
}

TEST(TrayDigits, TrayImagesAreDrawnAtTheTraysSizeWithAnOutline)
{
    for (const auto &[image, ink] :
         {std::pair{NumberImage(2.5f, 2.5f, NoMark), Navy}, std::pair{NumberImage(2.5f, 2.5f, 2.5f), Red}}) {
        const QIcon icon = TrayIconFromImage(image);
        // An embedding tray paints the icon into its cell, at pixel ratio 1 or 2.
        for (const auto &[logical, dpr] : {std::pair{16, 1.0}, std::pair{22, 1.0}, std::pair{24, 1.0},
                                           std::pair{32, 1.0}, std::pair{16, 2.0}, std::pair{24, 2.0}}) {
            QImage canvas(qRound(logical * dpr), qRound(logical * dpr), QImage::Format_ARGB32);
            canvas.fill(Qt::transparent);
            canvas.setDevicePixelRatio(dpr);
            QPainter p(&canvas);
            icon.paint(&p, QRect(0, 0, logical, logical));
            p.end();
            SCOPED_TRACE("painted");
            expectSharpAndOutlined(canvas, image, ink);
        }
        // A tray that asks for pixmaps gets them at the sizes it names.
        for (int size : {22, 32, 48}) {
            SCOPED_TRACE("pixmap");
            expectSharpAndOutlined(icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
                                   image, ink);
        }
    }
}

TEST_F(TrayFixture, InkAndThousands)
{
    TTrayIcon tray(state);
    const std::tuple<const char *, bool, const char *, float, QRgb> rows[]
        = {{"at the limit", true, "2.5", 2.5f, Red},
           {"above the limit", true, "2.5", 2.51f, Navy},
           {"thousands coloured by the balance", true, "2.5", 1500.f, Navy},
           {"marking off, too wide", false, "2.5", -0.5f, Navy},
           {"an unreadable limit counts as 2.5", true, "abc", 2.5f, Red}};
    for (const auto &[name, on, limit, balance, ink] : rows) {
        SCOPED_TRACE(name);
        mark(on, limit);
        tray.UpdateTrayIcon(balance);
        EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{ink});
    }
    mark(false);
    for (const auto &[balance, shown] : {std::pair{1500.f, 1.5f}, std::pair{999.5f, 1.f}, std::pair{12345.f, 12.f}}) {
        tray.UpdateTrayIcon(balance);
        EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NumberImageKind);
        EXPECT_EQ(tray.CurrentImage(), NumberImage(shown, shown, NoMark)) << balance;
    }
    tray.UpdateTrayIcon(static_cast<float>(NoValue));
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);
}

TEST_F(TrayFixture, ChoiceOfTheBalanceAndPhonesWithoutFigures)
{
    constexpr QRgb Grey = 0xFF808080, PaleRed = 0xFFFA6E6E;
    mark(true);
    TTrayIcon tray(state);
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
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind);
    EXPECT_EQ(tray.CurrentImage(), NoFiguresImage());
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy}) << "no red for a lack of data";
    // The smallest balance leaves it out; with nothing read at all: "--".
    state.Setup.SetTrayShowMinimal(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(50.f, 50.f, 2.5f));
    state.IssaArray[1].QueryDateTime = 0;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind);
    state.Setup.Line(2).Monitor = state.Setup.Line(1).Monitor = false;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind) << "no monitored phone";

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

TEST_F(TrayFixture, AnimationWrapsGoesOnWhereItStoppedAndFollowsStopAndPause)
{
    TTrayIcon tray(state);
    tray.animationStart();
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(1)) << "the first frame at once";
    EXPECT_EQ(tray.AniIndex(), 2);
    // Watched until the index falls back: after frame 10 (index 11) comes frame 1.
    int highest = tray.AniIndex();
    ASSERT_TRUE(WaitUntil([&] { return tray.AniIndex() < highest || (highest = tray.AniIndex(), false); }, 5000))
        << "the index never came back to the first frame";
    EXPECT_EQ(highest, 11) << "all ten frames before the wrap";
    EXPECT_EQ(tray.AniIndex(), 2);
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
