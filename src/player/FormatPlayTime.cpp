#include "player/FormatPlayTime.h"

#include <cstdlib>

namespace calvane {

QString FormatPlayTime(std::int32_t milliseconds)
{
    // Whole milliseconds make the seconds exact to three decimals, so integer
    // arithmetic gives the same text as the decimal formula without rounding
    // surprises. Minutes are rounded down, so a negative time has a negative
    // minute count and seconds from 0 to 59.999.
    const std::int64_t ms = milliseconds;
    std::int64_t minutes = ms / 60000;
    std::int64_t rest = ms % 60000;
    if (rest < 0) {
        rest += 60000;
        minutes -= 1;
    }
    const QString sign = minutes < 0 ? QStringLiteral("-") : QString();
    return QStringLiteral("%1%2:%3.%4")
        .arg(sign)
        .arg(std::llabs(minutes), 2, 10, QLatin1Char('0'))
        .arg(rest / 1000, 2, 10, QLatin1Char('0'))
        .arg(rest % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace calvane
