// Reading saved pages: the encoding, the viewer's address line, the body; and the
// "Field: value" lines of the figures.

#include "SavedPage.h"
#include "Encoding.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {
const QString kCyrillic = QStringLiteral("Актуальный баланс: ёЁ");

QByteArray encode(const char *encoding, const QString &text)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}
} // namespace

TEST(DecodePageBytes, ByteOrderMarksComeFirst)
{
    QByteArray encoding;
    EXPECT_EQ(DecodePageBytes("\xEF\xBB\xBF" + kCyrillic.toUtf8(), &encoding), kCyrillic);
    EXPECT_EQ(encoding, "UTF-8");
    EXPECT_EQ(DecodePageBytes("\xFF\xFE" + encode("UTF-16LE", kCyrillic), &encoding), kCyrillic);
    EXPECT_EQ(encoding, "UTF-16LE");
    EXPECT_EQ(DecodePageBytes("\xFE\xFF" + encode("UTF-16BE", kCyrillic), &encoding), kCyrillic);
    // A mark wins over a meta tag that says otherwise.
    const QString page = QStringLiteral("<meta charset=windows-1251>") + kCyrillic;
    EXPECT_EQ(DecodePageBytes("\xEF\xBB\xBF" + page.toUtf8()), page);
}

TEST(DecodePageBytes, ThenTheMetaCharset)
{
    QByteArray encoding;
    const QString http
        = QStringLiteral("<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">") + kCyrillic;
    EXPECT_EQ(DecodePageBytes(encode("KOI8-R", http), &encoding), http);
    EXPECT_EQ(encoding, "koi8-r");
    const QString html5 = QStringLiteral("<meta charset='windows-1251'>") + kCyrillic;
    EXPECT_EQ(DecodePageBytes(ToCp1251(html5), &encoding), html5);
    EXPECT_EQ(encoding, "windows-1251");
    // Even bytes that are valid UTF-8 follow the declaration.
    const QByteArray bytes = QByteArray("<meta charset=windows-1251>") + "\xD0\xB0";
    EXPECT_EQ(DecodePageBytes(bytes), QStringLiteral("<meta charset=windows-1251>Р°"));
}

TEST(DecodePageBytes, ThenValidUtf8ElseWindows1251)
{
    QByteArray encoding;
    EXPECT_EQ(DecodePageBytes(kCyrillic.toUtf8(), &encoding), kCyrillic);
    EXPECT_EQ(encoding, "UTF-8");
    EXPECT_EQ(DecodePageBytes(ToCp1251(kCyrillic), &encoding), kCyrillic);
    EXPECT_EQ(encoding, "windows-1251");
    // An unknown charset name is passed over.
    const QString unknown = QStringLiteral("<meta charset=x-no-such-code>") + kCyrillic;
    EXPECT_EQ(DecodePageBytes(ToCp1251(unknown), &encoding), unknown);
    EXPECT_EQ(encoding, "windows-1251");
    // A meta tag far down the page is not looked for.
    const QString late = QString(9000, u' ') + QStringLiteral("<meta charset=koi8-r>") + kCyrillic;
    EXPECT_EQ(DecodePageBytes(late.toUtf8(), &encoding), late);
    EXPECT_EQ(encoding, "UTF-8");
}

TEST(ReadSavedPage, TakesTheViewersAddressLine)
{
    const SavedPage page = ReadSavedPage("<!-- https://issa/is_account?sid=1 -->\r\n\r\n<body>\n<td>x</td>\n</body>");
    EXPECT_EQ(page.url, QStringLiteral("https://issa/is_account?sid=1"));
    EXPECT_EQ(page.html, QStringLiteral("<body>\n<td>x</td>\n</body>"));
    const SavedPage lf = ReadSavedPage("<!-- u -->\n\n<td>x</td>\n<td>y</td>");
    EXPECT_EQ(lf.url, QStringLiteral("u"));
    EXPECT_EQ(lf.html, QStringLiteral("<td>x</td>\n<td>y</td>"));
}

TEST(ReadSavedPage, LeavesOtherCommentsInThePage)
{
    const SavedPage page = ReadSavedPage("<!-- a comment\nacross lines -->\n<td>x</td>");
    EXPECT_TRUE(page.url.isEmpty());
    EXPECT_EQ(page.html, QStringLiteral("<!-- a comment\nacross lines -->\n<td>x</td>"));
}

TEST(ReadSavedPage, GivesTheBodyElementOfAWholePage)
{
    EXPECT_EQ(
        ReadSavedPage("<html><head><title>Абонент</title></head>\n<BODY bgColor=#fff>\n<td>x</td>\n</BODY>\n</html>\n")
            .html,
        QStringLiteral("<BODY bgColor=#fff>\n<td>x</td>\n</BODY>"));
    EXPECT_EQ(ReadSavedPage("<head></head><body>\n<td>x</td>\n").html, QStringLiteral("<body>\n<td>x</td>\n"));
    EXPECT_EQ(ReadSavedPage("<bodyguard>\n<td>x</td>").html, QStringLiteral("<bodyguard>\n<td>x</td>"));
}

TEST(FigureLines, PrintsEveryFigureInItsShortestForm)
{
    TIssa r;
    r.LicSchet = QStringLiteral("1234567890");
    r.Balance = 12.34f;
    r.ObPlat = -0.0f;
    r.Average = 0.1f;
    r.Recomend = 1e20f;
    r.USDRate = -7.25f;
    r.SMS = -3;
    r.Minutes = 80;
    const QStringList expected = {
        QStringLiteral("LicSchet: 1234567890"),
        QStringLiteral("UserName:"),
        QStringLiteral("PhoneNumber:"),
        QStringLiteral("Balance: 12.34"),
        QStringLiteral("ObPlat: 0"),
        QStringLiteral("Average: 0.1"),
        QStringLiteral("TurnOff: 0"),
        QStringLiteral("Recomend: 1e+20"),
        QStringLiteral("SMS: -3"),
        QStringLiteral("Minutes: 80"),
        QStringLiteral("JeansExpired: 0"),
        QStringLiteral("USDRate: -7.25"),
    };
    EXPECT_EQ(FigureLines(r), expected);
}
