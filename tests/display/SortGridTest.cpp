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
#include <gtest/gtest.h>

namespace {

int cmp(const char *a, const char *b)
{
    return Compare(QString::fromUtf8(a), QString::fromUtf8(b));
}

// A grid of one text column plus a tag column, filled with the keys.
struct Grid {
    TSortGrid grid;
    explicit Grid(const QStringList &keys)
    {
        grid.resize(400, 300);
        grid.Set_ColCount(2);
        grid.Set_RowCount(static_cast<int>(keys.size()) + 1);
        grid.SetCells(0, 0, QStringLiteral("Key"));
        grid.SetCells(1, 0, QStringLiteral("Tag"));
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
    // A point of the caption strip, in its own coordinates.
    QPoint headerPoint(int col, int dx) const { return QPoint(grid.columnViewportPosition(col) + dx, 5); }
    // The same point in the grid's coordinates.
    QPoint inGrid(const QPoint &p) const { return grid.HeaderToGrid(p); }
    void click(const QPoint &p) { QTest::mouseClick(header(), Qt::LeftButton, {}, p); }
};

}  // namespace

TEST(SortCompare, NumbersByValueThenDatesThenTexts)
{
    EXPECT_EQ(cmp("9", "10"), -1);
    EXPECT_EQ(cmp("100", "10"), 1);
    EXPECT_EQ(cmp("1.5", "1.6"), -1);
    EXPECT_EQ(cmp("-2.5", "-2.4"), -1);
    EXPECT_EQ(cmp(" 7 ", "7.0"), 0);
    // Exact values: "equal within 1/10000" chained 1 = 1.00009 = 1.00018 > 1.
    EXPECT_EQ(cmp("1", "1.00009"), -1);
    // Texts that are no number: before the numbers when they sort before the
    // digits, after them otherwise.
    EXPECT_EQ(cmp("-230973", "1"), -1) << "the no-value mark is no number";
    EXPECT_EQ(cmp("", "-5"), -1);
    EXPECT_EQ(cmp("1,5", "2"), 1) << "only the point separates decimals";
    EXPECT_EQ(cmp("inf", "1e30"), 1);
    EXPECT_EQ(cmp("—", "100"), 1) << "no data";
    // Pair by pair these made a cycle: 9 < 10 (numbers), 10 < 1a < 9 (texts).
    EXPECT_EQ(cmp("10", "1a"), -1);
    EXPECT_EQ(cmp("9", "1a"), -1);
    // Texts compare by their one-byte code, Latin letters folded: "Я" (0xDF)
    // before "я" (0xFF), "Ё" (0xA8) before "Ж", capitals before "_".
    const struct {
        const char *a, *b;
        int order;
    } texts[] = {
        {"abc", "ABD", -1},   {"ABC", "abc", 0}, {"ab", "abc", -1}, {"", "", 0},    {"Я", "я", -1},
        {"Иван", "иван", -1}, {"z", "а", -1},    {"Ё", "Ж", -1},    {"a", "_", -1}, {"-", "1", -1},
    };
    for (const auto &c : texts)
        EXPECT_EQ(cmp(c.a, c.b), c.order) << c.a << " " << c.b;
    const double early = 46000.25, late = 46000.75, nextDay = 46001.1;
    const QString a = FormatShortDateTime(early), b = FormatShortDateTime(late), c = FormatShortDateTime(nextDay);
    EXPECT_EQ(Compare(a, b), -1) << a.toStdString();
    EXPECT_EQ(Compare(c, b), 1);
    EXPECT_EQ(Compare(a, a), 0);
    EXPECT_EQ(Compare(a, QStringLiteral("99999")), 1) << "date-times after numbers";
    EXPECT_EQ(Compare(a, QStringLiteral("a")), -1) << "and before letters";
    EXPECT_NEAR(ParseShortDateTime(a), early, 1.0 / 1440);
    // The windows' one form of a date-time, whatever the session's locale,
    // and back to the second.
    const double when = ToOleDate(QDateTime(QDate(2026, 12, 7), QTime(12, 20, 49)));
    EXPECT_EQ(FormatShortDateTime(when), QStringLiteral("07.12.2026 12:20:49"));
    EXPECT_NEAR(ParseShortDateTime(QStringLiteral("07.12.2026 12:20:49")), when, 0.5 / 86400);
}

TEST(SortGrid, HeaderClicksSortAscendingThenDescending)
{
    Grid g({"10", "9", "-", "100", "2.5"});
    g.grid.SetSortDirectionForAllColumns(1);
    g.click(g.headerPoint(0, 30));
    EXPECT_EQ(g.column(), QStringList({"-", "2.5", "9", "10", "100"}));
    EXPECT_EQ(g.grid.SortColumn(), 0);
    EXPECT_EQ(g.grid.SortDirection(0), 0);
    g.click(g.headerPoint(0, 30));
    EXPECT_EQ(g.column(), QStringList({"100", "10", "9", "2.5", "-"}));
    EXPECT_EQ(g.grid.SortDirection(0), 1);
    // Another column: all directions reset, the new one sorts ascending.
    g.click(g.headerPoint(1, 30));
    EXPECT_EQ(g.grid.SortDirection(0), 1);
    EXPECT_EQ(g.grid.SortDirection(1), 0);
    EXPECT_EQ(g.column(1), QStringList({"row0", "row1", "row2", "row3", "row4"}));
}

TEST(SortGrid, RowsKeepTheirCellsAndObjects)
{
    Grid g({"c", "a", "b"});
    g.grid.SetSortDirectionForAllColumns(1);
    g.click(g.headerPoint(0, 30));
    ASSERT_EQ(g.column(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(g.column(1), QStringList({"row1", "row2", "row0"}));
    EXPECT_EQ(g.grid.Objects(0, 1).toInt(), 10);
    EXPECT_EQ(g.grid.Objects(1, 1).toInt(), 11);
    EXPECT_EQ(g.grid.Objects(0, 3).toInt(), 0);
    EXPECT_EQ(g.grid.Objects(1, 2).toInt(), 21);
    EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("Key")) << "the header row stays";
}

TEST(SortGrid, ClicksNearTheEdgeOrWithAMoveDoNotSort)
{
    Grid g({"3", "1", "2"});
    const QStringList before = g.column();
    g.click(g.headerPoint(0, 5));  // within 10 pixels of the left edge
    g.click(g.headerPoint(0, TSortGrid::DefaultColWidth - 5));
    EXPECT_EQ(g.column(), before);
    EXPECT_EQ(g.grid.SortColumn(), 0);
    // Press, move, release in the sort area.
    QTest::mousePress(g.header(), Qt::LeftButton, {}, g.headerPoint(0, 30));
    QMouseEvent move(QEvent::MouseMove, g.headerPoint(0, 32), g.header()->mapToGlobal(g.headerPoint(0, 32)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g.header(), &move);
    QTest::mouseRelease(g.header(), Qt::LeftButton, {}, g.headerPoint(0, 32));
    EXPECT_EQ(g.column(), before);
    // A right click does not sort.
    QTest::mouseClick(g.header(), Qt::RightButton, {}, g.headerPoint(0, 30));
    EXPECT_EQ(g.column(), before);
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

TEST(SortGrid, MixedKindsSortInOneTotalOrderKeepingEqualRowsInPlace)
{
    // Keys whose pair-by-pair comparison was no order (cycles, tolerance
    // chains), many times over: every row stays, the order is the one of
    // Compare, and equal keys keep the order they had.
    QStringList keys;
    const char *pool[]
        = {"1a", "10", "9", "", "-", "1.00018", "1", "1.00009", "07.12.2026 12:20:49", "abc", "—", "ABC"};
    for (int i = 0; i < 300; ++i)
        keys << QString::fromUtf8(pool[(i * 7) % 12]);
    Grid g(keys);
    g.grid.SetSortDirectionForAllColumns(1);
    g.click(g.headerPoint(0, 30));
    QStringList sorted = g.column();
    sorted.removeDuplicates();
    EXPECT_EQ(sorted, QString::fromUtf8("|-|1|1.00009|1.00018|9|10|07.12.2026 12:20:49|1a|abc|ABC|—").split(u'|'));
    const QStringList tags = g.column(1);
    for (int r = 1; r < tags.size(); ++r) {
        const int before = tags[r - 1].mid(3).toInt(), after = tags[r].mid(3).toInt();
        if (Compare(keys[before], keys[after]) == 0) {
            EXPECT_LT(before, after) << "equal keys keep their order";
        }
    }
    g.click(g.headerPoint(0, 30));
    sorted = g.column();
    sorted.removeDuplicates();
    EXPECT_EQ(sorted, QString::fromUtf8("—|abc|ABC|1a|07.12.2026 12:20:49|10|9|1.00018|1.00009|1|-|").split(u'|'));
    QStringList all = g.column(1);
    all.removeDuplicates();
    EXPECT_EQ(all.size(), 300);
}

TEST(SortGrid, ColumnsAreResizedByDraggingTheCaptionBorder)
{
    Grid g({"1", "2"});
    QSignalSpy released(&g.grid, &TSortGrid::leftButtonReleased);
    const QPoint start(g.grid.columnViewportPosition(0) + g.grid.columnWidth(0) - 1, 5);
    QTest::mousePress(g.header(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, start + QPoint(40, 0), g.header()->mapToGlobal(start + QPoint(40, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g.header(), &move);
    QTest::mouseRelease(g.header(), Qt::LeftButton, {}, start + QPoint(40, 0));
    EXPECT_EQ(g.grid.columnWidth(0), TSortGrid::DefaultColWidth + 40);
    EXPECT_EQ(g.column(), QStringList({"1", "2"})) << "a border drag is no sort click";
    EXPECT_EQ(released.count(), 1) << "the owner saves the widths on the release";
}

TEST(SortGrid, CaptionRowStaysInSightWhenScrolled)
{
    QStringList keys;
    for (int i = 0; i < 60; ++i)
        keys << QString::number(i);
    Grid g(keys);
    g.grid.resize(200, 120);
    g.grid.scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(g.grid.verticalScrollBar()->value(), 0);
    int col, row;
    const QPoint p = g.inGrid(g.headerPoint(0, 30));
    EXPECT_TRUE(g.grid.IsHeaderArea(p.x(), p.y(), col, row));
    g.grid.SetSortDirectionForAllColumns(0);
    g.click(g.headerPoint(0, 30));  // descending
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("59"));
    EXPECT_TRUE(g.grid.isRowHidden(0));
    EXPECT_TRUE(g.grid.horizontalHeader()->isVisible());
}
