// The workbook of one phone's history, read back with a real reader.
#include "HistoryWorkbook.h"
#include "ExportTestUtil.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "TestHome.h"
#include "XlsxReadBack.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const QString kPhone = QStringLiteral("9031234567");

class HistoryWorkbookTest : public ::testing::Test {
protected:
    TestHome home;
    QString db = HistoryDbFileName();
    QString out = home.file(QStringLiteral("history.xlsx"));
};
}  // namespace

TEST_F(HistoryWorkbookTest, ThreeRowsOfOneDayWithTheBlankRulesAndRounding)
{
    // Stored oldest first; the sheet lists them newest first.
    RawRow a{kPhone, At(2026, 3, 14, 0, 0, 0)};  // midnight: still this day
    a.balance = 12.5;
    a.average = 3.25;
    a.delta = -1.5;
    a.turnOff = 4;
    a.recomend = 100;
    a.sms = 10;
    a.minutes = 30;
    a.usdRate = 28.5;
    RawRow b{kPhone, At(2026, 3, 14, 13, 30, 0)};
    b.balance = 0;  // a zero balance is still a number
    b.recomend = 0;
    b.sms = 0;
    b.turnOff = 0;
    b.minutes = 0;
    b.usdRate = 28.12345;
    RawRow c{kPhone, At(2026, 3, 14, 21, 45, 59)};
    c.balance = -7.125;  // a binary half: ties to even
    c.average = 0;
    c.delta = 0;
    c.usdRate = 0;
    for (const RawRow &r : {a, b, c})
        StoreRow(db, r);
    StoreRow(db, RawRow{QStringLiteral("9990000000"), At(2026, 3, 14, 9, 0), 55});  // another phone

    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0), 3);
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 10);

    const QStringList captions = HistorySheetHeaders();
    for (int col = 1; col <= 10; ++col) {
        const SheetCell h = sheet.cell(1, col);
        EXPECT_EQ(h.value.toString(), captions[col - 1]) << col;
        EXPECT_TRUE(h.bold) << col;
        // Fitted: at least as wide as the caption.
        EXPECT_GE(sheet.width(col), captions[col - 1].size()) << col;
    }

    // Row 2: the newest (c); the date only here.
    EXPECT_EQ(sheet.cell(2, 1).value.toString(), "14.03.2026");
    EXPECT_EQ(sheet.cell(2, 1).type, "str");
    EXPECT_FALSE(sheet.cell(3, 1).present);
    EXPECT_FALSE(sheet.cell(4, 1).present);
    EXPECT_EQ(sheet.cell(2, 2).value.toString(), "21:45:59");
    EXPECT_EQ(sheet.cell(2, 2).type, "str");
    EXPECT_EQ(sheet.cell(3, 2).value.toString(), "13:30:00");
    EXPECT_EQ(sheet.cell(4, 2).value.toString(), "00:00:00");
    EXPECT_FALSE(sheet.cell(2, 1).bold);

    // c: balance -7.125 -> -7.12; zero average, delta and rate are written.
    EXPECT_DOUBLE_EQ(sheet.cell(2, 3).value.toDouble(), -7.12);
    EXPECT_TRUE(sheet.cell(2, 4).present);
    EXPECT_EQ(sheet.cell(2, 4).value.toDouble(), 0.0);
    EXPECT_TRUE(sheet.cell(2, 5).present);
    EXPECT_TRUE(sheet.cell(2, 10).present);
    EXPECT_EQ(sheet.cell(2, 10).value.toDouble(), 0.0);

    // b: balance 0 written as the number 0; turn-off, recommended, SMS and minutes empty; 28.12345 -> 28.1234.
    EXPECT_TRUE(sheet.cell(3, 3).present);
    EXPECT_EQ(sheet.cell(3, 3).value.toDouble(), 0.0);
    EXPECT_NE(sheet.cell(3, 3).type, "str");
    for (int col : {6, 7, 8, 9})
        EXPECT_FALSE(sheet.cell(3, col).present) << col;
    EXPECT_DOUBLE_EQ(sheet.cell(3, 10).value.toDouble(), 28.1234);

    // a: every figure a number.
    const double figures[] = {12.5, 3.25, -1.5, 4, 100, 10, 30, 28.5};
    for (int col = 3; col <= 10; ++col) {
        EXPECT_EQ(sheet.cell(4, col).value.toDouble(), figures[col - 3]) << col;
        EXPECT_NE(sheet.cell(4, col).type, "str") << col;
    }
}

TEST_F(HistoryWorkbookTest, PeriodsDecideTheRows)
{
    const TDateTime now = NowOle();
    for (int i = 0; i < 7; ++i)  // one a day, the newest an hour ago
        StoreRow(db, {kPhone, now - i - 1.0 / 24, 10.0 + i});

    // Newest 50 of 7 stored: the header and 7 rows, each the first of its day.
    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastCount, 50), 7);
    {
        ReadBackSheet sheet(out);
        EXPECT_EQ(sheet.maxRow(), 8);
        EXPECT_EQ(sheet.cell(2, 3).value.toDouble(), 10.0);
        EXPECT_EQ(sheet.cell(8, 3).value.toDouble(), 16.0);
        for (int row = 2; row <= 8; ++row)
            EXPECT_TRUE(sheet.cell(row, 1).present) << row;
    }
    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastCount, 2), 2);
    EXPECT_EQ(ReadBackSheet(out).maxRow(), 3);
    // The last 2 days: the rows of an hour and of a day and an hour ago.
    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastDays, 2), 2);
    EXPECT_EQ(ReadBackSheet(out).cell(3, 3).value.toDouble(), 11.0);
}

TEST_F(HistoryWorkbookTest, NothingToExportWritesNoFileAndKeepsAnOldOne)
{
    StoreRow(db, {kPhone, At(2020, 1, 1, 9, 0), 5});
    EXPECT_EQ(ExportHistoryWorkbook(out, QStringLiteral("0000000000"), HistoryPeriod::All, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(out));
    WriteFileBytes(out, "old");
    EXPECT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old"));
}

TEST_F(HistoryWorkbookTest, MissingHistoryFileIsAFailureWithItsLabels)
{
    try {
        ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0, home.file(QStringLiteral("nothing.db")));
        FAIL() << "no failure";
    } catch (const SaldomatError &e) {
        EXPECT_TRUE(e.message().startsWith(
            QStringLiteral("HistoryWorkbook.ExportHistoryWorkbook -- > HistoryQueries.HistoryAllRows -- > ")))
            << e.message().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));
}
