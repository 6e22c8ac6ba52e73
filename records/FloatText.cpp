#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "pagestore/FieldReaders.h"
#include "records/ScalarDecoders.h"
#include "records/ValueBounds.h"

namespace pw {
namespace {

// Decimals that leave `significant` digits in all, counting the integer
// digits; at least 4 once the integer part uses them up. Zero, negative and
// non-finite values also get 4. The logarithm goes through log2 in extended
// precision so that the digit count at exact powers of ten is reproducible.
int DecimalsFor(double x, int significant) {
    if (!(x > 0.0) || !std::isfinite(x)) return 4;
    const long double log10x = std::log2(static_cast<long double>(x)) * std::log10(2.0L);
    const long double decimals = significant - std::ceil(log10x);
    return decimals < 0 ? 4 : static_cast<int>(decimals);
}

// What "%.*f" prints, without the cost of printf on a hot path.
std::string FixedText(double x, int decimals) {
    // The longest double in fixed notation has 309 integer digits; decimals
    // stay below 350 (15 plus the 324 leading zeros of the smallest value).
    char text[1024];
    const auto [end, error] = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, decimals);
    if (error != std::errc()) return {};
    return std::string(text, end);
}

}  // namespace

DecodedCell DecodeSingleValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 4)) return {};
    const float stored = std::bit_cast<float>(static_cast<std::uint32_t>(ReadInt32(page, position)));
    const double x = stored;
    return {FixedText(x, DecimalsFor(x, 6)), TypedValue::Float(x, true)};
}

DecodedCell DecodeDoubleValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 8)) return {};
    const double x = std::bit_cast<double>(static_cast<std::uint64_t>(ReadInt64(page, position)));
    return {FixedText(x, DecimalsFor(x, 15)), TypedValue::Float(x, false)};
}

}  // namespace pw
