#pragma once
// A sum of money as the hint and the phones window show it: two decimals,
// "." as the separator ("100.25", "-3.50"), and what a phone's figures are
// worth: none yet, current, or the last good ones after a failed request.
#include "PhoneTable.h"

#include <QString>

inline QString MoneyText(float value)
{
    return QString::asprintf("%.2f", static_cast<double>(value));
}

// Shown where a phone has no figure at all: never a number, never red.
inline QString NoDataText()
{
    return QStringLiteral("—");
}

enum class TFigures { None, Current, Stale };

// None: never read (and no history); Current: read by the last request;
// Stale: the figures of an earlier query (the last request failed, or they
// come from the history and are older than the refresh time).
inline TFigures PhoneFigures(const TIssa &issa)
{
    if (issa.QueryDateTime == 0)
        return TFigures::None;
    return issa.Success ? TFigures::Current : TFigures::Stale;
}
