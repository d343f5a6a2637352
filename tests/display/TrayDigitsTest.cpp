// The tray digits: texts, squeezing, the tray's sizes, the ink, the choice of
// the balance and the animation frames.
#include "Common.h"
#include "CreateIcon.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "Setup.h"
#include "TestHome.h"
#include "TrayIcon.h"

#include <QPainter>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Navy = 0xFF000080;
constexpr QRgb Red = 0xFFFF0000;

// Strip columns of one character.
std::pair<int, int> glyph(QChar c)
{
    if (c == QLatin1Char('.'))
        return {3, 4};
    if (c == QLatin1Char('-'))
        return {0, 3};
    return {8 + 5 * (c.unicode() - '0'), 5};
}

// The columns of the text laid side by side from the strip, without any squeeze.
std::vector<std::vector<QRgb>> laidColumns(const QImage &strip, const QString &text)
{
    std::vector<std::vector<QRgb>> cols;
    for (QChar c : text) {
        auto [left, width] = glyph(c);
        for (int x = left; x < left + width; ++x) {
            std::vector<QRgb> col;
            for (int y = 0; y < 16; ++y)
                col.push_back(strip.pixel(x, y) | 0xFF000000);
            cols.push_back(col);
        }
    }
    return cols;
}

std::vector<QRgb> column(const QImage &img, int x)
{
    std::vector<QRgb> col;
    for (int y = 0; y < 16; ++y)
        col.push_back(img.pixel(x, y) | 0xFF000000);
    return col;
}

bool columnBlank(const QImage &img, int x)
{
    for (int y = 0; y < 16; ++y)
        if ((img.pixel(x, y) | 0xFF000000) != White)
            return false;
    return true;
}

class TrayFixture : public ::testing::Test {
protected:
    void monitor(int slot, float balance, bool tray = false)
    {
        state.Setup.Line(slot).Monitor = true;
        state.Setup.Line(slot).Number = QStringLiteral("916000000%1").arg(slot);
        if (tray)
            state.Setup.SetTrayShow(slot, true);
        state.IssaArray[slot].Balance = balance;
        state.IssaArray[slot].QueryDateTime = 46000.5;
        state.IssaArray[slot].Success = true;
    }
    TestHome home;
    TProgramState state{InitPaths()};
};

}  // namespace

