#pragma once

#include <cstdint>
#include <string>

namespace pw {

// Texts of the exact number types. The cell, the CSV and the dump all take
// their digits from here, so a value reads the same wherever it is shown.

// A signed count of ten-thousandths with exactly four decimals and at least
// one integer digit: 5 -> "0.0005", -125000 -> "-12.5000". The most negative
// count keeps its last digit.
std::string FormatCurrency(std::int64_t tenThousandths);

// The fraction digits a decimal text can hold. A stored decimal has at most
// 39 digits; a damaged scale beyond this would only add zeros.
inline constexpr std::int32_t kMaxDecimalTextScale = 60;

// A decimal magnitude with a point before its last `scale` digits and at
// least one integer digit, zero-padded in front to `minDigits` digits in all.
// The sign shows only when the magnitude is not zero. A scale below zero
// counts as zero; scale and minDigits are held to kMaxDecimalTextScale.
//   (123, 2, false)     -> "1.23"
//   (123, 2, false, 18) -> "0000000000000001.23"
std::string FormatDecimal(unsigned __int128 magnitude, std::int32_t scale, bool negative, std::int32_t minDigits = 0);

}  // namespace pw
