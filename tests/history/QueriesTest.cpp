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
    const auto ages = [now](const QVector<HistoryRow> &rows) {
        QList<double> out;
        for (const HistoryRow &r : rows)
            out << now - r.QueryDateTime;
        return out;
    };
    EXPECT_THROW(HistoryAllRows("P"), SaldomatError);  // no file
    CreateHistoryDatabase();
    // Stored out of order, with another phone in between.
    for (double age : {5.5, 0.5, 3.5, 1.5, 2.5, 4.5})
        InsertRaw(HistoryDbFileName(), {"P", now - age, 10.0 - age});
    InsertRaw(HistoryDbFileName(), {"Q", now - 0.1, 1.0});
    EXPECT_EQ(ages(HistoryAllRows("P")), QList<double>({0.5, 1.5, 2.5, 3.5, 4.5, 5.5}));
    EXPECT_TRUE(HistoryAllRows("p").isEmpty());
    EXPECT_EQ(ages(HistoryNewestRows("P", 2)), QList<double>({0.5, 1.5}));
    EXPECT_TRUE(HistoryNewestRows("P", 0).isEmpty());
    EXPECT_EQ(ages(HistoryLastDays("P", 2, QString(), now)), QList<double>({0.5, 1.5}));
    const struct {
        HistoryPeriod period;
        int n, rows;
    } periods[] = {{HistoryPeriod::All, 2, 6}, {HistoryPeriod::LastCount, 3, 3}, {HistoryPeriod::LastDays, 4, 4}};
    for (const auto &p : periods)
        EXPECT_EQ(HistoryRows("P", p.period, p.n).size(), p.rows) << int(p.period);
    // Rows of the same moment: the one stored last first.
    InsertRaw(HistoryDbFileName(), {"T", 45000.5, 1.0});
    InsertRaw(HistoryDbFileName(), {"T", 45000.5, 2.0});
    ASSERT_EQ(HistoryNewestRows("T", 1).size(), 1);
    EXPECT_FLOAT_EQ(HistoryNewestRows("T", 1)[0].Balance, 2.0f);
}

// The date only on a day's first row; empty cells for a zero payment, change,
// count or period; a change that rounds to zero shows nothing.
TEST(HistoryGrid, CellsFollowTheGridRules)
{
    const double d = ToOleDate(QDateTime(QDate(2026, 3, 9), QTime(0, 0)));
    QVector<HistoryRow> rows(5);
    const double times[] = {d + 2.75, d + 2.25, d + 1.5, d + 0.9, d + 0.1};
    for (int i = 0; i < 5; ++i)
        rows[i].QueryDateTime = times[i];
    rows[0].BalDelta = 0.001f;
    // NN, time, number, balance, payment, change, average, turn-off, jeans, recommended, SMS, minutes, rate
    rows[1] = {0, d + 2.25, {}, 12.5f, 3, -1.5f, 2.345f, 14, 30, 100, 5, 60, 28.5f};
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
    EXPECT_EQ(cells[3][1], "21:36:00");
}
