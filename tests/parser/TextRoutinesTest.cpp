// The text routines under the parser: reference decoding, tag stripping, the two
// case-insensitive searches and the one-pass marker scanner that stands in for
// ContainsNoCase on every line.

#include "BalanceParser2.h"

#include <gtest/gtest.h>

#include <random>

namespace {
QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}
} // namespace

// ---------------------------------------------------------------- HtmlToStr

TEST(HtmlToStr, DecodesTheSixReferencesInAnyLetterCase)
{
    EXPECT_EQ(HtmlToStr(u"a&nbsp;b&NBSP;c&Nbsp;d"), S(u"a b c d"));
    EXPECT_EQ(HtmlToStr(u"&lt;&gt;&LT;&Gt;"), S(u"<><>"));
    EXPECT_EQ(HtmlToStr(u"x&quote;y"), S(u"x;y"));
    EXPECT_EQ(HtmlToStr(u"&amp;&AMP;"), S(u"&&"));
    EXPECT_EQ(HtmlToStr(u"&quot;&QUOT;"), S(u"\"\""));
}

TEST(HtmlToStr, PassesRunInOrderAndDoNotRescanTheirOwnOutput)
{
    EXPECT_EQ(HtmlToStr(u"&LT;&amp;lt;"), S(u"<&lt;")); // "&lt;" before "&amp;"
    EXPECT_EQ(HtmlToStr(u"&amp;quot;"), S(u"\"")); // "&amp;" before "&quot;"
    EXPECT_EQ(HtmlToStr(u"&amp;nbsp;"), S(u"&nbsp;")); // "&nbsp;" ran first
    EXPECT_EQ(HtmlToStr(u"&amp;amp;"), S(u"&amp;")); // one pass, no rescan
    EXPECT_EQ(HtmlToStr(u"&quote;"), S(u";")); // not "&quot;" + "e;"
}

TEST(HtmlToStr, LeavesEveryOtherReferenceAlone)
{
    for (const char16_t *t :
        {u"&#160;", u"&#x3C;", u"&copy;", u"&laquo;", u"&apos;", u"&nbsp", u"& lt;", u"&", u"'&gt'"})
        EXPECT_EQ(HtmlToStr(t), S(t)) << QString::fromUtf16(t).toStdString();
    EXPECT_EQ(HtmlToStr(u"no reference"), S(u"no reference"));
}

// ---------------------------------------------------------------- RemoveTags

TEST(RemoveTags, StripsTagsDecodesAndTrims)
{
    EXPECT_EQ(RemoveTags(u"<td>12,50 руб.</td>"), S(u"12,50 руб."));
    EXPECT_EQ(RemoveTags(u"<td class=\"val\"><b>245,50</b> у.е.</td>"), S(u"245,50 у.е."));
    EXPECT_EQ(RemoveTags(u"<td>&nbsp;&nbsp;</td>"), QString());
    EXPECT_EQ(RemoveTags(u"  <td>\t x \x01</td>  "), S(u"x"));
}

TEST(RemoveTags, DropsTheTextBeforeTheFirstTag)
{
    EXPECT_EQ(RemoveTags(u"Баланс: 5<b>0</b>"), S(u"0"));
    EXPECT_EQ(RemoveTags(u"x<"), S(u"<"));
    EXPECT_EQ(RemoveTags(u"a > b"), S(u"a > b")); // no "<": nothing is removed
}

TEST(RemoveTags, StopsAtAStrayClosingBracketOrAnUnclosedTag)
{
    EXPECT_EQ(RemoveTags(u"<i>x</i> a > b <b>y</b>"), S(u"x a > b <b>y</b>"));
    EXPECT_EQ(RemoveTags(u"<td>12"), S(u"12"));
    EXPECT_EQ(RemoveTags(u"<td>12</td"), S(u"12</td"));
    EXPECT_EQ(RemoveTags(u"<td title=\"a>b\">5</td>"), S(u"b\">5</td>")); // the first ">" ends the tag
}

TEST(RemoveTags, DecodesAfterStrippingSoDecodedBracketsStay)
{
    EXPECT_EQ(RemoveTags(u"<td>&lt;b&gt;7&lt;/b&gt;</td>"), S(u"<b>7</b>"));
}

TEST(RemoveTags, TrimsOnlyCodesUpToSpace)
{
    EXPECT_EQ(RemoveTags(QStringLiteral("<td>\u00A05\u00A0</td>")), QStringLiteral("\u00A05\u00A0"));
    EXPECT_EQ(RemoveTags(QStringLiteral("<td>") + QChar(0) + u'5' + QChar(0) + QStringLiteral("</td>")), S(u"5"));
    EXPECT_EQ(RemoveTags(u"<td>&nbsp;5&nbsp;</td>"), S(u"5")); // "&nbsp;" is decoded first
}

// ---------------------------------------------------------------- PosNoCase, ContainsNoCase

TEST(PosNoCase, FoldsLatinLettersOnly)
{
    EXPECT_EQ(PosNoCase(u"SMS", u"sms составляет"), 1);
    EXPECT_EQ(PosNoCase(u"abc", u"xABC"), 2);
    EXPECT_EQ(PosNoCase(u"СМС", u"смс"), 0);
    EXPECT_EQ(PosNoCase(u"ё", u"Ё"), 0);
    EXPECT_EQ(PosNoCase(u"смс", u"а смс"), 3);
}

TEST(PosNoCase, EmptyOrAbsentIsZero)
{
    EXPECT_EQ(PosNoCase(u"", u"text"), 0);
    EXPECT_EQ(PosNoCase(u"x", u""), 0);
    EXPECT_EQ(PosNoCase(u"textx", u"text"), 0);
}

