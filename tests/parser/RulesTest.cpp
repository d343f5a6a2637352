// ParseBalans: the preparation and line walk, every rule family, the order in
// which conditions are read and the index error at the end of the page, on
// the pages of tests/data/parser/rules.jsonl.

#include "ParserTestUtil.h"

#include <cmath>

TEST(ParseBalansRules, EachPageGivesItsFigures)
{
    for (const QStringList &c : DataCases("rules.jsonl")) {
        SCOPED_TRACE(c[0].toStdString());
        const QStringList lines = ReadLines(c[0]);
        for (const QString &figure : c.mid(1))
            EXPECT_TRUE(lines.contains(figure))
                << "want " << figure.toStdString() << "\ngot " << lines.join(u'|').toStdString();
        if (!c.last().startsWith(QStringLiteral("Error: "))) {
            EXPECT_FALSE(lines.last().startsWith(QStringLiteral("Error: "))) << lines.last().toStdString();
        }
    }
    // A debt of 0 is -0.
    EXPECT_TRUE(
        std::signbit(Parse(QStringLiteral("<p>задолженность вашего лицевого счета равна 0</p>\n</body>")).Balance));
}

TEST(ParseBalansRules, ResetsTheRecordButKeepsLoadedPages)
{
    TIssa r;
    r.PhoneID = 4;
    r.Alias = r.LicSchet = r.UserName = r.PhoneNumber = r.ErrorMsg = QStringLiteral("old");
    r.Balance = r.Average = r.Recomend = r.ObPlat = r.USDRate = r.BalDelta = 3;
    r.TurnOff = r.SMS = r.Minutes = r.JeansExpired = 3;
    r.QueryDateTime = 45000;
    r.Success = true;
    r.State = dsError;
    r.LoadedPages = {QStringLiteral("p1"), QStringLiteral("p2")};
    ParseBalans(u"<td>Актуальный баланс:</td>\n<td>5</td>", r);
    EXPECT_EQ(FigureLines(r), FigureLines(Parse(QStringLiteral("<td>Актуальный баланс:</td>\n<td>5</td>"))));
    EXPECT_EQ(r.Balance, 5.0f);
    EXPECT_TRUE(r.PhoneID == 0 && r.Alias.isEmpty() && r.ErrorMsg.isEmpty() && r.QueryDateTime == 0.0);
    EXPECT_EQ(r.BalDelta, 0.0f);
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.State, dsNone);
    EXPECT_EQ(r.LoadedPages.size(), 2);
}
