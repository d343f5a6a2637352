// ParseBalans: the preparation and line walk, every rule family, the order in
// which conditions are read and the index error at the end of the page, on
// the pages of tests/data/parser/rules.jsonl; what a record keeps.

#include "ParserTestUtil.h"

#include <cmath>

TEST(ParseBalansRules, EachPageGivesItsFiguresAndTheRecordKeepsOnlyItsPages)
{
    for (const QStringList &c : DataCases(u"parser/rules.jsonl"_s)) {
        SCOPED_TRACE(c[0].toStdString());
        const QStringList lines = ReadLines(c[0]);
        for (const QString &figure : c.mid(1))
            EXPECT_TRUE(lines.contains(figure))
                << "want " << figure.toStdString() << "\ngot " << lines.join(u'|').toStdString();
        EXPECT_TRUE(c.last().startsWith("Error: "_L1) || !lines.last().startsWith("Error: "_L1));
    }
    // A debt of 0 is -0.
    EXPECT_TRUE(std::signbit(Parse(u"<p>задолженность вашего лицевого счета равна 0</p>\n</body>"_s).Balance));

    TIssa r;
    r.PhoneID = 4;
    r.Alias = r.LicSchet = r.UserName = r.PhoneNumber = r.ErrorMsg = u"old"_s;
    r.Balance = r.Average = r.Recomend = r.ObPlat = r.USDRate = r.BalDelta = 3;
    r.TurnOff = r.SMS = r.Minutes = r.JeansExpired = 3;
    r.QueryDateTime = 45000;
    r.Success = true;
    r.State = dsError;
    r.LoadedPages = {u"p1"_s, u"p2"_s};
    ParseBalans(u"<td>Актуальный баланс:</td>\n<td>5</td>", r);
    EXPECT_EQ(FigureLines(r), FigureLines(Parse(u"<td>Актуальный баланс:</td>\n<td>5</td>"_s)));
    EXPECT_TRUE(r.Balance == 5.0f && r.BalDelta == 0.0f && r.PhoneID == 0 && r.Alias.isEmpty() && r.ErrorMsg.isEmpty()
                && r.QueryDateTime == 0.0 && !r.Success && r.State == dsNone);
    EXPECT_EQ(r.LoadedPages.size(), 2);
}
