#include "records/DateText.h"

#include <bit>
#include <cstdint>
#include <optional>

#include "pagestore/FieldReaders.h"
#include "records/CalendarDate.h"
#include "records/ScalarDecoders.h"

namespace pw {
namespace {

struct ClockFields {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

ClockFields ClockOf(const CivilDateTime& when) {
    const std::chrono::hh_mm_ss<std::chrono::seconds> clock{when.timeOfDay};
    return {static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
}

// Both forms are filled in place rather than printed: every field but the
// dump's year is 0-99, and this runs once per date cell.
void PutTwoDigits(std::string& text, std::size_t at, int value) {
    text[at] = static_cast<char>('0' + value / 10 % 10);
    text[at + 1] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string FormatDateSerial(double serial) {
    const std::optional<CivilDateTime> when = DateTimeFromSerial(serial);
    if (!when) return {};
    const int year = static_cast<int>(when->date.year());
    const int shownYear = year == 1899 ? 2001 : year;
    const ClockFields clock = ClockOf(*when);
    std::string text = "00/00/00 00:00:00";
    PutTwoDigits(text, 0, static_cast<int>(static_cast<unsigned>(when->date.month())));
    PutTwoDigits(text, 3, static_cast<int>(static_cast<unsigned>(when->date.day())));
    PutTwoDigits(text, 6, shownYear % 100);
    PutTwoDigits(text, 9, clock.hours);
    PutTwoDigits(text, 12, clock.minutes);
    PutTwoDigits(text, 15, clock.seconds);
    return text;
}

std::string FormatDateSerialIso(double serial) {
    const std::optional<CivilDateTime> when = DateTimeFromSerial(serial);
    if (!when) return {};
    // At least four year digits; the rounding into 10000-01-01 takes a fifth.
    std::string text = std::to_string(static_cast<int>(when->date.year()));
    if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
    const std::size_t at = text.size();
    text += "-00-00 00:00:00";
    const ClockFields clock = ClockOf(*when);
    PutTwoDigits(text, at + 1, static_cast<int>(static_cast<unsigned>(when->date.month())));
    PutTwoDigits(text, at + 4, static_cast<int>(static_cast<unsigned>(when->date.day())));
    PutTwoDigits(text, at + 7, clock.hours);
    PutTwoDigits(text, at + 10, clock.minutes);
    PutTwoDigits(text, at + 13, clock.seconds);
    return text;
}

DecodedCell DecodeDateValue(ByteView page, std::int64_t position) {
    const double serial = std::bit_cast<double>(static_cast<std::uint64_t>(ReadInt64(page, position)));
    std::string text = FormatDateSerial(serial);
    if (text.empty()) return {};
    return {std::move(text), TypedValue::Date(serial)};
}

}  // namespace pw