TEST(ContainsNoCase, FoldsLatinAndEveryCyrillicLetterOfTheCodePage)
{
    EXPECT_TRUE(ContainsNoCase(u"смс", u"СМС"));
    EXPECT_TRUE(ContainsNoCase(u"АКТУАЛЬНЫЙ БАЛАНС:", u"актуальный баланс"));
    EXPECT_TRUE(ContainsNoCase(u"<IMG src=/img/Account.GIF>", u"/account.gif"));
    // ё і ї є ў ґ ђ џ and their capitals
    EXPECT_TRUE(ContainsNoCase(u"ЁІЇЄЎҐЂЏ", u"ёіїєўґђџ"));
    EXPECT_TRUE(ContainsNoCase(u"ёіїєўґђџ", u"ЁІЇЄЎҐЂЏ"));
}

TEST(ContainsNoCase, KeepsDistinctLettersDistinct)
{
    EXPECT_FALSE(ContainsNoCase(u"счёт", u"счет"));
    EXPECT_FALSE(ContainsNoCase(u"СМС", u"sms"));
    // Letters outside windows-1251 are compared as they are.
    EXPECT_FALSE(ContainsNoCase(u"Ä", u"ä"));
    EXPECT_FALSE(ContainsNoCase(u"Α", u"α"));
    EXPECT_FALSE(ContainsNoCase(u"text", u""));
}

// ---------------------------------------------------------------- the one-pass scanner

namespace {
// The scanner's lines and markers against a plain split and ContainsNoCase.
void expectScanMatchesDefinition(const QString &page)
{
    const std::vector<PageLine> lines = ScanBalancePage(page);
    QString normalised = page;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList expected = normalised.split(u'\n');
    if (!expected.isEmpty() && (page.endsWith(u'\n') || page.endsWith(u'\r')))
        expected.removeLast();
    if (page.isEmpty())
        expected.clear();
    ASSERT_EQ(lines.size(), std::size_t(expected.size())) << page.toStdString();
    const auto markers = BalanceRuleMarkers();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QStringView text = QStringView(page).mid(lines[i].start, lines[i].length);
        ASSERT_EQ(text, expected[qsizetype(i)]);
        for (std::size_t r = 0; r < markers.size(); ++r)
            ASSERT_EQ(bool((lines[i].markers >> r) & 1u), ContainsNoCase(text, markers[r]))
                << "line \"" << text.toString().toStdString() << "\" rule " << r + 1;
    }
}
} // namespace

TEST(MarkerScanner, HasTheTwentySixMarkersInRuleOrder)
{
    const auto markers = BalanceRuleMarkers();
    ASSERT_EQ(markers.size(), 26u);
    EXPECT_EQ(markers[0], u"/account.gif");
    EXPECT_EQ(markers[1], u"Лицевой счет: ");
    EXPECT_EQ(markers[11], u"предоплаты составляет");
    EXPECT_EQ(markers[12], u"рек.опл:");
    EXPECT_EQ(markers[25], u"ожидается менее, чем через ");
}

TEST(MarkerScanner, SplitsLinesAtCrLfAndCrLfPairs)
{
    for (const char16_t *page :
        {u"", u"a", u"a\n", u"\n", u"\n\n", u"a\r\nb", u"a\rb", u"a\n\rb", u"a\r\n\r\nb\r", u"\r\n"})
        expectScanMatchesDefinition(QString::fromUtf16(page));
}

TEST(MarkerScanner, FindsOverlappingAndNestedMarkers)
{
    // One marker is a prefix of others; markers overlap; capitals; markers inside tags.
    expectScanMatchesDefinition(S(u"Остаток разговоров типа составляет 01:20:00 и локальная связь составляет :5:"));
    expectScanMatchesDefinition(S(u"ЗАДОЛЖЕННОСТЬ ВАШЕГО ЛИЦЕВОГО СЧЕТА РАВНА 3 вашего лицевого счета равен 4"));
    expectScanMatchesDefinition(S(u"<img src=\"/img/ACCOUNT.gif\"><img src=person.GIF>абонентов на счету"));
    expectScanMatchesDefinition(S(u"смс составляетsms составляет смс составляет "));
    expectScanMatchesDefinition(S(u"рек.опл:рек.опл: ожидается менее, чем через ожидается менее, чем через"));
}

TEST(MarkerScanner, AgreesWithContainsNoCaseOnRandomLines)
{
    // Lines built from pieces of the markers, their capitals, near-misses and breaks.
    QStringList pieces;
    for (QStringView m : BalanceRuleMarkers()) {
        const QString s = m.toString();
        pieces << s << s.toUpper() << s.left(s.size() / 2) << s.mid(s.size() / 2);
    }
    pieces << QStringLiteral("\n") << QStringLiteral("\r\n") << QStringLiteral("\r") << QStringLiteral("<td>")
           << QStringLiteral(" ") << QStringLiteral("ё") << QStringLiteral("Е") << QString(QChar(0))
           << QString(QChar(0xD800)) << QStringLiteral("Ѐ") << QStringLiteral("ґ");
    std::mt19937 random(20240601);
    std::uniform_int_distribution<qsizetype> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 12);
    for (int round = 0; round < 3000; ++round) {
        QString page;
        for (int n = count(random); n > 0; --n)
            page += pieces[pick(random)];
        expectScanMatchesDefinition(page);
        if (testing::Test::HasFatalFailure())
            return;
    }
}
