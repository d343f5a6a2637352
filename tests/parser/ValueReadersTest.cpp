// The value readers: the cut between two markers and the conversion to the
// record's 32-bit float and integer.

#include "BalanceParser2.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}
const QString kDefault = QStringLiteral("DEFAULT");
float single(const char16_t *cell, float def = 0)
{
    return GetSingleParam(cell, {}, u" ", def);
}
std::int32_t integer(const char16_t *cell, std::int32_t def = 0)
{
    return GetIntegerParam(cell, {}, u" ", def);
}
} // namespace

// ---------------------------------------------------------------- GetStringParam

TEST(GetStringParam, EmptyMarkersGiveTheWholeStrippedLine)
{
    EXPECT_EQ(GetStringParam(u"<td> Петров Пётр </td>", {}, {}, kDefault), S(u"Петров Пётр"));
    EXPECT_EQ(GetStringParam(u"<td></td>", {}, {}, kDefault), kDefault);
    EXPECT_EQ(GetStringParam(u"<td>&nbsp;</td>", {}, {}, QString()), QString());
}

TEST(GetStringParam, CutsAfterTheStartMarkerAndBeforeTheEndMarker)
{
    EXPECT_EQ(GetStringParam(u"<td>рек.опл: 150 руб.</td>", u"рек.опл: ", u" ", kDefault), S(u"150"));
    EXPECT_EQ(GetStringParam(u"<td>Итого: 150</td>", u"Итого: ", u" ", kDefault), S(u"150")); // no end: the rest
    EXPECT_EQ(GetStringParam(u"<td>a 1 b 2 b</td>", u"a ", u" b", kDefault), S(u"1")); // first end marker
    EXPECT_EQ(GetStringParam(u"<td>x:  y</td>", u"x:", {}, kDefault), S(u"  y")); // not trimmed
}

TEST(GetStringParam, TheStartMarkerTakesEverythingBeforeIt)
{
    EXPECT_EQ(GetStringParam(u"<td>Остаток смс составляет 25 шт.</td>", u"смс составляет ", u" ", kDefault), S(u"25"));
}

TEST(GetStringParam, AnAbsentStartMarkerStillDropsItsLength)
{
    // "Рек" is not "рек" for the cut: nine characters go from the start.
    EXPECT_EQ(GetStringParam(u"<td>Итого Рек.опл: 5</td>", u"рек.опл: ", u" ", kDefault), S(u".опл:"));
    EXPECT_EQ(GetStringParam(u"<td>Рек.опл: 5</td>", u"рек.опл: ", u" ", kDefault), S(u"5"));
    EXPECT_EQ(GetStringParam(u"<td>ab</td>", u"xyz", {}, kDefault), kDefault);
}

TEST(GetStringParam, LatinMarkersIgnoreLetterCase)
{
    EXPECT_EQ(GetStringParam(u"<td>Остаток SMS составляет 35 шт.</td>", u"sms составляет ", u" ", kDefault), S(u"35"));
}

TEST(GetStringParam, AnEndMarkerRightAfterTheStartGivesTheDefault)
{
    EXPECT_EQ(GetStringParam(u"<td>рек.опл:  150</td>", u"рек.опл: ", u" ", kDefault), kDefault);
}

// ---------------------------------------------------------------- GetSingleParam

TEST(GetSingleParam, ReadsCommasAndDotsAndDropsTheUnit)
{
    EXPECT_EQ(single(u"<td>12,5 у.е.</td>"), 12.5f);
    EXPECT_EQ(single(u"<td> 12,5</td>"), 12.5f);
    EXPECT_EQ(single(u"<td>12.34 у.е.</td>"), 12.34f);
    EXPECT_EQ(single(u"<td><b>245,50</b> у.е.</td>"), 245.5f);
    EXPECT_EQ(GetSingleParam(u"<td>рек.опл:  150</td>", u"рек.опл: ", u" ", 0), 0.0f);
}

