#include "PhoneTable.h"
#include "Common.h"

#include <gtest/gtest.h>

namespace {
void fillGood(TIssaArray &table, int slot, float balance)
{
    TIssa &r = table[slot];
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
    TIssaArray table{};
    fillGood(table, 3, 12.5f);
    table[3].ErrorMsg = QStringLiteral("x");
    table[3].State = dsError;
    ClearIssa(table[3]);
    EXPECT_TRUE(table[3].PhoneNumber.isEmpty() && table[3].UserName.isEmpty() && table[3].ErrorMsg.isEmpty());
    EXPECT_EQ(table[3].Balance, 0.0f);
    EXPECT_FALSE(table[3].Success);
    EXPECT_EQ(table[3].State, dsNone);
    EXPECT_EQ(table[3].LoadedPages.size(), 1);

    fillGood(table, 2, 10);
    fillGood(table, 7, 20);
    table[7].Success = false;
    table[7].State = dsError;
    table[7].ErrorMsg = QStringLiteral("Ошибка");
    SetNotSuccessToIssaArrayWhereBad(table);
    EXPECT_TRUE(table[2].Success);
    EXPECT_EQ(table[2].LoadedPages.size(), 1);
    EXPECT_EQ(table[7].State, dsNone);
    EXPECT_TRUE(table[7].ErrorMsg.isEmpty() && table[7].LoadedPages.isEmpty());
    EXPECT_EQ(table[7].Balance, 20.0f);

    fillGood(table, 0, 1);
    fillGood(table, MaxPhones, 2);
    fillGood(table, MaxPhones + 1, 3);
    SetNotSuccessToIssaArray(table);
    EXPECT_TRUE(table[0].Success);
    EXPECT_FALSE(table[2].Success || table[MaxPhones].Success);
    EXPECT_TRUE(table[MaxPhones + 1].Success);
    EXPECT_EQ(table[2].Balance, 10.0f);
}

// How a phone is named: the number formatted when it has ten characters, then
// the alias as typed, else the trimmed user name, else the number.
TEST(PhoneTable, PhoneNames)
{
    TIssaArray table{};
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghij")), QStringLiteral("(abc) def-ghij"));
    EXPECT_EQ(FormatPhoneNumber(QStringLiteral("abcdefghijk")), QStringLiteral("abcdefghijk"));
    TIssa &r = table[9];
    r.PhoneNumber = QStringLiteral("9161234567");
    EXPECT_EQ(PhoneHumanInfo(table[9]), QStringLiteral("(916) 123-4567"));
    r.UserName = QStringLiteral("Иванов И.И.");
    EXPECT_EQ(PhoneHumanInfo(table[9]), QStringLiteral("(916) 123-4567 [Иванов И.И.]"));
    r.Alias = QStringLiteral("Мама");
    EXPECT_EQ(PhoneHumanInfo(table[9]), QStringLiteral("(916) 123-4567 [Мама]"));

    TIssa &s = table[4];
    s.PhoneNumber = QStringLiteral("  9031112233 ");
    s.UserName = QStringLiteral("   ");
    EXPECT_EQ(PhoneAliasEx(table[4]), QStringLiteral("9031112233"));
    s.UserName = QStringLiteral(" Петров П. ");
    EXPECT_EQ(PhoneAliasEx(table[4]), QStringLiteral("Петров П."));
    s.Alias = QStringLiteral(" Дача ");
    EXPECT_EQ(PhoneAliasEx(table[4]), QStringLiteral(" Дача "));
}
