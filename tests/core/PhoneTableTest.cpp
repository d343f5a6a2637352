#include "PhoneTable.h"
#include "Common.h"
#include "TestHome.h"

#include <gtest/gtest.h>

namespace {
void fillGood(int slot, float balance)
{
    TIssa &r = IssaArray[slot];
    r.PhoneID = slot;
    r.PhoneNumber = QStringLiteral("9161234567");
    r.UserName = QStringLiteral("Иванов");
    r.Balance = balance;
    r.Success = true;
    r.LoadedPages = {QStringLiteral("page")};
}
}  // namespace

// Clearing empties the figures but keeps the loaded pages; a reset keeps the
// figures but drops the pages and the error; the table-wide resets cover
// slots 1..MaxPhones, the "where bad" one only the failed slots.
TEST(PhoneTable, ClearAndResets)
{
    TestHome home;
    fillGood(3, 12.5f);
    IssaArray[3].ErrorMsg = QStringLiteral("x");
    IssaArray[3].State = dsError;
    ClearIssa(IssaArray[3]);
    EXPECT_TRUE(IssaArray[3].PhoneNumber.isEmpty() && IssaArray[3].UserName.isEmpty()
                && IssaArray[3].ErrorMsg.isEmpty());
    EXPECT_EQ(IssaArray[3].Balance, 0.0f);
    EXPECT_FALSE(IssaArray[3].Success);
    EXPECT_EQ(IssaArray[3].State, dsNone);
    EXPECT_EQ(IssaArray[3].LoadedPages.size(), 1);

    fillGood(2, 10);
    fillGood(7, 20);
    IssaArray[7].Success = false;
    IssaArray[7].State = dsError;
    IssaArray[7].ErrorMsg = QStringLiteral("Ошибка");
    SetNotSuccessToIssaArrayWhereBad();
    EXPECT_TRUE(IssaArray[2].Success);
    EXPECT_EQ(IssaArray[2].LoadedPages.size(), 1);
    EXPECT_EQ(IssaArray[7].State, dsNone);
    EXPECT_TRUE(IssaArray[7].ErrorMsg.isEmpty() && IssaArray[7].LoadedPages.isEmpty());
    EXPECT_EQ(IssaArray[7].Balance, 20.0f);

    fillGood(0, 1);
    fillGood(MaxPhones, 2);
    fillGood(MaxPhones + 1, 3);
    SetNotSuccessToIssaArray();
    EXPECT_TRUE(IssaArray[0].Success);
    EXPECT_FALSE(IssaArray[2].Success || IssaArray[MaxPhones].Success);
    EXPECT_TRUE(IssaArray[MaxPhones + 1].Success);
    EXPECT_EQ(IssaArray[2].Balance, 10.0f);
}

// How a phone is named: the number formatted when it has ten characters, then
// the alias as typed, else the trimmed user name, else the number.
TEST(PhoneTable, PhoneNames)
{
    TestHome home;
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghij")), QStringLiteral("(abc) def-ghij"));
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghijk")), QStringLiteral("abcdefghijk"));
    TIssa &r = IssaArray[9];
    r.PhoneNumber = QStringLiteral("9161234567");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567"));
    r.UserName = QStringLiteral("Иванов И.И.");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567 [Иванов И.И.]"));
    r.Alias = QStringLiteral("Мама");
    EXPECT_EQ(PhoneHumanInfo(9), QStringLiteral("(916) 123-4567 [Мама]"));

    TIssa &s = IssaArray[4];
    s.PhoneNumber = QStringLiteral("  9031112233 ");
    s.UserName = QStringLiteral("   ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral("9031112233"));
    s.UserName = QStringLiteral(" Петров П. ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral("Петров П."));
    s.Alias = QStringLiteral(" Дача ");
    EXPECT_EQ(PhoneAliasEx(4), QStringLiteral(" Дача "));
}
