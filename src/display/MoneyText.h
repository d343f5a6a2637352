#pragma once
// A sum of money as the hint and the phones window show it: two decimals,
// "." as the separator ("100.25", "-3.50").
#include <QString>

inline QString MoneyText(float value)
{
    return QString::asprintf("%.2f", static_cast<double>(value));
}