TEST(GetSingleParam, AcceptsSignFractionAndExponent)
{
    EXPECT_EQ(single(u"<td>-3.5</td>"), -3.5f);
    EXPECT_EQ(single(u"<td>+2</td>"), 2.0f);
    EXPECT_EQ(single(u"<td>.5</td>"), 0.5f);
    EXPECT_EQ(single(u"<td>5.</td>"), 5.0f);
    EXPECT_EQ(single(u"<td>1e3</td>"), 1000.0f);
    EXPECT_EQ(single(u"<td>1,5E-2</td>"), 0.015f);
    EXPECT_EQ(single(u"<td>007,50</td>"), 7.5f);
}

TEST(GetSingleParam, AnythingElseGivesTheDefault)
{
    for (const char16_t *cell :
        {u"<td>нет данных</td>", u"<td>около 5</td>", u"<td>12,5руб</td>", u"<td>1,234.5</td>", u"<td>-</td>",
            u"<td>.</td>", u"<td>e5</td>", u"<td>1e</td>", u"<td>1e+</td>", u"<td>0x10</td>", u"<td>5\tу.е.</td>",
            u"<td>٣</td>", u"<td>５</td>", u"<td>inf</td>", u"<td>nan</td>", u"<td>--1</td>", u"<td></td>"})
        EXPECT_EQ(single(cell, 7.0f), 7.0f) << QString::fromUtf16(cell).toStdString();
}

TEST(GetSingleParam, ThousandsSeparatorsAreNotUnderstood)
{
    EXPECT_EQ(single(u"<td>1 234,50 руб.</td>"), 1.0f);
    EXPECT_EQ(single(u"<td>1&nbsp;234,50</td>"), 1.0f);
}

TEST(GetSingleParam, RoundsToThe32BitFloat)
{
    EXPECT_EQ(single(u"<td>0.1</td>"), 0.1f);
    EXPECT_EQ(single(u"<td>16777217</td>"), 16777216.0f);
    EXPECT_EQ(single(u"<td>3.4e38</td>"), 3.4e38f);
    // Beyond the float range there is no balance to show: the default.
    EXPECT_EQ(single(u"<td>1e39</td>", 7.0f), 7.0f);
    EXPECT_EQ(single(u"<td>-1e99999</td>", 7.0f), 7.0f);
    // Below it: zero, with its sign.
    EXPECT_EQ(single(u"<td>1e-50</td>", 7.0f), 0.0f);
    EXPECT_TRUE(std::signbit(single(u"<td>-1e-50</td>", 7.0f)));
    EXPECT_TRUE(std::signbit(single(u"<td>-0</td>", 7.0f)));
}

// ---------------------------------------------------------------- GetIntegerParam

TEST(GetIntegerParam, ReadsWholeNumbers)
{
    EXPECT_EQ(integer(u"<td>45 минут</td>"), 45);
    EXPECT_EQ(integer(u"<td>-7</td>"), -7);
    EXPECT_EQ(integer(u"<td>+7</td>"), 7);
    EXPECT_EQ(integer(u"<td>007</td>"), 7);
    EXPECT_EQ(GetIntegerParam(u"<td>a: 5</td>", u"a:", {}, 0), 5); // leading blanks
}

TEST(GetIntegerParam, KeepsTo32Bits)
{
    EXPECT_EQ(integer(u"<td>2147483647</td>"), 2147483647);
    EXPECT_EQ(integer(u"<td>-2147483648</td>"), -2147483647 - 1);
    EXPECT_EQ(integer(u"<td>2147483648</td>", 3), 3);
    EXPECT_EQ(integer(u"<td>-2147483649</td>", 3), 3);
    EXPECT_EQ(integer(u"<td>99999999999999999999999</td>", 3), 3);
}

TEST(GetIntegerParam, AnythingElseGivesTheDefault)
{
    for (const char16_t *cell :
        {u"<td>00:45:00</td>", u"<td>3.5</td>", u"<td>3,0</td>", u"<td>$1F</td>", u"<td>0x1F</td>", u"<td>1e3</td>",
            u"<td>-</td>", u"<td>+</td>", u"<td></td>", u"<td>12шт</td>", u"<td>٣</td>"})
        EXPECT_EQ(integer(cell, 3), 3) << QString::fromUtf16(cell).toStdString();
    EXPECT_EQ(GetIntegerParam(u"<td>x5 y</td>", u"x", u"y", 3), 3); // a trailing blank is not allowed
}
