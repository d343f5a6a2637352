// Reading the history back: the periods, the order, the grid's cells.

#include "Common.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryQueries.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include <gtest/gtest.h>

TEST(HistoryQueries, PeriodsNewestFirst)
{
    TestHome home;
    const double now = NowOle();
    const auto times = [](const QVector<HistoryRow> &rows) {
        QList<double> out;
        for (const HistoryRow &r : rows)
            out << r.QueryDateTime;
        return out;
    };
    try {
        HistoryAllRows(QStringLiteral("P"));
        FAIL() << "a missing file gave rows";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("HistoryQueries.HistoryAllRows -- > "))) << e.what();
    }
    CreateHistoryDatabase();
    // Stored out of order, with another phone in between.
    for (double age : {5.5, 0.5, 3.5, 1.5, 2.5, 4.5})
        InsertRaw(HistoryDbFileName(), {QStringLiteral("P"), now - age, 10.0 - age});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("Q"), now - 0.1, 1.0});
    EXPECT_EQ(times(HistoryAllRows(QStringLiteral("P"))),
              QList<double>({now - 0.5, now - 1.5, now - 2.5, now - 3.5, now - 4.5, now - 5.5}));
    EXPECT_EQ(HistoryRows(QStringLiteral("P"), HistoryPeriod::All, 2).size(), 6);
    EXPECT_TRUE(HistoryAllRows(QStringLiteral("p")).isEmpty());
    EXPECT_EQ(times(HistoryNewestRows(QStringLiteral("P"), 2)), QList<double>({now - 0.5, now - 1.5}));
    EXPECT_TRUE(HistoryNewestRows(QStringLiteral("P"), 0).isEmpty());
    EXPECT_EQ(HistoryRows(QStringLiteral("P"), HistoryPeriod::LastCount, 3).size(), 3);
    EXPECT_EQ(times(HistoryLastDays(QStringLiteral("P"), 2, QString(), now)), QList<double>({now - 0.5, now - 1.5}));
    EXPECT_EQ(HistoryRows(QStringLiteral("P"), HistoryPeriod::LastDays, 4).size(), 4);
    // Rows of the same moment: the one stored last first.
    InsertRaw(HistoryDbFileName(), {QStringLiteral("T"), 45000.5, 1.0});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("T"), 45000.5, 2.0});
    ASSERT_EQ(HistoryNewestRows(QStringLiteral("T"), 1).size(), 1);
    EXPECT_FLOAT_EQ(HistoryNewestRows(QStringLiteral("T"), 1)[0].Balance, 2.0f);
}

// The date only on a day's first row; empty cells for a zero payment, change,
// count or period; a change that rounds to zero shows nothing.
TEST(HistoryGrid, CellsFollowTheGridRules)
{
    const auto row = [](double when) {
        HistoryRow r;
        r.QueryDateTime = when;
        return r;
    };
    const double d = ToOleDate(QDateTime(QDate(2026, 3, 9), QTime(0, 0)));
    QVector<HistoryRow> rows{row(d + 2 + 0.75), row(d + 2 + 0.25), row(d + 1 + 0.5), row(d + 0.9), row(d + 0.1)};
    rows[0].BalDelta = 0.001f;
    rows[1].Balance = 12.5f;
    rows[1].ObPlat = 3;
    rows[1].BalDelta = -1.5f;
    rows[1].Average = 2.345f;
    rows[1].TurnOff = 14;
    rows[1].Recomend = 100;
    rows[1].JeansExpired = 30;
    rows[1].SMS = 5;
    rows[1].Minutes = 60;
    rows[1].USDRate = 28.5f;
    rows[2].BalDelta = -0.004f;
    const auto cells = HistoryGridCells(rows);
    ASSERT_EQ(cells.size(), 5);
    QStringList dates;
    for (const QStringList &line : cells)
        dates << line.value(0);
    EXPECT_EQ(dates, QStringList({"11.03.2026", "", "10.03.2026", "09.03.2026", ""}));
    EXPECT_EQ(cells[0],
              QStringList({"11.03.2026", "18:00:00", "0.00", "", "0.00", "", "0", "0.00", "", "", "", "0.0000"}));
    EXPECT_EQ(
        cells[1],
        QStringList({"", "06:00:00", "12.50", "3.00", "2.35", "-1.50", "14", "100.00", "30", "5", "60", "28.5000"}));
    EXPECT_EQ(cells[2][5], QString());
    EXPECT_EQ(cells[3][1], QStringLiteral("21:36:00"));
}
