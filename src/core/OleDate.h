#pragma once
// Date-times are kept as days since 30 December 1899 with the time of day as
// the fraction (local time), in memory and in the history database.

#include <QDateTime>

using TDateTime = double;

TDateTime ToOleDate(const QDateTime &dt);
QDateTime FromOleDate(TDateTime days);
TDateTime NowOle();
// Whole-day part, as the date without its time.
inline double OleDateOnly(TDateTime d)
{
    return static_cast<double>(static_cast<long long>(d));
}
