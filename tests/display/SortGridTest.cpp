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

} // namespace

TEST(SortCompare, NumbersByValueTextByCodeLatinFolded)
{
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {
        {"9", "10", -1}, {"100", "10", 1}, {"1.5", "1.50001", 0}, {"-2.5", "-2.4", -1}, {" 7 ", "7.0", 0},
        {"abc", "ABD", -1}, {"ABC", "abc", 0}, {"ab", "abc", -1}, {"", "", 0},
        // Cyrillic by its one-byte code: "Я" (0xDF) before "я" (0xFF), "Ё" (0xA8) before "Ж".
        {"Я", "я", -1}, {"Иван", "иван", -1}, {"z", "а", -1}, {"Ё", "Ж", -1},
        {"a", "_", -1},  // letters fold to capitals, which come before the underscore
        {"-", "1", -1},  // a number against a non-number is text
    };
    for (const auto &c : cases)
        EXPECT_EQ(cmp(c.a, c.b), c.order) << c.a << " " << c.b;
    int r = 5;
    for (const char *notANumber : {"-230973", "1,5", "inf", ""})
        EXPECT_FALSE(MyCompareNumber(QString::fromUtf8(notANumber), QStringLiteral("1"), r)) << notANumber;
    EXPECT_EQ(r, 5) << "a failed comparison leaves the result alone";
}

TEST(SortCompare, DatesByTime)
{
    const double early = 46000.25, late = 46000.75, nextDay = 46001.1;
    const QString a = FormatShortDateTime(early), b = FormatShortDateTime(late), c = FormatShortDateTime(nextDay);
    int r = 0;
    ASSERT_TRUE(MyCompareDate(a, b, r)) << a.toStdString();
    EXPECT_EQ(r, -1);
    ASSERT_TRUE(MyCompareDate(c, b, r));
    EXPECT_EQ(r, 1);
    ASSERT_TRUE(MyCompareDate(a, a, r));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Compare(c, a), 1);
    EXPECT_FALSE(MyCompareDate(QStringLiteral("-"), a, r));
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
    g.click(g.headerPoint(0, 5)); // within 10 pixels of the left edge
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
    grid.SetSortColumn(7); // no such column
    EXPECT_NO_THROW(grid.Sort());
    // New columns start ascending, old ones keep their direction.
    grid.SetSortDirectionForAllColumns(1);
    grid.Set_ColCount(3);
    EXPECT_EQ(grid.SortDirection(0), 1);
    EXPECT_EQ(grid.SortDirection(2), 0);
}

TEST(SortGrid, MixedKindsNeverBreakTheSort)
{
    // Pairwise kinds make the order intransitive; the sort must still keep every row.
    QStringList keys;
    const char *pool[] = {"-", "10", "9", "abc", "1.5", "", "Я", "-230973", "2", "z", "100"};
    for (int i = 0; i < 300; ++i)
        keys << QString::fromUtf8(pool[(i * 7) % 11]);
    Grid g(keys);
    g.grid.SetSortDirectionForAllColumns(1);
    g.click(g.headerPoint(0, 30));
    QStringList sorted = g.column(), expected = keys;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);
    QStringList tags = g.column(1);
    tags.removeDuplicates();
    EXPECT_EQ(tags.size(), 300);
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
    g.click(g.headerPoint(0, 30)); // descending
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("59"));
    EXPECT_TRUE(g.grid.isRowHidden(0));
    EXPECT_TRUE(g.grid.horizontalHeader()->isVisible());
}
