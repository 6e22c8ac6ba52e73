#include "records/CalendarDate.h"

#include <cmath>
#include <cstdint>

namespace pw {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year;

constexpr sys_days kSerialDayZero{year{1899} / 12 / 30};
constexpr std::int64_t kFirstDay = (sys_days{year{1} / 1 / 1} - kSerialDayZero).count();
constexpr std::int64_t kLastDay = (sys_days{year{9999} / 12 / 31} - kSerialDayZero).count();
constexpr std::int64_t kSecondsPerDay = 86400;

}  // namespace

std::optional<CivilDateTime> DateTimeFromSerial(double serial) {
    // Tested on the double, before any integer conversion: a damaged serial may
    // hold any bit pattern, and only a day inside the range converts safely.
    if (!std::isfinite(serial) || serial <= static_cast<double>(kFirstDay) - 1.0 ||
        serial >= static_cast<double>(kLastDay) + 1.0)
        return std::nullopt;

    const double wholeDays = std::trunc(serial);
    std::int64_t day = static_cast<std::int64_t>(wholeDays);
    std::int64_t seconds = static_cast<std::int64_t>(std::fabs(serial - wholeDays) * kSecondsPerDay + 0.5);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    CivilDateTime result;
    result.date = std::chrono::year_month_day{kSerialDayZero + days{day}};
    result.timeOfDay = std::chrono::seconds{seconds};
    return result;
}

}  // namespace pw
