// The text routines under the parser: reference decoding, tag stripping, the
// case-insensitive searches, the one-pass marker scanner, and the value readers
// that cut between two markers and convert to the record's float and integer
// (their cases in tests/data/parser/routines.jsonl).

#include "ParserTestUtil.h"

#include <cmath>
#include <random>

TEST(TextRoutines, EachCaseGivesItsResult)
{
    const auto td = [](const QString &text) { return QStringLiteral("<td>%1</td>").arg(text); };
    for (const QStringList &c : DataCases("routines.jsonl")) {
        SCOPED_TRACE(c.join(u'|').toStdString());
        const QString &routine = c[0], &in = c.value(1), &want = c.value(2);
        if (routine == QLatin1String("HtmlToStr"))
            EXPECT_EQ(HtmlToStr(in), want);
        else if (routine == QLatin1String("RemoveTags"))
            EXPECT_EQ(RemoveTags(in), want);
        else if (routine == QLatin1String("Single"))
            EXPECT_EQ(GetSingleParam(td(in), {}, u" ", 7.0f), want.toFloat());
        else if (routine == QLatin1String("Integer"))
            EXPECT_EQ(GetIntegerParam(td(in), {}, u" ", 3), want.toInt());
        else if (routine == QLatin1String("Cut"))
            EXPECT_EQ(GetStringParam(in, want, c.value(3), QStringLiteral("DEFAULT")), c.value(4));
        else
            ADD_FAILURE() << "no such routine";
    }
    EXPECT_TRUE(std::signbit(GetSingleParam(u"<td>-1e-50</td>", {}, u" ", 7.0f)));
    EXPECT_EQ(GetIntegerParam(u"<td>a: 5</td>", u"a:", {}, 0), 5);
    EXPECT_EQ(GetIntegerParam(u"<td>x5 y</td>", u"x", u"y", 3), 3);  // a trailing blank is not allowed
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
