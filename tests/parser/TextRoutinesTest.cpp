// The text routines under the parser: reference decoding, tag stripping, the
// case-insensitive searches, the one-pass marker scanner, and the value readers
// that cut between two markers and convert to the record's float and integer.

#include "BalanceParser2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {
QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}
}  // namespace

TEST(TextRoutines, HtmlToStrAndRemoveTags)
{
    const std::pair<const char16_t *, const char16_t *> decoded[]
        = {{u"a&nbsp;b&NBSP;c&Nbsp;d", u"a b c d"},
           {u"&lt;&gt;&LT;&Gt;", u"<><>"},
           {u"x&quote;y", u"x;y"},
           {u"&amp;&AMP;", u"&&"},
           {u"&quot;&QUOT;", u"\"\""},
           // passes run in order and never rescan their own output
           {u"&LT;&amp;lt;", u"<&lt;"},
           {u"&amp;quot;", u"\""},
           {u"&amp;nbsp;", u"&nbsp;"},
           {u"&amp;amp;", u"&amp;"},
           // every other reference stays
           {u"&#160;&#x3C;&copy;&apos;&nbsp & lt;'&gt'", u"&#160;&#x3C;&copy;&apos;&nbsp & lt;'&gt'"}};
    for (const auto &[in, out] : decoded)
        EXPECT_EQ(HtmlToStr(in), S(out)) << S(in).toStdString();

    const std::pair<const char16_t *, const char16_t *> stripped[]
        = {{u"<td class=\"val\"><b>245,50</b> у.е.</td>", u"245,50 у.е."},
           {u"<td>&nbsp;&nbsp;</td>", u""},
           {u"  <td>\t x \x01</td>  ", u"x"},
           {u"Баланс: 5<b>0</b>", u"0"},
           {u"x<", u"<"},
           {u"a > b", u"a > b"},
           {u"<i>x</i> a > b <b>y</b>", u"x a > b <b>y</b>"},
           {u"<td>12</td", u"12</td"},
           {u"<td title=\"a>b\">5</td>", u"b\">5</td>"},
           {u"<td>&lt;b&gt;7&lt;/b&gt;</td>", u"<b>7</b>"},
           {u"<td>\u00A05\u00A0</td>", u"\u00A05\u00A0"},
           {u"<td>&nbsp;5&nbsp;</td>", u"5"}};
    for (const auto &[in, out] : stripped)
        EXPECT_EQ(RemoveTags(in), S(out)) << S(in).toStdString();
}

TEST(TextRoutines, CaseInsensitiveSearches)
{
    EXPECT_EQ(PosNoCase(u"abc", u"xABC"), 2);
    EXPECT_EQ(PosNoCase(u"СМС", u"смс"), 0);  // Latin letters only
    EXPECT_EQ(PosNoCase(u"", u"text"), 0);
    EXPECT_TRUE(ContainsNoCase(u"<IMG src=/img/Account.GIF>", u"/account.gif"));
    EXPECT_TRUE(ContainsNoCase(u"ЁІЇЄЎҐЂЏ", u"ёіїєўґђџ"));  // every Cyrillic letter of the code page
    EXPECT_FALSE(ContainsNoCase(u"счёт", u"счет"));
    EXPECT_FALSE(ContainsNoCase(u"Ä", u"ä"));  // outside windows-1251: as they are
    EXPECT_FALSE(ContainsNoCase(u"text", u""));
}

// The scanner's lines and markers against a plain split and ContainsNoCase, on
// lines built from pieces of the markers, their capitals, near-misses and breaks.
TEST(TextRoutines, MarkerScannerAgreesWithContainsNoCaseOnRandomPages)
{
    QStringList pieces;
    for (QStringView m : BalanceRuleMarkers()) {
        const QString s = m.toString();
        pieces << s << s.toUpper() << s.left(s.size() / 2) << s.mid(s.size() / 2);
    }
    pieces << QStringLiteral("\n") << QStringLiteral("\r\n") << QStringLiteral("\r") << QStringLiteral("<td>")
           << QStringLiteral("ё") << QString(QChar(0)) << QString(QChar(0xD800)) << QStringLiteral("ґ");
    std::mt19937 random(20240601);
    std::uniform_int_distribution<qsizetype> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 12);
    const auto markers = BalanceRuleMarkers();
    for (int round = 0; round < 3000; ++round) {
        QString page;
        for (int n = count(random); n > 0; --n)
            page += pieces[pick(random)];
        QString normalised = page;
        normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        QStringList expected = normalised.split(u'\n');
        if (page.isEmpty())
            expected.clear();
        else if (page.endsWith(u'\n') || page.endsWith(u'\r'))
            expected.removeLast();
        const std::vector<PageLine> lines = ScanBalancePage(page);
        ASSERT_EQ(lines.size(), std::size_t(expected.size())) << page.toStdString();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const QStringView text = QStringView(page).mid(lines[i].start, lines[i].length);
            ASSERT_EQ(text, expected[qsizetype(i)]);
            for (std::size_t r = 0; r < markers.size(); ++r)
                ASSERT_EQ(bool((lines[i].markers >> r) & 1u), ContainsNoCase(text, markers[r]))
                    << text.toString().toStdString() << " rule " << r + 1;
        }
    }
}

