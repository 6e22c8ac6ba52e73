#include "records/NumberText.h"

#include <algorithm>

namespace pw {
namespace {

// The digits of a magnitude, least significant first; 39 hold any 128-bit one.
int ReversedDigits(unsigned __int128 magnitude, char* digits) {
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return count;
}

}  // namespace

std::string FormatCurrency(std::int64_t tenThousandths) {
    // Unsigned arithmetic: the negation of the most negative count overflows
    // a signed one.
    const bool negative = tenThousandths < 0;
    const std::uint64_t magnitude = negative ? 0u - static_cast<std::uint64_t>(tenThousandths)
                                             : static_cast<std::uint64_t>(tenThousandths);
    return FormatDecimal(magnitude, 4, negative);
}

std::string FormatDecimal(unsigned __int128 magnitude, std::int32_t scale, bool negative, std::int32_t minDigits) {
    const int fraction = std::clamp<std::int32_t>(scale, 0, kMaxDecimalTextScale);
    const int width = std::max(std::clamp<std::int32_t>(minDigits, 0, kMaxDecimalTextScale), fraction + 1);
    const bool showSign = negative && magnitude != 0;

    char digits[40];
    const int count = ReversedDigits(magnitude, digits);
    const int shown = std::max(count, width);

    std::string text;
    text.reserve(static_cast<std::size_t>(shown) + 2);
    if (showSign) text.push_back('-');
    for (int i = shown - 1; i >= 0; --i) {
        if (i == fraction - 1) text.push_back('.');
        text.push_back(i < count ? digits[i] : '0');
    }
    return text;
}

}  // namespace pw