TEST(TrayDigits, TextsOfTheListedBalances)
{
    struct Case {
        float value;
        const char *text;
    } cases[] = {{2.5f, "2.5"},
                 {3.0f, "3"},
                 {10.f, "10"},
                 {10.4f, "10"},
                 {123.4f, "123"},
                 {999.f, "999"},
                 {1.5f, "1.5"},
                 {0.9995f, "1"},
                 {12.345f, "12"},
                 {10000.f, "---"},
                 {-5.f, "-5"},
                 {-0.5f, "-0.5"},
                 {-12345.f, "---"},
                 {3.4e38f, "---"},
                 {0.04f, "0"},
                 {-9.f, "-9"},
                 {-9.4f, "-9"},
                 {-10.f, "-10"},
                 {1000.f, "1000"},
                 {std::numeric_limits<float>::quiet_NaN(), "---"},
                 {std::numeric_limits<float>::infinity(), "---"},
                 {-std::numeric_limits<float>::infinity(), "---"}};
    for (const Case &c : cases)
        EXPECT_EQ(TrayNumberText(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(TrayDigits, OddWidthIsSqueezedByOneColumnWithoutLosingInk)
{
    // "3": 5 columns onto 8 - 2 .. 8 + 2, four columns.
    const QImage img = DrawNumber16(DigitsBitmap(), 3.0f);
    const auto cols = laidColumns(DigitsBitmap(), QStringLiteral("3"));
    for (int x = 0; x < 16; ++x) {
        if (x < 6 || x > 9) {
            EXPECT_TRUE(columnBlank(img, x)) << x;
        }
    }
    for (int y = 0; y < 16; ++y) {
        bool inkIn = false, inkOut = false;
        for (const auto &c : cols)
            inkIn |= c[static_cast<size_t>(y)] != White;
        for (int x = 6; x <= 9; ++x)
            inkOut |= (img.pixel(x, y) | 0xFF000000) != White;
        EXPECT_EQ(inkIn, inkOut) << "row " << y;
    }
}

TEST(TrayDigits, TooWideTextShowsItsFirstSixteenColumns)
{
    // "-0.5": 3 + 5 + 4 + 5 = 17 columns; columns 0..15 are the first 16.
    const QImage img = DrawNumber16(DigitsBitmap(), -0.5f);
    const auto cols = laidColumns(DigitsBitmap(), QStringLiteral("-0.5"));
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(column(img, x), cols[static_cast<size_t>(x)]) << x;
    // "---": three minus glyphs, 9 columns, squeezed onto 4..11.
    const QImage dashes = DrawNumber16(DigitsBitmap(), 1e7f);
    EXPECT_TRUE(columnBlank(dashes, 3));
    EXPECT_TRUE(columnBlank(dashes, 12));
    EXPECT_FALSE(columnBlank(dashes, 4));
}

namespace {
// A tray image at a tray's size: every pixel of the 16x16 drawing becomes a
// k x k block of the same ink (no blur), centred; every free pixel touching
// the ink is the light outline; nothing else is drawn.
void expectSharpAndOutlined(const QImage &got, const QImage &img16, QRgb ink, const char *how)
{
    const int side = got.width();
    ASSERT_EQ(got.height(), side) << how;
    const int k = side / 16, off = (side - 16 * k) / 2;
    const auto inkAt = [&](int x, int y) {
        const int sx = x - off, sy = y - off;
        return sx >= 0 && sy >= 0 && sx < 16 * k && sy < 16 * k && qAlpha(img16.pixel(sx / k, sy / k)) != 0;
    };
    int inkPixels = 0, outline = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb p = got.pixel(x, y);
            if (inkAt(x, y)) {
                EXPECT_EQ(p, ink) << how << " " << side << ": " << x << "," << y;
                ++inkPixels;
                continue;
            }
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    touches |= inkAt(x + dx, y + dy);
            const bool light = qAlpha(p) >= 200 && qRed(p) >= 240 && qGreen(p) >= 240 && qBlue(p) >= 240;
            if (touches) {
                EXPECT_TRUE(light) << how << " " << side << ": " << x << "," << y << " " << Qt::hex << p;
                ++outline;
            } else {
                EXPECT_TRUE(qAlpha(p) == 0 || light) << how << " " << side << ": " << x << "," << y;
            }
        }
    EXPECT_GT(inkPixels, 10 * k * k) << how << " " << side;
    EXPECT_GT(outline, 0);
}
}  // namespace

TEST(TrayDigits, TrayImagesAreDrawnAtTheTraysSizeWithAnOutline)
{
    for (const auto &[image, ink] :
         {std::pair{NumberImage(2.5f, 2.5f, NoMark), Navy}, std::pair{NumberImage(2.5f, 2.5f, 2.5f), Red}}) {
        const QIcon icon = TrayIconFromImage(image);
        // An embedding tray paints the icon into its cell, at pixel ratio 1 or 2.
        for (const auto &[logical, dpr] : {std::pair{16, 1.0}, std::pair{22, 1.0}, std::pair{24, 1.0},
                                           std::pair{32, 1.0}, std::pair{16, 2.0}, std::pair{24, 2.0}}) {
            const int side = qRound(logical * dpr);
            QImage canvas(side, side, QImage::Format_ARGB32);
            canvas.fill(Qt::transparent);
            canvas.setDevicePixelRatio(dpr);
            QPainter p(&canvas);
            icon.paint(&p, QRect(0, 0, logical, logical));
            p.end();
            expectSharpAndOutlined(canvas, image, ink, "painted");
        }
        // A tray that asks for pixmaps gets them at the sizes it names.
        for (int size : {22, 32, 48})
            expectSharpAndOutlined(icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
                                   image, ink, "pixmap");
    }
}

namespace {
QSet<QRgb> inkColours(const QImage &img)
{
    QSet<QRgb> s;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 0)
                s.insert(img.pixel(x, y));
    return s;
}
}  // namespace

TEST_F(TrayFixture, MarkingOnAndOffDecidesTheInk)
{
    TTrayIcon tray(state);
    state.Setup.General.cbMarkIfBalance = true;
    state.Setup.General.edBalanceLessThen = QStringLiteral("2.5");
    tray.UpdateTrayIcon(2.5f);
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Red});
    tray.UpdateTrayIcon(2.51f);
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy});
    // Thousands are coloured by the balance itself, not by the number shown.
    tray.UpdateTrayIcon(1500.f);
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy});
    state.Setup.General.cbMarkIfBalance = false;
    tray.UpdateTrayIcon(-5.f);
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy});
    // An unreadable threshold text counts as 2.5.
    state.Setup.General.cbMarkIfBalance = true;
    state.Setup.General.edBalanceLessThen = QStringLiteral("abc");
    tray.UpdateTrayIcon(2.5f);
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Red});
}

TEST_F(TrayFixture, ThousandsAndNoValue)
{
    TTrayIcon tray(state);
    state.Setup.General.cbMarkIfBalance = false;
    tray.UpdateTrayIcon(1500.f);
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NumberImageKind);
    EXPECT_EQ(tray.CurrentImage(), NumberImage(1.5f, 1.5f, NoMark));
    tray.UpdateTrayIcon(999.5f);
    EXPECT_EQ(tray.CurrentImage(), NumberImage(1.f, 1.f, NoMark));
    tray.UpdateTrayIcon(12345.f);
    EXPECT_EQ(tray.CurrentImage(), NumberImage(12.f, 12.f, NoMark));
    tray.UpdateTrayIcon(static_cast<float>(NoValue));
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);
}