// The text between two markers (an absent start marker still drops its
// length; Latin markers ignore case), or the default.
TEST(ValueReaders, StringCut)
{
    const struct {
        const char16_t *line, *start, *end, *want;
    } cuts[] = {{u"<td> Петров Пётр </td>", u"", u"", u"Петров Пётр"},
                {u"<td></td>", u"", u"", u"DEFAULT"},
                {u"<td>Остаток смс составляет 25 шт.</td>", u"смс составляет ", u" ", u"25"},
                {u"<td>Итого: 150</td>", u"Итого: ", u" ", u"150"},  // no end: the rest
                {u"<td>a 1 b 2 b</td>", u"a ", u" b", u"1"},
                {u"<td>x:  y</td>", u"x:", u"", u"  y"},
                {u"<td>Итого Рек.опл: 5</td>", u"рек.опл: ", u" ", u".опл:"},
                {u"<td>ab</td>", u"xyz", u"", u"DEFAULT"},
                {u"<td>Остаток SMS составляет 35 шт.</td>", u"sms составляет ", u" ", u"35"},
                {u"<td>рек.опл:  150</td>", u"рек.опл: ", u" ", u"DEFAULT"}};
    for (const auto &c : cuts)
        EXPECT_EQ(GetStringParam(c.line, c.start, c.end, QStringLiteral("DEFAULT")), S(c.want))
            << S(c.line).toStdString();
}

TEST(ValueReaders, NumbersOrTheDefault)
{
    const auto single = [](const char16_t *text) {
        return GetSingleParam(QStringLiteral("<td>%1</td>").arg(S(text)), {}, u" ", 7.0f);
    };
    const std::pair<const char16_t *, float> floats[] = {{u"12,5 у.е.", 12.5f},
                                                         {u" 12,5", 12.5f},
                                                         {u"<b>245,50</b> у.е.", 245.5f},
                                                         {u"-3.5", -3.5f},
                                                         {u"+2", 2.0f},
                                                         {u".5", 0.5f},
                                                         {u"5.", 5.0f},
                                                         {u"1,5E-2", 0.015f},
                                                         {u"007,50", 7.5f},
                                                         {u"1 234,50 руб.", 1.0f},
                                                         {u"16777217", 16777216.0f},
                                                         {u"3.4e38", 3.4e38f},
                                                         {u"1e-50", 0.0f}};
    for (const auto &[text, want] : floats)
        EXPECT_EQ(single(text), want) << S(text).toStdString();
    // Anything else, and numbers beyond the float range, give the default.
    for (const char16_t *text : {u"нет данных", u"12,5руб", u"1,234.5", u"-", u"e5", u"1e+", u"0x10", u"5\tу.е.", u"٣",
                                 u"５", u"inf", u"nan", u"--1", u"", u"1e39", u"-1e99999"})
        EXPECT_EQ(single(text), 7.0f) << S(text).toStdString();
    EXPECT_TRUE(std::signbit(single(u"-1e-50")));

    const auto integer
        = [](const char16_t *text) { return GetIntegerParam(QStringLiteral("<td>%1</td>").arg(S(text)), {}, u" ", 3); };
    const std::pair<const char16_t *, std::int32_t> ints[] = {{u"45 минут", 45},
                                                              {u"-7", -7},
                                                              {u"+7", 7},
                                                              {u"007", 7},
                                                              {u"2147483647", 2147483647},
                                                              {u"-2147483648", -2147483647 - 1}};
    for (const auto &[text, want] : ints)
        EXPECT_EQ(integer(text), want) << S(text).toStdString();
    for (const char16_t *text :
         {u"2147483648", u"99999999999999999999999", u"00:45:00", u"3.5", u"$1F", u"0x1F", u"1e3", u"+", u"", u"12шт"})
        EXPECT_EQ(integer(text), 3) << S(text).toStdString();
    EXPECT_EQ(GetIntegerParam(u"<td>a: 5</td>", u"a:", {}, 0), 5);
    EXPECT_EQ(GetIntegerParam(u"<td>x5 y</td>", u"x", u"y", 3), 3);  // a trailing blank is not allowed
}
