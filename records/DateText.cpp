#include "records/DateText.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "pagestore/FieldReaders.h"
#include "records/ScalarDecoders.h"

namespace pw {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Serial of 0001-01-01 and of 9999-12-31.
constexpr double kFirstSerialDay = -693593.0;
constexpr double kLastSerialDay = 2958465.0;
// Days from 0001-01-01 to the serial's day 0.
constexpr std::int64_t kDayZero = 693593;

struct CivilDate {
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
};

bool IsLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// n = days since 0001-01-01, n >= 0.
CivilDate CivilFromDayCount(std::int64_t n) {
    static constexpr int kStarts[2][13] = {
        {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
        {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
    };
    const std::int64_t q400 = n / 146097;
    std::int64_t r = n % 146097;
    std::int64_t c = r / 36524;
    if (c > 3) c = 3;  // the last day of a 400-year cycle
    r -= 36524 * c;
    const std::int64_t q4 = r / 1461;
    r %= 1461;
    std::int64_t y = r / 365;
    if (y > 3) y = 3;  // the last day of a leap year
    r -= 365 * y;

    CivilDate date;
    date.year = 400 * q400 + 100 * c + 4 * q4 + y + 1;
    const int* starts = kStarts[IsLeapYear(date.year) ? 1 : 0];
    int month = 0;
    while (month < 11 && starts[month + 1] <= r) ++month;
    date.month = month + 1;
    date.day = static_cast<int>(r - starts[month]) + 1;
    return date;
}

}  // namespace

std::string FormatDateSerial(double serial) {
    if (!std::isfinite(serial) || serial <= kFirstSerialDay - 1.0 || serial >= kLastSerialDay + 1.0)
        return {};

    const double wholeDays = std::trunc(serial);
    std::int64_t days = static_cast<std::int64_t>(wholeDays);
    std::int64_t seconds = static_cast<std::int64_t>(std::fabs(serial - wholeDays) * kSecondsPerDay + 0.5);
    // 23:59:59.5 and later round up to the next midnight, not to hour 24.
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++days;
    }

    const CivilDate date = CivilFromDayCount(days + kDayZero);
    const std::int64_t shownYear = date.year == 1899 ? 2001 : date.year;
    // "%02d/%02d/%02d %02d:%02d:%02d", written directly: every field is 0-99
    // here and this runs once per date cell.
    const int fields[6] = {date.month,
                           date.day,
                           static_cast<int>(shownYear % 100),
                           static_cast<int>(seconds / 3600),
                           static_cast<int>(seconds / 60 % 60),
                           static_cast<int>(seconds % 60)};
    std::string text = "00/00/00 00:00:00";
    for (int i = 0; i < 6; ++i) {
        text[static_cast<std::size_t>(3 * i)] = static_cast<char>('0' + fields[i] / 10 % 10);
        text[static_cast<std::size_t>(3 * i + 1)] = static_cast<char>('0' + fields[i] % 10);
    }
    return text;
}

DecodedCell DecodeDateValue(ByteView page, std::int64_t position) {
    const double serial = std::bit_cast<double>(static_cast<std::uint64_t>(ReadInt64(page, position)));
    std::string text = FormatDateSerial(serial);
    if (text.empty()) return {};
    return {std::move(text), TypedValue::Date(serial)};
}

}  // namespace pw
