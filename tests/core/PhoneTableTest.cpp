#include "PhoneTable.h"
#include "Common.h"

#include <gtest/gtest.h>

// Clearing empties the figures but keeps the loaded pages; a reset keeps the
// figures but drops the pages and the error; the table-wide resets cover
// slots 1..MaxPhones, the "where bad" one only the failed slots.
TEST(PhoneTable, ClearResetsAndNames)
{
    TIssaArray table{};
    for (int slot : {0, 2, 3, 7, MaxPhones, MaxPhones + 1}) {
        TIssa &r = table[slot];
        r.PhoneNumber = "9161234567";
        r.UserName = "Иванов";
        r.Balance = float(slot);
        r.Success = slot != 7;
        r.ErrorMsg = "Ошибка";
        r.State = dsError;
        r.LoadedPages = {"page"};
    }
    ClearIssa(table[3]);
    EXPECT_TRUE(table[3].PhoneNumber.isEmpty() && table[3].UserName.isEmpty() && table[3].ErrorMsg.isEmpty());
    EXPECT_TRUE(table[3].Balance == 0 && !table[3].Success && table[3].State == dsNone);
    EXPECT_EQ(table[3].LoadedPages.size(), 1);

    SetNotSuccessToIssaArrayWhereBad(table);
    EXPECT_TRUE(table[2].Success && table[2].LoadedPages.size() == 1);
    EXPECT_TRUE(table[7].State == dsNone && table[7].ErrorMsg.isEmpty() && table[7].LoadedPages.isEmpty());
    EXPECT_EQ(table[7].Balance, 7.0f);

    SetNotSuccessToIssaArray(table);
    EXPECT_TRUE(table[0].Success && table[MaxPhones + 1].Success);
    EXPECT_FALSE(table[2].Success || table[MaxPhones].Success);
    EXPECT_EQ(table[2].Balance, 2.0f);

    // How a phone is named: the number formatted when it has ten characters,
    // then the alias as typed, else the trimmed user name, else the number.
    EXPECT_EQ(FormatPhoneNumber("abcdefghij"), "(abc) def-ghij");
    EXPECT_EQ(FormatPhoneNumber("abcdefghijk"), "abcdefghijk");
    TIssa r, s;
    r.PhoneNumber = "9161234567";
    EXPECT_EQ(PhoneHumanInfo(r), "(916) 123-4567");
    r.UserName = "Иванов И.И.";
    EXPECT_EQ(PhoneHumanInfo(r), "(916) 123-4567 [Иванов И.И.]");
    r.Alias = "Мама";
    EXPECT_EQ(PhoneHumanInfo(r), "(916) 123-4567 [Мама]");

    s.PhoneNumber = "  9031112233 ";
    s.UserName = "   ";
    EXPECT_EQ(PhoneAliasEx(s), "9031112233");
    s.UserName = " Петров П. ";
    EXPECT_EQ(PhoneAliasEx(s), "Петров П.");
    s.Alias = " Дача ";
    EXPECT_EQ(PhoneAliasEx(s), " Дача ");
}
