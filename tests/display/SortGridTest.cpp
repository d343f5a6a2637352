// The sortable grid: comparisons, header clicks, directions, rows travelling
// with their objects.
#include "Common.h"
#include "OleDate.h"
#include "SortGridUnit.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
// A grid of one key column plus a tag column "row<i>" (objects 10 i and 10 i + 1).
struct Grid {
    TSortGrid grid;
    explicit Grid(const QStringList &keys)
    {
        grid.resize(400, 300);
        grid.Set_ColCount(2);
        grid.Set_RowCount(static_cast<int>(keys.size()) + 1);
        grid.SetCells(0, 0, "Key");
        for (int i = 0; i < keys.size(); ++i) {
            grid.SetCell(0, i + 1, keys[i], QVariant(i * 10));
            grid.SetCell(1, i + 1, QStringLiteral("row%1").arg(i), QVariant(i * 10 + 1));
        }
        grid.show();
        QApplication::processEvents();
    }
    QStringList column(int col = 0) const
    {
        QStringList out;
        for (int r = 1; r < grid.RowCount(); ++r)
            out << grid.Cells(col, r);
        return out;
    }
    QWidget *header() const { return grid.horizontalHeader()->viewport(); }
    QPoint at(int col, int dx = 30) const { return QPoint(grid.columnViewportPosition(col) + dx, 5); }
    void click(int col, int dx = 30) { QTest::mouseClick(header(), Qt::LeftButton, {}, at(col, dx)); }
    // Press, move by dx, release.
    void drag(const QPoint &from, int dx)
    {
        QTest::mousePress(header(), Qt::LeftButton, {}, from);
        const QPoint to = from + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, to, header()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(header(), &move);
        QTest::mouseRelease(header(), Qt::LeftButton, {}, to);
    }
};
}  // namespace

// Numbers by value, then date-times, then texts by their one-byte code with
// Latin letters folded; texts sorting before the digits come first.
TEST(SortCompare, NumbersByValueThenDatesThenTexts)
{
    const QString early = FormatShortDateTime(46000.25), late = FormatShortDateTime(46000.75);
    const struct {
        QString a, b;
        int order;
    } cases[] = {
        {"9", "10", -1},      {"100", "10", 1},     {"1.5", "1.6", -1}, {"-2.5", "-2.4", -1},
        {" 7 ", "7.0", 0},    {"1", "1.00009", -1},  // exact values, no tolerance to chain
        {"-230973", "1", -1},  // the no-value mark is no number
        {"", "-5", -1},       {"1,5", "2", 1},      {"inf", "1e30", 1}, {"—", "100", 1},
        {"10", "1a", -1},     {"9", "1a", -1},  // pair by pair these made a cycle
        {"abc", "ABD", -1},   {"ABC", "abc", 0},    {"ab", "abc", -1},  {"", "", 0},
        {"Я", "я", -1},       {"Иван", "иван", -1}, {"z", "а", -1},     {"Ё", "Ж", -1},
        {"a", "_", -1},       {"-", "1", -1},       {early, late, -1},  {FormatShortDateTime(46001.1), late, 1},
        {early, early, 0},    {early, "99999", 1},  {early, "a", -1},  // date-times after numbers, before letters
    };
    for (const auto &c : cases)
        EXPECT_EQ(Compare(c.a, c.b), c.order) << c.a.toStdString() << " " << c.b.toStdString();
    EXPECT_NEAR(ParseShortDateTime(early), 46000.25, 1.0 / 1440);
    // The windows' one form of a date-time, whatever the locale, and back to the second.
    const double when = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    EXPECT_EQ(FormatShortDateTime(when), QStringLiteral("07.12.2026 12:20:49"));
    EXPECT_NEAR(ParseShortDateTime(QStringLiteral("07.12.2026 12:20:49")), when, 0.5 / 86400);
}

