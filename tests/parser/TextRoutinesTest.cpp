// The text routines under the parser: reference decoding, tag stripping, the
// case-insensitive searches, the one-pass marker scanner, and the value readers
// that cut between two markers and convert to the record's float and integer
// (their cases in tests/data/parser/routines.jsonl).

#include "ParserTestUtil.h"

#include <cmath>
#include <random>

TEST(TextRoutines, EachCaseGivesItsResult)
{
    const auto td = [](const QString &text) { return u"<td>%1</td>"_s.arg(text); };
    for (const QStringList &c : DataCases(u"parser/routines.jsonl"_s)) {
        SCOPED_TRACE(c.join(u'|').toStdString());
        const QString &routine = c[0], &in = c.value(1), &want = c.value(2);
        if (routine == "HtmlToStr"_L1)
            EXPECT_EQ(HtmlToStr(in), want);
        else if (routine == "RemoveTags"_L1)
            EXPECT_EQ(RemoveTags(in), want);
        else if (routine == "Single"_L1)
            EXPECT_EQ(GetSingleParam(td(in), {}, u" ", 7.0f), want.toFloat());
        else if (routine == "Integer"_L1)
            EXPECT_EQ(GetIntegerParam(td(in), {}, u" ", 3), want.toInt());
        else if (routine == "Cut"_L1)
            EXPECT_EQ(GetStringParam(in, want, c.value(3), u"DEFAULT"_s), c.value(4));
        else if (routine == "PosNoCase"_L1)
            EXPECT_EQ(PosNoCase(in, want), c.value(3).toInt());
        else if (routine == "ContainsNoCase"_L1)
            EXPECT_EQ(ContainsNoCase(in, want), c.value(3) == "true"_L1);
        else
            ADD_FAILURE() << "no such routine";
    }
    EXPECT_TRUE(std::signbit(GetSingleParam(u"<td>-1e-50</td>", {}, u" ", 7.0f)));
    EXPECT_EQ(GetIntegerParam(u"<td>a: 5</td>", u"a:", {}, 0), 5);
    EXPECT_EQ(GetIntegerParam(u"<td>x5 y</td>", u"x", u"y", 3), 3);  // a trailing blank is not allowed
}

// The scanner's lines and markers against a plain split and ContainsNoCase, on
// lines built from pieces of the markers, their capitals, near-misses and breaks.
TEST(TextRoutines, MarkerScannerAgreesWithContainsNoCaseOnRandomPages)
{
    const auto markers = BalanceRuleMarkers();
    QStringList pieces{u"\n"_s, u"\r\n"_s, u"\r"_s, u"<td>"_s, u"ё"_s, QString(QChar(0)), QString(QChar(0xD800)),
                       u"ґ"_s};
    for (QStringView m : markers)
        pieces << m.toString() << m.toString().toUpper() << m.left(m.size() / 2).toString()
               << m.mid(m.size() / 2).toString();
    std::mt19937 random(20240601);
    std::uniform_int_distribution<qsizetype> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 12);
    for (int round = 0; round < 3000; ++round) {
        QString page;
        for (int n = count(random); n > 0; --n)
            page += pieces[pick(random)];
        QStringList expected = QString(page).replace("\r\n"_L1, "\n"_L1).replace(u'\r', u'\n').split(u'\n');
        if (page.isEmpty() || page.endsWith(u'\n') || page.endsWith(u'\r'))
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
