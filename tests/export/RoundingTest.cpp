// The figures of both workbooks are rounded on their exact 32-bit values,
// halves to the even neighbour.
#include "XlsxWorkbook.h"

#include <gtest/gtest.h>

TEST(RoundTo, HalvesGoToTheEvenNeighbourOnTheStoredValue)
{
    // Exact binary halves: ties, to even.
    EXPECT_DOUBLE_EQ(RoundTo(0.125f, 2), 0.12);
    EXPECT_DOUBLE_EQ(RoundTo(0.375f, 2), 0.38);
    EXPECT_DOUBLE_EQ(RoundTo(-0.125f, 2), -0.12);
    EXPECT_DOUBLE_EQ(RoundTo(2.5f, 0), 2.0);
    EXPECT_DOUBLE_EQ(RoundTo(3.5f, 0), 4.0);
    // Stored a little below the printed half: down.
    EXPECT_DOUBLE_EQ(RoundTo(28.12345f, 4), 28.1234);
    EXPECT_DOUBLE_EQ(RoundTo(2.675f, 2), 2.67);
    // Stored a little above: up.
    EXPECT_DOUBLE_EQ(RoundTo(12.345f, 2), 12.35);
}

TEST(RoundTo, ValuesThatNeedNoRoundingStayAsPrinted)
{
    EXPECT_EQ(RoundTo(12.5f, 2), 12.5);
    EXPECT_EQ(RoundTo(28.5f, 4), 28.5);
    EXPECT_EQ(RoundTo(0.0f, 2), 0.0);
    // The nearest double to the decimal, not a neighbour of it.
    EXPECT_EQ(RoundTo(99.99f, 2), 99.99);
    EXPECT_EQ(RoundTo(-1234.57f, 2), -1234.57);
    EXPECT_EQ(RoundTo(28.1234f, 4), 28.1234);
}