// Keys whose pair-by-pair comparison was no order (cycles, tolerance chains),
// many times over: a click sorts ascending, the next descending, another
// column starts ascending again; whole rows move with their objects, equal
// keys keep their order and the caption row stays.
TEST(SortGrid, HeaderClicksSortWholeRowsInOneTotalOrder)
{
    const char *pool[]
        = {"1a", "10", "9", "", "-", "1.00018", "1", "1.00009", "07.12.2026 12:20:49", "abc", "—", "ABC"};
    QStringList keys;
    for (int i = 0; i < 300; ++i)
        keys << QString::fromUtf8(pool[(i * 7) % 12]);
    Grid g(keys);
    g.grid.SetSortDirectionForAllColumns(1);
    // Equal keys ("abc", "ABC") keep their order in both directions.
    const QString orders[] = {"|-|1|1.00009|1.00018|9|10|07.12.2026 12:20:49|1a|abc|ABC|—",
                              "—|abc|ABC|1a|07.12.2026 12:20:49|10|9|1.00018|1.00009|1|-|"};
    for (int direction = 0; direction < 2; ++direction) {
        g.click(0);
        EXPECT_EQ(g.grid.SortColumn(), 0);
        EXPECT_EQ(g.grid.SortDirection(0), direction);
        QStringList sorted = g.column();
        sorted.removeDuplicates();
        EXPECT_EQ(sorted, orders[direction].split(u'|'));
        const QStringList tags = g.column(1);
        for (int r = 1; r <= tags.size(); ++r) {
            const int i = tags[r - 1].mid(3).toInt();
            ASSERT_EQ(g.grid.Cells(0, r), keys[i]);
            ASSERT_EQ(g.grid.Objects(0, r).toInt(), i * 10);
            ASSERT_EQ(g.grid.Objects(1, r).toInt(), i * 10 + 1);
            if (r > 1 && Compare(keys[tags[r - 2].mid(3).toInt()], keys[i]) == 0) {
                EXPECT_LT(tags[r - 2].mid(3).toInt(), i) << "equal keys keep their order";
            }
        }
        EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("Key"));
    }
    g.click(1);
    EXPECT_EQ(g.grid.SortDirection(0), 1);
    EXPECT_EQ(g.grid.SortDirection(1), 0);
    const QStringList tags = g.column(1);
    EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end(), [](auto &a, auto &b) { return Compare(a, b) < 0; }));
}

// Clicks near a caption's edges, with a move, or with the right button do not
// sort; a drag of the border resizes the column, and the owner hears of it.
// Scrolled down, the caption row stays in sight and a click there sorts.
TEST(SortGrid, OnlyPlainClicksInsideTheCaptionSort)
{
    QStringList keys;
    for (int i = 0; i < 60; ++i)
        keys << QString::number(i * 7 % 60);
    Grid g(keys);
    QSignalSpy released(&g.grid, &TSortGrid::leftButtonReleased);
    g.click(0, 5);
    g.click(0, TSortGrid::DefaultColWidth - 5);
    g.drag(g.at(0), 2);
    QTest::mouseClick(g.header(), Qt::RightButton, {}, g.at(0));
    released.clear();
    g.drag(g.at(0, g.grid.columnWidth(0) - 1), 40);
    EXPECT_EQ(g.column(), keys);
    EXPECT_EQ(g.grid.columnWidth(0), TSortGrid::DefaultColWidth + 40);
    EXPECT_EQ(released.count(), 1) << "the owner saves the widths on the release";

    g.grid.resize(200, 120);
    g.grid.scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(g.grid.verticalScrollBar()->value(), 0);
    int col, row;
    const QPoint p = g.grid.HeaderToGrid(g.at(0));
    EXPECT_TRUE(g.grid.IsHeaderArea(p.x(), p.y(), col, row));
    g.grid.SetSortDirectionForAllColumns(0);
    g.click(0);  // descending
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("59"));
    EXPECT_TRUE(g.grid.isRowHidden(0));
    EXPECT_TRUE(g.grid.horizontalHeader()->isVisible());
}

TEST(SortGrid, HeaderOnlyGridAndCounts)
{
    TSortGrid grid;
    grid.Set_RowCount(0);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.FixedRows(), 0);
    grid.Set_ColCount(-3);
    EXPECT_EQ(grid.ColCount(), 1);
    grid.SetSortColumn(0);
    EXPECT_NO_THROW(grid.Sort());
    grid.Set_RowCount(5);
    EXPECT_EQ(grid.FixedRows(), 1);
    grid.SetSortColumn(7);  // no such column
    EXPECT_NO_THROW(grid.Sort());
    // New columns start ascending, old ones keep their direction.
    grid.SetSortDirectionForAllColumns(1);
    grid.Set_ColCount(3);
    EXPECT_EQ(grid.SortDirection(0), 1);
    EXPECT_EQ(grid.SortDirection(2), 0);
}
