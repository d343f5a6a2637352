// The workbook of one phone's history, read back with a real reader; its
// figures are rounded on their exact 32-bit values, halves to the even neighbour.
#include "HistoryWorkbook.h"
#include "ExportTestUtil.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "TestHome.h"
#include "XlsxReadBack.h"
#include "XlsxWorkbook.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const QString kPhone = "9031234567";

// A row's cells: the value, "'" in front of a text, "-" for an empty cell.
QStringList rowCells(const ReadBackSheet &sheet, int row)
{
    QStringList out;
    for (int col = 1; col <= 10; ++col) {
        const SheetCell c = sheet.cell(row, col);
        out << (!c.present ? QString("-") : (c.type == "str" ? "'" : "") + c.value.toString());
    }
    return out;
}
}  // namespace

TEST(HistoryWorkbook, RowsNewestFirstWithTheBlankRulesAndRounding)
{
    TestHome home;
    const QString db = HistoryDbFileName(), out = home.file("history.xlsx");
    // phone, time, balance, account, user, payment, change, average, recommended, rate, turn-off, jeans, SMS, minutes
    const RawRow rows[]
        = {{kPhone, At(2026, 3, 14, 0, 0, 0), 12.5, "L", "U", 0, -1.5, 3.25, 100, 28.5, 4, 0, 10,
            30},  // midnight: this day
           {kPhone, At(2026, 3, 14, 13, 30, 0), 0.0, "L", "U", 0, 0, 0, 0, 28.12345},  // zeros but the balance: empty
           {kPhone, At(2026, 3, 14, 21, 45, 59), -7.125},  // a binary half: ties to even
           {"9990000000", At(2026, 3, 14, 9, 0), 55.0}};  // another phone
    for (const RawRow &r : rows)
        StoreRow(db, r);
    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0), 3);
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 10);
    for (int col = 1; col <= 10; ++col) {
        const SheetCell h = sheet.cell(1, col);
        EXPECT_EQ(h.value.toString(), HistorySheetHeaders().value(col - 1)) << col;
        EXPECT_TRUE(h.bold && !sheet.cell(2, col).bold) << col;
        EXPECT_GE(sheet.width(col), h.value.toString().size()) << col;  // fitted to the caption at least
    }
    EXPECT_EQ(rowCells(sheet, 2),
              QStringList({"'14.03.2026", "'21:45:59", "-7.12", "0", "0", "-", "-", "-", "-", "0"}));
    EXPECT_EQ(rowCells(sheet, 3), QStringList({"-", "'13:30:00", "0", "0", "0", "-", "-", "-", "-", "28.1234"}));
    EXPECT_EQ(rowCells(sheet, 4),
              QStringList({"-", "'00:00:00", "12.5", "3.25", "-1.5", "4", "100", "10", "30", "28.5"}));
}

TEST(HistoryWorkbook, NoRowsOrNoHistoryFileWritesNothing)
{
    TestHome home;
    const QString out = home.file("history.xlsx");
    StoreRow(HistoryDbFileName(), {kPhone, At(2020, 1, 1, 9, 0), 5.0});
    EXPECT_EQ(ExportHistoryWorkbook(out, "0000000000", HistoryPeriod::All, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(out));
    WriteFileBytes(out, "old");
    EXPECT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old"));
    try {
        ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0, home.file("nothing.db"));
        ADD_FAILURE() << "no failure";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(
            e.message().startsWith("HistoryWorkbook.ExportHistoryWorkbook -- > HistoryQueries.HistoryAllRows -- > "))
            << e.message().toStdString();
    }
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old"));
}

TEST(HistoryWorkbook, RoundToHalvesGoToTheEvenNeighbourOnTheStoredValue)
{
    const struct {
        float stored;
        int places;
        double expected;
    } cases[] = {{0.125f, 2, 0.12},
                 {0.375f, 2, 0.38},
                 {-0.125f, 2, -0.12},
                 {2.5f, 0, 2.0},
                 {3.5f, 0, 4.0},  // exact halves
                 // Stored a little below the printed half: down; a little above: up.
                 {28.12345f, 4, 28.1234},
                 {2.675f, 2, 2.67},
                 {12.345f, 2, 12.35},
                 // No rounding needed: the nearest double to the decimal, not a neighbour of it.
                 {12.5f, 2, 12.5},
                 {28.5f, 4, 28.5},
                 {0.0f, 2, 0.0},
                 {99.99f, 2, 99.99},
                 {-1234.57f, 2, -1234.57},
                 {28.1234f, 4, 28.1234}};
    for (const auto &c : cases)
        EXPECT_EQ(RoundTo(c.stored, c.places), c.expected) << c.stored << " to " << c.places;
}
