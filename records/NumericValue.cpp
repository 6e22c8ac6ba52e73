#include <cstdint>
#include <limits>
#include <string>

#include "pagestore/FieldReaders.h"
#include "records/ScalarDecoders.h"

namespace pw {
namespace {

constexpr std::int32_t kMaxPrecision = 38;
constexpr std::int64_t kNumericSize = 17;

std::string DecimalDigits(unsigned __int128 value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

// The stored value: byte 0 holds the sign in its top bit, then the magnitude
// as four 32-bit little-endian groups, the most significant group first.
void ReadNumeric(ByteView page, std::int64_t position, unsigned __int128& magnitude, bool& negative) {
    magnitude = 0;
    negative = false;
    if (position > std::numeric_limits<std::int64_t>::max() - kNumericSize) return;
    negative = (ReadInt8(page, position) & 0x80) != 0;
    for (std::int64_t group = 0; group < 4; ++group)
        magnitude = (magnitude << 32) | static_cast<std::uint32_t>(ReadInt32(page, position + 1 + 4 * group));
}

}  // namespace

DecodedCell DecodeNumericValue(ByteView page, std::int64_t position, std::int32_t precision,
                               std::int32_t scale) {
    unsigned __int128 magnitude = 0;
    bool negative = false;
    ReadNumeric(page, position, magnitude, negative);
    negative = negative && magnitude != 0;

    // A damaged column record may carry any precision and scale: a scale that
    // cannot be meant is ignored, and an unusable precision pads nothing.
    const std::int32_t usedScale = scale >= 0 && scale <= kMaxPrecision ? scale : 0;
    const bool precisionUsable =
        precision > 0 && precision <= kMaxPrecision && scale >= 0 && scale <= precision;
    const std::size_t width = static_cast<std::size_t>(precisionUsable ? precision : usedScale);

    std::string digits = DecimalDigits(magnitude);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    if (usedScale > 0) {
        const std::size_t integerDigits = digits.size() - static_cast<std::size_t>(usedScale);
        digits.insert(integerDigits, 1, '.');
        if (integerDigits == 0) digits.insert(0, 1, '0');
    }
    if (negative) digits.insert(0, 1, '-');

    TypedValue value;
    value.kind = TypedValue::Kind::Decimal;
    value.decimalMagnitude = magnitude;
    value.decimalScale = usedScale;
    value.decimalNegative = negative;
    return {std::move(digits), std::move(value)};
}

}  // namespace pw
