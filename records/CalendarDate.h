#pragma once

#include <chrono>
#include <optional>

namespace pw {

// A stored date serial read as a calendar date and a time of day to the
// second. Every text of a date is made from this, so the cell, the CSV and the
// dump cannot disagree on a day.
struct CivilDateTime {
    std::chrono::year_month_day date{};
    std::chrono::seconds timeOfDay{0};  // 0 to 86399
};

// Days since 1899-12-30; the fraction is the time of day, and it counts
// forward from the day even when the serial is negative (-1.25 is 1899-12-29
// 06:00:00). The day is the serial truncated towards zero; the time is rounded
// half up to the second, and a time that rounds to 24:00:00 becomes midnight of
// the next day. Nothing when the serial is not finite or its day lies outside
// 0001-01-01 to 9999-12-31 (only that rounding can reach 10000-01-01).
std::optional<CivilDateTime> DateTimeFromSerial(double serial);

}  // namespace pw
