#include <cstdint>
#include <limits>
#include <string>

#include "pagestore/FieldReaders.h"
#include "records/NumberText.h"
#include "records/ScalarDecoders.h"

namespace pw {
namespace {

constexpr std::int32_t kMaxPrecision = 38;
constexpr std::int64_t kNumericSize = 17;

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
    const std::int32_t width = precisionUsable ? precision : usedScale;
    std::string text = FormatDecimal(magnitude, usedScale, negative, width);

    TypedValue value;
    value.kind = TypedValue::Kind::Decimal;
    value.decimalMagnitude = magnitude;
    value.decimalScale = usedScale;
    value.decimalNegative = negative;
    return {std::move(text), std::move(value)};
}

}  // namespace pw
