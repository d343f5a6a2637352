// Reading saved pages: the encoding (byte order mark, then the meta charset,
// then valid UTF-8, else windows-1251), the viewer's address line, the body.

#include "SavedPage.h"
#include "Encoding.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

TEST(DecodePageBytes, MarkThenMetaThenUtf8ElseWindows1251)
{
    const QString text = QStringLiteral("Актуальный баланс: ёЁ");
    const auto encode = [](const char *encoding, const QString &t) {
        QStringEncoder encoder(encoding);
        return QByteArray(encoder.encode(t));
    };
    const QString koi8 = QStringLiteral("<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">") + text;
    const QString cp1251 = QStringLiteral("<meta charset='windows-1251'>") + text;
    const QString unknown = QStringLiteral("<meta charset=x-no-such-code>") + text;
    const QString late = QString(9000, u' ') + QStringLiteral("<meta charset=koi8-r>") + text;
    const struct {
        QByteArray bytes;
        QString text;
        QByteArray encoding;
    } cases[] = {
        {"\xEF\xBB\xBF" + cp1251.toUtf8(), cp1251, "UTF-8"},  // a mark wins over the meta tag
        {"\xFF\xFE" + encode("UTF-16LE", text), text, "UTF-16LE"},
        {"\xFE\xFF" + encode("UTF-16BE", text), text, "UTF-16BE"},
        {encode("KOI8-R", koi8), koi8, "koi8-r"},
        {ToCp1251(cp1251), cp1251, "windows-1251"},
        {QByteArray("<meta charset=windows-1251>\xD0\xB0"), QStringLiteral("<meta charset=windows-1251>Р°"),
         "windows-1251"},
        {text.toUtf8(), text, "UTF-8"},
        {ToCp1251(text), text, "windows-1251"},
        {ToCp1251(unknown), unknown, "windows-1251"},
        {late.toUtf8(), late, "UTF-8"},  // a meta tag far down is not looked for
    };
    for (const auto &c : cases) {
        QByteArray encoding;
        EXPECT_EQ(DecodePageBytes(c.bytes, &encoding), c.text) << c.text.left(60).toStdString();
        EXPECT_EQ(encoding, c.encoding) << c.text.left(60).toStdString();
    }
}

TEST(ReadSavedPage, AddressLineOtherCommentsAndTheBody)
{
    const SavedPage page = ReadSavedPage("<!-- https://issa/is_account?sid=1 -->\r\n\r\n<body>\n<td>x</td>\n</body>");
    EXPECT_EQ(page.url, QStringLiteral("https://issa/is_account?sid=1"));
    EXPECT_EQ(page.html, QStringLiteral("<body>\n<td>x</td>\n</body>"));
    const SavedPage comment = ReadSavedPage("<!-- a comment\nacross lines -->\n<td>x</td>");
    EXPECT_TRUE(comment.url.isEmpty());
    EXPECT_EQ(comment.html, QStringLiteral("<!-- a comment\nacross lines -->\n<td>x</td>"));
    EXPECT_EQ(
        ReadSavedPage("<html><head><title>А</title></head>\n<BODY bgColor=#fff>\n<td>x</td>\n</BODY>\n</html>\n").html,
        QStringLiteral("<BODY bgColor=#fff>\n<td>x</td>\n</BODY>"));
    EXPECT_EQ(ReadSavedPage("<head></head><body>\n<td>x</td>\n").html, QStringLiteral("<body>\n<td>x</td>\n"));
    EXPECT_EQ(ReadSavedPage("<bodyguard>\n<td>x</td>").html, QStringLiteral("<bodyguard>\n<td>x</td>"));
}
