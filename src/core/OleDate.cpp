#include "OleDate.h"

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
}  // namespace

TDateTime ToOleDate(const QDateTime &dt)
{
    const QDateTime local = dt.toLocalTime();
    const qint64 days = kEpoch.daysTo(local.date());
    const double frac = local.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before the epoch the fraction still counts forward from midnight, with
    // the sign of the day part (the classic encoding).
    return days >= 0 ? days + frac : days - frac;
}

QDateTime FromOleDate(TDateTime value)
{
    const double whole = std::trunc(value);
    const double frac = std::fabs(value - whole);
    qint64 ms = std::llround(frac * kMsPerDay);
    qint64 dayCount = static_cast<qint64>(whole);
    if (ms >= static_cast<qint64>(kMsPerDay)) {
        ms -= static_cast<qint64>(kMsPerDay);
        dayCount += value >= 0 ? 1 : -1;
    }
    return QDateTime(kEpoch.addDays(dayCount), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

TDateTime NowOle()
{
    return ToOleDate(QDateTime::currentDateTime());
}
