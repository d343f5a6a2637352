#include "PhoneTable.h"
#include "TestHome.h"

#include <gtest/gtest.h>

namespace {
void fillGood(int slot, float balance)
{
    TIssa &r = IssaArray[slot];
    r.PhoneID = slot;
    r.PhoneNumber = QStringLiteral("9161234567");
    r.UserName = QStringLiteral("Иванов");
    r.LicSchet = QStringLiteral("123");
    r.Balance = balance;
    r.SMS = 5;
    r.QueryDateTime = 45000.5;
    r.Success = true;
    r.LoadedPages = {QStringLiteral("page")};
}
}  // namespace

TEST(PhoneTable, ClearIssaEmptiesFiguresButKeepsLoadedPages)
{
    TestHome home;
    fillGood(3, 12.5f);
    IssaArray[3].ErrorMsg = QStringLiteral("x");
    IssaArray[3].State = dsError;
    ClearIssa(IssaArray[3]);
    const TIssa &r = IssaArray[3];
    EXPECT_EQ(r.PhoneID, 0);
    EXPECT_TRUE(r.PhoneNumber.isEmpty());
    EXPECT_TRUE(r.UserName.isEmpty());
    EXPECT_TRUE(r.LicSchet.isEmpty());
    EXPECT_TRUE(r.ErrorMsg.isEmpty());
    EXPECT_EQ(r.Balance, 0.0f);
    EXPECT_EQ(r.SMS, 0);
    EXPECT_EQ(r.QueryDateTime, 0.0);
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.State, dsNone);
    EXPECT_EQ(r.LoadedPages.size(), 1);
}

TEST(PhoneTable, SetNotSuccessKeepsFiguresAndDropsPages)
{
    TestHome home;
    fillGood(5, -3.25f);
    IssaArray[5].ErrorMsg = QStringLiteral("старая ошибка");
    IssaArray[5].State = dsError;
    SetNotSuccess(IssaArray[5]);
    const TIssa &r = IssaArray[5];
    EXPECT_FALSE(r.Success);
    EXPECT_TRUE(r.ErrorMsg.isEmpty());
    EXPECT_EQ(r.State, dsNone);
    EXPECT_TRUE(r.LoadedPages.isEmpty());
    EXPECT_EQ(r.Balance, -3.25f);
    EXPECT_EQ(r.PhoneNumber, QStringLiteral("9161234567"));
}

TEST(PhoneTable, TableWideResetsCoverSlotsOneToMaxPhonesOnly)
{
    TestHome home;
    fillGood(0, 1);
    fillGood(1, 1);
    fillGood(MaxPhones, 2);
    fillGood(MaxPhones + 1, 3);
    SetNotSuccessToIssaArray();
    EXPECT_TRUE(IssaArray[0].Success);
    EXPECT_FALSE(IssaArray[1].Success);
    EXPECT_FALSE(IssaArray[MaxPhones].Success);
    EXPECT_TRUE(IssaArray[MaxPhones + 1].Success);
}

TEST(PhoneTable, ResetWhereBadLeavesSuccessfulSlotsUntouched)
{
    TestHome home;
    fillGood(2, 10);
    fillGood(7, 20);
    IssaArray[7].Success = false;
    IssaArray[7].State = dsError;
    IssaArray[7].ErrorMsg = QStringLiteral("Ошибка");
    SetNotSuccessToIssaArrayWhereBad();
    EXPECT_TRUE(IssaArray[2].Success);
    EXPECT_EQ(IssaArray[2].LoadedPages.size(), 1);
    EXPECT_EQ(IssaArray[7].State, dsNone);
    EXPECT_TRUE(IssaArray[7].ErrorMsg.isEmpty());
    EXPECT_TRUE(IssaArray[7].LoadedPages.isEmpty());
    EXPECT_EQ(IssaArray[7].Balance, 20.0f);
}

TEST(PhoneTable, PhoneAliasExFallsBackToTrimmedNameThenNumber)
{
    TestHome home;
    TIssa &r = IssaArray[4];
    r.PhoneNumber = QStringLiteral("  9031112233 ");
    r.UserName = QStringLiteral("   ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral("9031112233"));
    r.UserName = QStringLiteral(" Петров П. ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral("Петров П."));
    r.Alias = QStringLiteral(" Дача ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral(" Дача "));  // the alias is shown as typed
}
