// The workbook of the current figures, read back with a real reader.
#include "Common.h"
#include "ExportTestUtil.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"
#include "TestHome.h"
#include "XlsxReadBack.h"

#include <gtest/gtest.h>

namespace {
class CurrentWorkbookTest : public ::testing::Test {
protected:
    // A monitored phone with a query on record.
    TIssa &phone(int slot, const QString &number, float balance, int turnOff)
    {
        MonitorPhone(state.Setup, slot, number, QStringLiteral("Alias%1").arg(slot));
        TIssa &p = state.IssaArray[slot];
        p.PhoneID = slot;
        p.PhoneNumber = number;
        p.Alias = QStringLiteral("Alias%1").arg(slot);
        p.UserName = QStringLiteral("Иванов %1").arg(slot);
        p.LicSchet = QStringLiteral("77%1").arg(slot);
        p.Balance = balance;
        p.TurnOff = turnOff;
        p.QueryDateTime = At(2026, 12, 5, 14, 30, 15);
        return p;
    }

    TestHome home;
    TProgramState state{InitPaths()};
    QString out = home.file(QStringLiteral("current.xlsx"));
};
}  // namespace

TEST_F(CurrentWorkbookTest, AllPhonesInSlotOrderWithFiguresTypesAndMarks)
{
    TIssa &p2 = phone(2, QStringLiteral("9031112233"), 12.345f, 10);
    p2.ObPlat = 0;
    p2.Average = 3.5f;
    p2.BalDelta = -1.25f;
    p2.Recomend = 150;
    p2.SMS = 0;
    p2.Minutes = 45;
    p2.JeansExpired = 12;
    p2.USDRate = 28.5f;
    phone(5, QStringLiteral("9034445566"), 1.0f, 1);  // red by balance and by turn-off
    phone(9, QStringLiteral("9037778899"), 50.0f, 0);
    state.IssaArray[9].QueryDateTime = 0;  // never queried: not exported
    MonitorPhone(state.Setup, 11, QStringLiteral("9030000000"));
    phone(14, QStringLiteral("9031231231"), 40.0f, 2);  // red by turn-off only (2 <= 2)
    TIssa &unmonitored = state.IssaArray[20];
    unmonitored.Balance = 1;
    unmonitored.QueryDateTime = At(2026, 12, 5, 10, 0);

    ASSERT_EQ(WriteCurrentWorkbook(state, out, false), 3);
    ReadBackSheet sheet(out);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 15);

    // Bold captions, columns fitted to them.
    for (int col = 1; col <= 15; ++col) {
        EXPECT_TRUE(sheet.cell(1, col).bold) << col;
        EXPECT_GE(sheet.width(col), sheet.cell(1, col).value.toString().size()) << col;
    }

    // Slot 2.
    EXPECT_EQ(sheet.cell(2, 1).value.toString(), "Alias2");
    EXPECT_EQ(sheet.cell(2, 2).value.toString(), "Иванов 2");
    EXPECT_EQ(sheet.cell(2, 3).value.toString(), "(903) 111-2233");
    EXPECT_EQ(sheet.cell(2, 4).value.toString(), "772");
    EXPECT_EQ(sheet.cell(2, 4).type, "str");
    EXPECT_DOUBLE_EQ(sheet.cell(2, 5).value.toDouble(), 12.35);
    EXPECT_TRUE(sheet.cell(2, 5).bold);
    EXPECT_TRUE(sheet.cell(2, 5).colour.isEmpty() || sheet.cell(2, 5).colour == "000000");
    EXPECT_TRUE(sheet.cell(2, 9).colour.isEmpty() || sheet.cell(2, 9).colour == "000000");
    // Zero promised payment and zero SMS are written.
    const double figures[] = {0, 3.5, -1.25, 10, 150, 0, 45, 12, 28.5};
    for (int col = 6; col <= 14; ++col) {
        EXPECT_TRUE(sheet.cell(2, col).present) << col;
        EXPECT_EQ(sheet.cell(2, col).value.toDouble(), figures[col - 6]) << col;
        EXPECT_NE(sheet.cell(2, col).type, "str") << col;
    }
    EXPECT_NE(sheet.cell(2, 5).type, "str");
    // The query time: a real date-time.
    EXPECT_EQ(sheet.cell(2, 15).type, "datetime");
    EXPECT_EQ(sheet.cell(2, 15).value.toString(), "2026-12-05T14:30:15");
    EXPECT_FALSE(sheet.cell(2, 1).bold);

    // Slot 5: balance bold and red, turn-off red.
    EXPECT_EQ(sheet.cell(3, 1).value.toString(), "Alias5");
    EXPECT_TRUE(sheet.cell(3, 5).bold);
    EXPECT_EQ(sheet.cell(3, 5).colour, "FF0000");
    EXPECT_EQ(sheet.cell(3, 9).colour, "FF0000");
    EXPECT_FALSE(sheet.cell(3, 9).bold);
    // Slot 14 next (9 and 11 were never queried, 20 is not monitored).
    EXPECT_EQ(sheet.cell(4, 1).value.toString(), "Alias14");
    EXPECT_NE(sheet.cell(4, 5).colour, "FF0000");
    EXPECT_EQ(sheet.cell(4, 9).colour, "FF0000");
}

TEST_F(CurrentWorkbookTest, RedOnlyTakesThePhonesMarkedByBalanceOrTurnOff)
{
    phone(1, QStringLiteral("9030000001"), 40.0f, 0);
    phone(3, QStringLiteral("9030000003"), 2.0f, 30);  // below the balance threshold only
    phone(4, QStringLiteral("9030000004"), 60.0f, 20);
    TSetupPhoneLine own = state.Setup.Line(4);  // its own thresholds make it red
    own.ExSettings = {true, 100.0f, 1};
    state.Setup.SetLine(4, own);

    EXPECT_TRUE(HasRedPhones(state));
    EXPECT_EQ(CurrentExportSlots(state, true), (QList<int>{3, 4}));
    ASSERT_EQ(WriteCurrentWorkbook(state, out, true), 2);
    ReadBackSheet sheet(out);
    EXPECT_EQ(sheet.maxRow(), 3);
    EXPECT_EQ(sheet.cell(2, 1).value.toString(), "Alias3");
    EXPECT_EQ(sheet.cell(2, 5).colour, "FF0000");
    EXPECT_NE(sheet.cell(2, 9).colour, "FF0000");
    EXPECT_EQ(sheet.cell(3, 1).value.toString(), "Alias4");
}

TEST_F(CurrentWorkbookTest, NoRedPhoneWhenTheRedOnesWereNeverQueried)
{
    phone(1, QStringLiteral("9030000001"), 40.0f, 0);
    phone(2, QStringLiteral("9030000002"), 1.0f, 0);
    state.IssaArray[2].QueryDateTime = 0;
    EXPECT_FALSE(HasRedPhones(state));
    EXPECT_TRUE(CurrentExportSlots(state, true).isEmpty());
    EXPECT_EQ(CurrentExportSlots(state, false), QList<int>{1});
}

TEST_F(CurrentWorkbookTest, DefaultFileName)
{
    EXPECT_EQ(DefaultCurrentExportName(QDateTime(QDate(2026, 12, 5), QTime(14, 30, 59))),
              "Balance 05-12-26 14-30.xlsx");
    EXPECT_EQ(DefaultCurrentExportName(QDateTime(QDate(2027, 1, 9), QTime(7, 5))), "Balance 09-01-27 07-05.xlsx");
}
