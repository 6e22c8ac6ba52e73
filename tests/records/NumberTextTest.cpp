#include "records/NumberText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace pw {
namespace {

constexpr unsigned __int128 kLargestMagnitude = ~static_cast<unsigned __int128>(0);

TEST(FormatCurrency, FourDecimalsAndOneIntegerDigit) {
    EXPECT_EQ(FormatCurrency(0), "0.0000");
    EXPECT_EQ(FormatCurrency(5), "0.0005");
    EXPECT_EQ(FormatCurrency(-5), "-0.0005");
    EXPECT_EQ(FormatCurrency(10000), "1.0000");
    EXPECT_EQ(FormatCurrency(-125000), "-12.5000");
}

TEST(FormatCurrency, ExtremeCountsKeepEveryDigit) {
    EXPECT_EQ(FormatCurrency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
    EXPECT_EQ(FormatCurrency(std::numeric_limits<std::int64_t>::min() + 1), "-922337203685477.5807");
    EXPECT_EQ(FormatCurrency(std::numeric_limits<std::int64_t>::max()), "922337203685477.5807");
}

TEST(FormatDecimal, PointBeforeTheLastScaleDigits) {
    EXPECT_EQ(FormatDecimal(123, 2, false), "1.23");
    EXPECT_EQ(FormatDecimal(123, 0, false), "123");
    EXPECT_EQ(FormatDecimal(123, 0, true), "-123");
    EXPECT_EQ(FormatDecimal(0, 0, false), "0");
    EXPECT_EQ(FormatDecimal(kLargestMagnitude, 38, true), "-3.40282366920938463463374607431768211455");
}

TEST(FormatDecimal, ScaleBeyondTheDigitsGivesLeadingZeros) {
    EXPECT_EQ(FormatDecimal(5, 3, false), "0.005");
    EXPECT_EQ(FormatDecimal(5, 3, true), "-0.005");
    EXPECT_EQ(FormatDecimal(0, 2, false), "0.00");
    EXPECT_EQ(FormatDecimal(kLargestMagnitude, 39, false), "0.340282366920938463463374607431768211455");
}

TEST(FormatDecimal, NegativeZeroHasNoSign) {
    EXPECT_EQ(FormatDecimal(0, 0, true), "0");
    EXPECT_EQ(FormatDecimal(0, 4, true), "0.0000");
    EXPECT_EQ(FormatDecimal(0, 2, true, 5), "000.00");
}

TEST(FormatDecimal, DamagedScalesAreBounded) {
    EXPECT_EQ(FormatDecimal(1234, -1, false), "1234");
    EXPECT_EQ(FormatDecimal(1234, std::numeric_limits<std::int32_t>::min(), false), "1234");
    const std::string widest = FormatDecimal(1, std::numeric_limits<std::int32_t>::max(), false);
    EXPECT_EQ(widest, "0." + std::string(kMaxDecimalTextScale - 1, '0') + "1");
}

TEST(FormatDecimal, MinimumDigitsPadInFrontOnly) {
    EXPECT_EQ(FormatDecimal(123, 2, false, 18), "0000000000000001.23");
    EXPECT_EQ(FormatDecimal(123, 2, true, 18), "-0000000000000001.23");
    EXPECT_EQ(FormatDecimal(12345, 5, false, 5), "0.12345");  // one integer digit even at full scale
    EXPECT_EQ(FormatDecimal(1234567, 2, false, 5), "12345.67");  // a short width never cuts digits
    EXPECT_EQ(FormatDecimal(7, 0, false, -3), "7");
    EXPECT_EQ(FormatDecimal(7, 0, false, std::numeric_limits<std::int32_t>::max()).size(),
              static_cast<std::size_t>(kMaxDecimalTextScale));
}

}  // namespace
}  // namespace pw
