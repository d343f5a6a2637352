// Dates as stored, and the single-byte code page of the pages, the log and
// the settings.
#include "Common.h"
#include "Encoding.h"
#include "OleDate.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

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

// The table against the system's conversion library, byte by byte both ways;
// what it cannot hold becomes one "?" each.
TEST(Common, Cp1251AgreesWithTheConversionLibraryAndMarksWhatItCannotHold)
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
        ASSERT_EQ(ToCp1251(one, &lossless), mapped ? expected : QByteArray("?")) << int(c);
        ASSERT_EQ(lossless, mapped) << int(c);
    }
    // A Chinese character, an emoji (one surrogate pair), a Latin letter with accent,
    // a lone surrogate; NUL stays NUL.
    EXPECT_EQ(ToCp1251(QString::fromUtf8("a\u4e2d\U0001F600\u00e9z") + QChar(0xD800) + QChar(u'\0'), &lossless),
              QByteArray("a???z?\0", 7));
    EXPECT_FALSE(lossless);
}

TEST(Common, CharsetsByNameWithFallback)
{
    EXPECT_EQ(DecodeByCharset("\xC1", "no-such-charset"), "Б");
    EXPECT_EQ(DecodeByCharset("\xD0\x91", "UTF-8"), "Б");
    EXPECT_EQ(DecodeByCharset("\xC1", " CP1251 "), "Б");
    EXPECT_TRUE(IsKnownCharset("Windows-1251") && IsKnownCharset("utf-8"));
    EXPECT_FALSE(IsKnownCharset("no-such-charset") || IsKnownCharset(""));
    bool lossless = false;
    EXPECT_EQ(EncodeByCharset("Ж", "windows-1251", &lossless), QByteArray("\xC6"));
    EXPECT_TRUE(lossless);
    EXPECT_EQ(EncodeByCharset("Ж", "no-such-charset", &lossless), QByteArray("\xD0\x96"));
    EXPECT_EQ(EncodeByCharset(QString::fromUtf8("\u4e2d"), "koi8-r", &lossless).size(), 1);
    EXPECT_FALSE(lossless);
    // A page that the code page cannot hold is saved as UTF-8 with its mark.
    const QString cyrillic = "<body>Баланс: 12,50 руб.</body>", wider = "<body>Баланс € ✓ 😀</body>";
    EXPECT_EQ(PageFileBytes(cyrillic), ToCp1251(cyrillic));
    EXPECT_EQ(PageFileBytes(wider), "\xEF\xBB\xBF" + wider.toUtf8());
}

TEST(Common, MetaCharsetFindsTheFirstDeclarationNearTheTop)
{
    const std::pair<QByteArray, QByteArray> cases[]
        = {{"<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">", "koi8-r"},
           {"<meta charset = 'windows-1251'>", "windows-1251"},
           {"<meta\ncharset=\n\"utf-8\">", "utf-8"},
           // A later "charset" of the same tag counts when the first is no declaration.
           {"<meta name=charset content=x charset=utf-8>", "utf-8"},
           // Outside a meta tag, after the tag's end, or too far down: none.
           {"<p>charset=utf-8</p>", ""},
           {"<meta name=x>charset=utf-8", ""},
           {QByteArray(kMetaSniffBytes, ' ') + "<meta charset=utf-8>", ""}};
    for (const auto &[page, charset] : cases)
        EXPECT_EQ(MetaCharset(page), charset) << page.left(80).toStdString();
}