TEST_F(TrayFixture, ChoiceOfTheBalanceShown)
{
    state.Setup.General.cbMarkIfBalance = false;
    TTrayIcon tray(state);
    monitor(1, 50.f);
    monitor(2, 7.f, /*tray=*/true);
    monitor(3, 1.f);
    state.IssaArray[4].Balance = -100.f;  // not monitored
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(7.f, 7.f, NoMark)) << "the tray phone wins over a smaller balance";

    state.Setup.SetTrayShowMinimal(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(1.f, 1.f, NoMark)) << "phone 4 is not monitored";

    state.Setup.SetTrayNotShow(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);
}

TEST_F(TrayFixture, APhoneWithoutFiguresIsNeverANumber)
{
    constexpr QRgb Grey = 0xFF808080, PaleRed = 0xFFFA6E6E;
    state.Setup.General.cbMarkIfBalance = true;
    state.Setup.General.edBalanceLessThen = QStringLiteral("2.5");
    TTrayIcon tray(state);
    // The tray phone has never been read (its password is wrong).
    monitor(1, 0.f, /*tray=*/true);
    state.IssaArray[1].QueryDateTime = 0;
    state.IssaArray[1].Success = false;
    state.IssaArray[1].State = dsError;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind);
    EXPECT_EQ(tray.CurrentImage(), NoFiguresImage());
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Navy}) << "no red for a lack of data";
    EXPECT_NE(NoFiguresImage(), NumberImage(0.f, 0.f, NoMark));

    // The smallest balance leaves it out; with nothing read at all: "--".
    monitor(2, 40.f);
    state.Setup.SetTrayShowMinimal(true);
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(40.f, 40.f, 2.5f));
    state.IssaArray[2].QueryDateTime = 0;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind);
    state.Setup.Line(2).Monitor = false;
    state.Setup.Line(1).Monitor = false;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::NoFiguresKind) << "no monitored phone";

    // A failed request keeps the last good balance, greyed; pale red when low.
    state.Setup.Line(2).Monitor = true;
    state.IssaArray[2].QueryDateTime = 46000.5;
    state.IssaArray[2].Success = false;
    state.IssaArray[2].State = dsError;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(tray.CurrentImage(), NumberImage(40.f, 40.f, 2.5f, /*stale=*/true));
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{Grey});
    state.IssaArray[2].Balance = 1.f;
    tray.ChangeTrayPhoneInfo();
    EXPECT_EQ(inkColours(tray.CurrentImage()), QSet<QRgb>{PaleRed});
}

TEST_F(TrayFixture, AnimationGoesOnFromTheFrameWhereItStopped)
{
    TTrayIcon tray(state);
    tray.animationStart();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::FrameImage);
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(1)) << "the first frame at once";
    EXPECT_EQ(tray.AniIndex(), 2);
    QTest::qWait(250);
    const int reached = tray.AniIndex();
    EXPECT_GE(reached, 3);
    tray.animationStop();
    tray.plainTrayIcon();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage);
    QTest::qWait(150);
    EXPECT_EQ(tray.AniIndex(), reached) << "no frames while stopped";
    tray.animationStart();
    EXPECT_EQ(tray.CurrentImage(), AniIconImage(reached > 10 ? 1 : reached));
    tray.animationStop();
}

TEST_F(TrayFixture, AnimationWrapsAndRespectsTheStopFlagAndPause)
{
    TTrayIcon tray(state);
    tray.animationStart();
    // Watched until the index falls back: after frame 10 (index 11) comes frame 1.
    int last = tray.AniIndex(), highest = last, afterWrap = 0;
    QImage wrappedImage;
    const bool wrapped = QTest::qWaitFor(
        [&] {
            const int now = tray.AniIndex();
            if (now < last) {
                afterWrap = now;
                wrappedImage = tray.CurrentImage();
                return true;
            }
            highest = std::max(highest, now);
            last = now;
            return false;
        },
        5000);
    tray.animationStop();
    ASSERT_TRUE(wrapped) << "the index never came back to the first frame";
    EXPECT_EQ(highest, 11) << "all ten frames before the wrap";
    EXPECT_EQ(afterWrap, 2);
    EXPECT_EQ(wrappedImage, AniIconImage(1));
    EXPECT_GE(tray.AniIndex(), 1);
    EXPECT_LE(tray.AniIndex(), 11);

    tray.ShowPlainIcon();
    bool stopped = true;
    tray.SetStoppedQuery([&] { return stopped; });
    tray.animationStart();
    EXPECT_EQ(tray.CurrentKind(), TTrayIcon::PlainImage) << "a stopped run shows no frames";
    tray.animationStop();
    stopped = false;

    tray.Pause();
    tray.animationStart();
    EXPECT_FALSE(tray.AnimationRunning());
    tray.Resume();
    EXPECT_TRUE(tray.AnimationRunning()) << "the engine started while paused";
    tray.Pause();
    tray.animationStop();
    tray.Resume();
    EXPECT_FALSE(tray.AnimationRunning()) << "the engine stopped while paused";
}
