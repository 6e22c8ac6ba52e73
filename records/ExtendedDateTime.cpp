#include "records/ExtendedDateTime.h"

#include <chrono>
#include <cstdio>

namespace pw {
namespace {

constexpr std::int64_t kDigitsPerPart = 19;
constexpr std::int64_t kTimeOffset = kDigitsPerPart + 1;
constexpr std::int64_t kPrecisionOffset = 2 * kDigitsPerPart + 2;

// The 19 digits at `at` as a number; every one must be a digit. Nineteen
// digits can exceed the 64-bit range, so the value is capped on the way.
std::optional<std::int64_t> ReadDigits(ByteView page, std::int64_t at, std::int64_t cap) {
    std::int64_t value = 0;
    for (std::int64_t i = 0; i < kDigitsPerPart; ++i) {
        const std::uint8_t c = page[static_cast<std::size_t>(at + i)];
        if (c < '0' || c > '9') return std::nullopt;
        if (value <= cap) value = value * 10 + (c - '0');
    }
    if (value > cap) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::int64_t> ReadExtendedDateTime(ByteView page, std::int64_t position) {
    const std::int64_t size = static_cast<std::int64_t>(page.size());
    // The closing zero byte is not needed to read the value.
    const std::int64_t textLength = kPrecisionOffset + 1;
    if (position < 0 || position > size - textLength) return std::nullopt;
    const auto at = [&](std::int64_t offset) { return page[static_cast<std::size_t>(position + offset)]; };
    if (at(kDigitsPerPart) != ':' || at(kPrecisionOffset - 1) != ':') return std::nullopt;
    const std::uint8_t precision = at(kPrecisionOffset);
    if (precision < '0' || precision > '9') return std::nullopt;
    const auto days = ReadDigits(page, position, kExtendedDateTimeDays - 1);
    const auto ticks = ReadDigits(page, position + kTimeOffset, kTicksPerDay - 1);
    if (!days || !ticks) return std::nullopt;
    return *days * kTicksPerDay + *ticks;
}

std::string FormatExtendedDateTime(std::int64_t ticks) {
    if (ticks < 0 || ticks / kTicksPerDay >= kExtendedDateTimeDays) return {};
    using namespace std::chrono;
    const std::int64_t dayNumber = ticks / kTicksPerDay;
    const std::int64_t inDay = ticks % kTicksPerDay;
    const year_month_day date{sys_days{year{1} / January / 1} + days{dayNumber}};
    const std::int64_t seconds = inDay / kTicksPerSecond;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld.%07lld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60), static_cast<long long>(inDay % kTicksPerSecond));
    return text;
}

}  // namespace pw
