#include "Common.h"
#include "Encoding.h"
#include "OleDate.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

TEST(Common, IsTrueTextAcceptsOnlyTheThreeWords)
{
    for (const char *yes : {"TRUE", "true", "Yes", "yes", "1"})
        EXPECT_TRUE(IsTrueText(QLatin1String(yes))) << yes;
    for (const char *no : {"Y", "0", "", "tru", "yes ", "2"})
        EXPECT_FALSE(IsTrueText(QLatin1String(no))) << no;
}

TEST(Common, OleDatesRoundTripAndMatchTheEpoch)
{
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    EXPECT_EQ(ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(6, 0))), 46363.25);
    const QDateTime t(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    EXPECT_EQ(FromOleDate(ToOleDate(t)), t);
    // A value a hair below midnight rounds onto the next day, not to 24:00.
    EXPECT_EQ(FromOleDate(46363.9999999999), QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
}

TEST(Common, Cp1251RoundTripAndCharsetFallback)
{
    const QString text = QStringLiteral("Баланс: 12.50 руб. Ёё №");
    EXPECT_EQ(FromCp1251(ToCp1251(text)), text);
    EXPECT_EQ(ToCp1251(QStringLiteral("Я")), QByteArray("\xDF"));
    EXPECT_EQ(DecodeByCharset("\xC1", "no-such-charset"), QStringLiteral("Б"));
    EXPECT_EQ(DecodeByCharset("\xD0\x91", "UTF-8"), QStringLiteral("Б"));
    EXPECT_EQ(DecodeByCharset("\xC1", " CP1251 "), QStringLiteral("Б"));
    EXPECT_TRUE(IsKnownCharset("Windows-1251"));
    EXPECT_TRUE(IsKnownCharset("utf-8"));
    EXPECT_FALSE(IsKnownCharset("no-such-charset"));
    EXPECT_FALSE(IsKnownCharset(""));
}

// The table against the system's conversion library, byte by byte both ways.
TEST(Common, Cp1251TableAgreesWithTheConversionLibrary)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString decoded = FromCp1251(all);
    EXPECT_EQ(decoded, QStringDecoder("windows-1251", QStringConverter::Flag::Stateless).decode(all));
    bool lossless = false;
    EXPECT_EQ(ToCp1251(decoded, &lossless), all);
    EXPECT_TRUE(lossless);
    QStringEncoder reference("windows-1251", QStringConverter::Flag::Stateless);
    for (char16_t c = 1; c < 0xD800; ++c) {
        const QString one(QChar{c});
        const QByteArray expected = reference.encode(one);
        const bool mapped = expected.size() == 1 && (expected[0] != '\x1A' || c == 0x1A);
        ToCp1251(one, &lossless);
        ASSERT_EQ(lossless, mapped) << int(c);
        if (mapped) {
            ASSERT_EQ(ToCp1251(one), expected) << int(c);
        }
    }
}

TEST(Common, Cp1251MarksWhatItCannotHold)
{
    bool lossless = true;
    // A Chinese character, an emoji (one surrogate pair), a Latin letter with accent.
    EXPECT_EQ(ToCp1251(QString::fromUtf8("a\u4e2d\U0001F600\u00e9z"), &lossless), QByteArray("a???z"));
    EXPECT_FALSE(lossless);
    // A lone surrogate is one mark too, and NUL stays NUL.
    EXPECT_EQ(ToCp1251(QString(QChar(0xD800)) + QChar(u'\0') + QChar(u'Ж'), &lossless), QByteArray("?\0\xC6", 3));
    EXPECT_FALSE(lossless);
    EXPECT_EQ(EncodeByCharset(QStringLiteral("Ж"), "windows-1251", &lossless), QByteArray("\xC6"));
    EXPECT_TRUE(lossless);
    EXPECT_EQ(EncodeByCharset(QStringLiteral("Ж"), "no-such-charset", &lossless), QByteArray("\xD0\x96"));
    EXPECT_EQ(EncodeByCharset(QString::fromUtf8("\u4e2d"), "koi8-r", &lossless).size(), 1);
    EXPECT_FALSE(lossless);
}

TEST(Common, MetaCharsetFindsTheFirstDeclarationNearTheTop)
{
    EXPECT_EQ(MetaCharset("<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">"), "koi8-r");
    EXPECT_EQ(MetaCharset("<meta charset = 'windows-1251'>"), "windows-1251");
    EXPECT_EQ(MetaCharset("<meta\ncharset=\n\"utf-8\">"), "utf-8");
    // A later "charset" of the same tag counts when the first is no declaration.
    EXPECT_EQ(MetaCharset("<meta name=charset content=x charset=utf-8>"), "utf-8");
    // Outside a meta tag, after the tag's end, or too far down: none.
    EXPECT_EQ(MetaCharset("<p>charset=utf-8</p>"), QByteArray());
    EXPECT_EQ(MetaCharset("<meta name=x>charset=utf-8"), QByteArray());
    EXPECT_EQ(MetaCharset(QByteArray(kMetaSniffBytes, ' ') + "<meta charset=utf-8>"), QByteArray());
}

TEST(Common, PageFileBytesKeepEveryCharacter)
{
    const QString cyrillic = QStringLiteral("<body>Баланс: 12,50 руб.</body>");
    EXPECT_EQ(PageFileBytes(cyrillic), ToCp1251(cyrillic));
    const QString wider = QStringLiteral("<body>Баланс € ✓ 😀</body>");
    const QByteArray bytes = PageFileBytes(wider);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(bytes.mid(3)), wider);
}
