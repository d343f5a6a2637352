// The figures of both workbooks are rounded on their exact 32-bit values,
// halves to the even neighbour.
#include "XlsxWorkbook.h"

#include <gtest/gtest.h>

TEST(RoundTo, HalvesGoToTheEvenNeighbourOnTheStoredValue)
{
    const struct {
        float stored;
        int places;
        double expected;
    } cases[] = {
        // Exact binary halves: ties, to even.
        {0.125f, 2, 0.12},
        {0.375f, 2, 0.38},
        {-0.125f, 2, -0.12},
        {2.5f, 0, 2.0},
        {3.5f, 0, 4.0},
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
        {28.1234f, 4, 28.1234},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RoundTo(c.stored, c.places), c.expected) << c.stored << " to " << c.places;
}
