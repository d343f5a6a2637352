// The workbook of the current figures, read back with a real reader.
#include "Common.h"
#include "ExportTestUtil.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"
#include "TestHome.h"
#include "XlsxReadBack.h"

#include <gtest/gtest.h>

namespace {
struct CurrentWorkbookTest : ::testing::Test {
    // A monitored phone, 903000000<slot>, with a query on record.
    TIssa &phone(int slot, float balance, int turnOff)
    {
        TIssa &p = state.IssaArray[slot];
        p.PhoneID = slot;
        p.PhoneNumber = QString("903%1").arg(slot, 7, 10, QChar('0'));
        p.Alias = QString("Alias%1").arg(slot);
        MonitorPhone(state.Setup, slot, p.PhoneNumber, p.Alias);
        p.UserName = QString("Иванов %1").arg(slot);
        p.LicSchet = QString("77%1").arg(slot);
        p.Balance = balance;
        p.TurnOff = turnOff;
        p.QueryDateTime = At(2026, 12, 5, 14, 30, 15);
        return p;
    }

    TestHome home;
    TProgramState state{InitPaths()};
    QString out = home.file("current.xlsx");
};
}  // namespace

// Bold captions and balances, figures as numbers (zeros too), the query time as
// a date-time; a balance or turn-off below its threshold in red.
TEST_F(CurrentWorkbookTest, AllPhonesInSlotOrderWithFiguresTypesAndMarks)
{
    TIssa &p2 = phone(2, 12.345f, 10);
    p2.Average = 3.5f;
    p2.BalDelta = -1.25f;
    p2.Recomend = 150;
    p2.Minutes = 45;
    p2.JeansExpired = 12;
    p2.USDRate = 28.5f;
    phone(5, 1.0f, 1);  // red by balance and by turn-off
    phone(9, 50.0f, 0).QueryDateTime = 0;  // never queried: not exported
    MonitorPhone(state.Setup, 11, "9030000000");
    phone(14, 40.0f, 2);  // red by turn-off only (2 <= 2)
    state.IssaArray[20].QueryDateTime = At(2026, 12, 5, 10, 0);  // not monitored

    ASSERT_EQ(WriteCurrentWorkbook(state, out, false), 3);
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 15);
    for (int col = 1; col <= 15; ++col) {
        EXPECT_TRUE(sheet.cell(1, col).bold) << col;
        EXPECT_GE(sheet.width(col), sheet.cell(1, col).value.toString().size()) << col;
    }
    EXPECT_EQ(sheet.row(2, 15),
              "'Alias2|'Иванов 2|'(903) 000-0002|'772|12.35*|0|3.5|-1.25|10|150|0|45|12|28.5|2026-12-05T14:30:15");
    EXPECT_EQ(sheet.row(3, 9), "'Alias5|'Иванов 5|'(903) 000-0005|'775|1*#FF0000|0|0|0|1#FF0000");
    EXPECT_EQ(sheet.row(4, 9), "'Alias14|'Иванов 14|'(903) 000-0014|'7714|40*|0|0|0|2#FF0000");
}

TEST_F(CurrentWorkbookTest, RedOnlyTakesThePhonesMarkedByBalanceOrTurnOffThatWereQueried)
{
    phone(1, 40.0f, 0);
    phone(3, 2.0f, 30);  // below the balance threshold only
    phone(4, 60.0f, 20);
    TSetupPhoneLine own = state.Setup.Line(4);  // its own thresholds make it red
    own.ExSettings = {true, 100.0f, 1};
    state.Setup.SetLine(4, own);
    phone(6, 1.0f, 0).QueryDateTime = 0;

    EXPECT_TRUE(HasRedPhones(state));
    ASSERT_EQ(WriteCurrentWorkbook(state, out, true), 2);
    ReadBackSheet sheet(out);
    EXPECT_EQ(sheet.maxRow(), 3);
    EXPECT_EQ(sheet.row(2, 9), "'Alias3|'Иванов 3|'(903) 000-0003|'773|2*#FF0000|0|0|0|30");
    EXPECT_EQ(sheet.row(3, 9), "'Alias4|'Иванов 4|'(903) 000-0004|'774|60*#FF0000|0|0|0|20");

    state.IssaArray[3].QueryDateTime = state.IssaArray[4].QueryDateTime = 0;
    EXPECT_FALSE(HasRedPhones(state));
    EXPECT_EQ(CurrentExportSlots(state, false), QList<int>{1});
    EXPECT_EQ(DefaultCurrentExportName(QDateTime(QDate(2027, 1, 9), QTime(7, 5, 59))), "Balance 09-01-27 07-05.xlsx");
}
