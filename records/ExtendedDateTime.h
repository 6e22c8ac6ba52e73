#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pagestore/ByteView.h"

namespace pw {

// Date/Time Extended values (type code 20, Access 2016 on) are kept as ASCII
// in a 42-byte field: 19 digits of days since 0001-01-01, ':', 19 digits of
// 100-nanosecond ticks into that day, ':', one digit of fraction precision,
// then a zero byte. Days run to 9999-12-31; ticks stay below one day.
inline constexpr std::int64_t kExtendedDateTimeFieldSize = 42;
inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
// 0001-01-01 to 9999-12-31 inclusive.
inline constexpr std::int64_t kExtendedDateTimeDays = 3'652'059;

// The stored text at `position` as ticks since 0001-01-01 00:00:00. Nothing
// when the field does not lie wholly inside the page, a digit or separator is
// not where the layout puts it, or the day or the time of day is out of range.
std::optional<std::int64_t> ReadExtendedDateTime(ByteView page, std::int64_t position);

// "YYYY-MM-DD HH:MM:SS.fffffff" of a tick count; empty outside the range above.
std::string FormatExtendedDateTime(std::int64_t ticks);

}  // namespace pw
