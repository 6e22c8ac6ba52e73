#include "records/ScalarDecoders.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "records/DateText.h"

namespace pw {
namespace {

constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int64_t>::max();

// A zeroed page with the given bytes at `position`.
std::vector<std::uint8_t> PageWith(std::int64_t position, std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    std::size_t at = static_cast<std::size_t>(position);
    for (std::uint8_t b : bytes) page[at++] = b;
    return page;
}

template <typename T>
std::vector<std::uint8_t> PageWithValue(std::int64_t position, T value) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    std::memcpy(page.data() + position, &value, sizeof value);
    return page;
}

std::string SingleText(float value) { return DecodeSingleValue(PageWithValue(10, value), 10).text; }
std::string DoubleText(double value) { return DecodeDoubleValue(PageWithValue(10, value), 10).text; }
std::string DateText(double serial) { return DecodeDateValue(PageWithValue(10, serial), 10).text; }

void ExpectRefused(const DecodedCell& cell) {
    EXPECT_EQ(cell.text, "");
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null);
}

TEST(IntegerDecoders, ByteIsUnsigned) {
    DecodedCell cell = DecodeByteValue(PageWith(5, {0xC8}), 5);
    EXPECT_EQ(cell.text, "200");
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Integer);
    EXPECT_EQ(cell.value.integer, 200);
    EXPECT_EQ(DecodeByteValue(PageWith(5, {0xFF}), 5).text, "255");
}

TEST(IntegerDecoders, WiderIntegersAreSigned) {
    EXPECT_EQ(DecodeIntValue(PageWith(0, {0xFF, 0xFF}), 0).text, "-1");
    EXPECT_EQ(DecodeIntValue(PageWith(0, {0x00, 0x80}), 0).text, "-32768");
    EXPECT_EQ(DecodeIntValue(PageWith(0, {0xFF, 0x7F}), 0).text, "32767");
    EXPECT_EQ(DecodeLongValue(PageWith(0, {0xFF, 0xFF, 0xFF, 0xFF}), 0).text, "-1");
    EXPECT_EQ(DecodeLongValue(PageWith(0, {0x2A, 0, 0, 0}), 0).text, "42");
    EXPECT_EQ(DecodeLongValue(PageWith(0, {0, 0, 0, 0x80}), 0).value.integer, INT32_MIN);

    DecodedCell big = DecodeBigIntValue(PageWithValue(0, std::numeric_limits<std::int64_t>::min()), 0);
    EXPECT_EQ(big.text, "-9223372036854775808");
    EXPECT_EQ(big.value.integer, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(DecodeBigIntValue(PageWithValue(0, std::int64_t{1} << 40), 0).text, "1099511627776");
}

TEST(IntegerDecoders, ValuesTouchingThePageEndAreRefused) {
    std::vector<std::uint8_t> page(kPageSize, 0x01);
    EXPECT_EQ(DecodeByteValue(page, 4095).text, "1");
    ExpectRefused(DecodeByteValue(page, 4096));
    ExpectRefused(DecodeByteValue(page, -1));

    EXPECT_EQ(DecodeIntValue(page, 4093).text, "257");
    ExpectRefused(DecodeIntValue(page, 4094));

    EXPECT_EQ(DecodeLongValue(page, 4091).text, "16843009");
    ExpectRefused(DecodeLongValue(page, 4092));  // last byte would be the page's last byte

    EXPECT_EQ(DecodeBigIntValue(page, 4087).value.kind, TypedValue::Kind::Integer);
    ExpectRefused(DecodeBigIntValue(page, 4088));
    ExpectRefused(DecodeCurrencyValue(page, 4088));
    ExpectRefused(DecodeSingleValue(page, 4092));
    ExpectRefused(DecodeDoubleValue(page, 4088));
}

TEST(IntegerDecoders, PositionsNearTheIntegerLimitsAreRefused) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    for (std::int64_t p : {kMaxPosition, kMaxPosition - 3, std::numeric_limits<std::int64_t>::min()}) {
        ExpectRefused(DecodeByteValue(page, p));
        ExpectRefused(DecodeIntValue(page, p));
        ExpectRefused(DecodeLongValue(page, p));
        ExpectRefused(DecodeBigIntValue(page, p));
        ExpectRefused(DecodeCurrencyValue(page, p));
        ExpectRefused(DecodeSingleValue(page, p));
        ExpectRefused(DecodeDoubleValue(page, p));
    }
}

TEST(CurrencyDecoder, FourDecimalsAndAtLeastOneIntegerDigit) {
    EXPECT_EQ(DecodeCurrencyValue(PageWith(0, {0x10, 0x27, 0, 0, 0, 0, 0, 0}), 0).text, "1.0000");
    EXPECT_EQ(DecodeCurrencyValue(PageWith(0, {0xF0, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0).text,
              "-1.0000");
    EXPECT_EQ(DecodeCurrencyValue(PageWith(0, {}), 0).text, "0.0000");
    EXPECT_EQ(DecodeCurrencyValue(PageWithValue(0, std::int64_t{5}), 0).text, "0.0005");
    EXPECT_EQ(DecodeCurrencyValue(PageWithValue(0, std::int64_t{-5}), 0).text, "-0.0005");
    EXPECT_EQ(DecodeCurrencyValue(PageWithValue(0, std::int64_t{12345678}), 0).text, "1234.5678");
}

TEST(CurrencyDecoder, SignComesFromTheTopBitOnly) {
    // A large positive amount has a non-zero top byte and must stay positive.
    DecodedCell large = DecodeCurrencyValue(PageWith(0, {0, 0, 0, 0, 0, 0, 0, 0x01}), 0);
    EXPECT_EQ(large.text, "7205759403792.7936");
    EXPECT_EQ(large.value.kind, TypedValue::Kind::Currency);
    EXPECT_EQ(large.value.integer, std::int64_t{1} << 56);

    DecodedCell lowest = DecodeCurrencyValue(PageWithValue(0, std::numeric_limits<std::int64_t>::min()), 0);
    EXPECT_EQ(lowest.text, "-922337203685477.5808");
    EXPECT_EQ(lowest.value.integer, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(DecodeCurrencyValue(PageWithValue(0, std::numeric_limits<std::int64_t>::max()), 0).text,
              "922337203685477.5807");
}

TEST(FloatDecoders, DecimalsFollowTheMagnitude) {
    EXPECT_EQ(SingleText(1234.5f), "1234.50");
    EXPECT_EQ(SingleText(1.0f), "1.000000");
    EXPECT_EQ(SingleText(1e10f), "10000000000.0000");
    EXPECT_EQ(SingleText(-3.5f), "-3.5000");
    EXPECT_EQ(SingleText(0.0f), "0.0000");
    EXPECT_EQ(DoubleText(0.001234), "0.00123400000000000");
    EXPECT_EQ(DoubleText(-3.5), "-3.5000");
    EXPECT_EQ(DoubleText(2.5), "2.50000000000000");
}

TEST(FloatDecoders, ExtremeAndNonFiniteValuesStillGiveText) {
    char nan[16];
    std::snprintf(nan, sizeof nan, "%.4f", std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(DoubleText(std::numeric_limits<double>::quiet_NaN()), nan);
    char inf[16];
    std::snprintf(inf, sizeof inf, "%.4f", -std::numeric_limits<double>::infinity());
    EXPECT_EQ(SingleText(-std::numeric_limits<float>::infinity()), inf);

    const std::string huge = DoubleText(std::numeric_limits<double>::max());
    EXPECT_EQ(huge.size(), 309u + 5u);
    EXPECT_EQ(huge.substr(huge.size() - 5), ".0000");

    const std::string tiny = DoubleText(std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(tiny.substr(0, 6), "0.0000");
    EXPECT_GT(tiny.size(), 324u);
}

TEST(FloatDecoders, TypedValueKeepsTheStoredNumber) {
    DecodedCell single = DecodeSingleValue(PageWithValue(0, 0.1f), 0);
    EXPECT_EQ(single.value.kind, TypedValue::Kind::Float);
    EXPECT_TRUE(single.value.isSingle);
    EXPECT_EQ(single.value.real, static_cast<double>(0.1f));
    DecodedCell dbl = DecodeDoubleValue(PageWithValue(0, 0.1), 0);
    EXPECT_FALSE(dbl.value.isSingle);
    EXPECT_EQ(dbl.value.real, 0.1);
}

TEST(DateDecoder, SerialsAroundDayZero) {
    EXPECT_EQ(DateText(0.0), "12/30/01 00:00:00");
    EXPECT_EQ(DateText(0.5), "12/30/01 12:00:00");
    EXPECT_EQ(DateText(1.25), "12/31/01 06:00:00");
    EXPECT_EQ(DateText(-1.25), "12/29/01 06:00:00");  // the fraction is a forward time of day
    EXPECT_EQ(DateText(-0.5), "12/30/01 12:00:00");
    EXPECT_EQ(DateText(2.0), "01/01/00 00:00:00");  // 1900, not 1899
}

TEST(DateDecoder, CalendarEdges) {
    EXPECT_EQ(DateText(36526.0), "01/01/00 00:00:00");
    EXPECT_EQ(DateText(60.0), "02/28/00 00:00:00");
    EXPECT_EQ(DateText(61.0), "03/01/00 00:00:00");
    EXPECT_EQ(DateText(36585.0), "02/29/00 00:00:00");
    EXPECT_EQ(DateText(35430.0), "12/31/96 00:00:00");  // last day of a leap year
    EXPECT_EQ(DateText(36891.0), "12/31/00 00:00:00");  // last day of a 400-year cycle
    EXPECT_EQ(DateText(39448.75), "01/01/08 18:00:00");
    EXPECT_EQ(DateText(-109512.0), "02/29/00 00:00:00");  // 1600
    EXPECT_EQ(DateText(-693593.0), "01/01/01 00:00:00");
    EXPECT_EQ(DateText(2958465.5), "12/31/99 12:00:00");
}

TEST(DateDecoder, SecondsRoundingToMidnightMoveToTheNextDay) {
    const double almostMidnight = 1.0 + 86399.7 / 86400.0;
    EXPECT_EQ(DateText(almostMidnight), "01/01/00 00:00:00");
    EXPECT_EQ(DateText(-(0.0 + 86399.7 / 86400.0)), "12/31/01 00:00:00");
    EXPECT_EQ(DateText(1.0 + 86399.2 / 86400.0), "12/31/01 23:59:59");
    EXPECT_EQ(DateText(1.0 + 59.6 / 86400.0), "12/31/01 00:01:00");
}

TEST(DateDecoder, UnusableSerialsGiveAnEmptyCell) {
    for (double serial : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e300, -1e300, 2958466.0, -693594.0}) {
        DecodedCell cell = DecodeDateValue(PageWithValue(0, serial), 0);
        EXPECT_EQ(cell.text, "") << serial;
        EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null) << serial;
    }
    EXPECT_EQ(FormatDateSerial(std::numeric_limits<double>::max()), "");
}

TEST(DateDecoder, TypedValueIsTheStoredSerial) {
    DecodedCell cell = DecodeDateValue(PageWithValue(0, 39448.75), 0);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Date);
    EXPECT_EQ(cell.value.real, 39448.75);
    // Outside the page every byte reads as zero: day zero, no crash.
    EXPECT_EQ(DecodeDateValue(PageWith(0, {}), kMaxPosition).text, "12/30/01 00:00:00");
}

TEST(BinaryDecoder, KeepsEveryByteAndAcceptsAnEndAtThePageEnd) {
    DecodedCell cell = DecodeBinaryValue(PageWith(4090, {1, 0, 2, 0, 0, 3}), 4090, 6);
    EXPECT_EQ(cell.text, std::string("\x01\x00\x02\x00\x00\x03", 6));
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(cell.value.text, cell.text);

    for (auto [position, length] : std::initializer_list<std::pair<std::int64_t, std::int64_t>>{
             {4090, 7}, {-1, 2}, {0, -1}, {kMaxPosition, 2}, {1, kMaxPosition}}) {
        DecodedCell refused = DecodeBinaryValue(PageWith(0, {}), position, length);
        EXPECT_EQ(refused.text, "BINARY");
        EXPECT_EQ(refused.value.kind, TypedValue::Kind::Null);
    }
}

TEST(TextDecoder, StoredFormsBecomeUtf8) {
    EXPECT_EQ(DecodeTextValue(PageWith(0, {0xFF, 0xFE, 0x61, 0x62, 0x63}), 0, 5).text, "abc");
    EXPECT_EQ(DecodeTextValue(PageWith(0, {0x61, 0x00, 0x62, 0x00}), 0, 4).text, "ab");
    // Characters above U+00FF are kept whole.
    DecodedCell cyrillic = DecodeTextValue(PageWith(0, {0x16, 0x04, 0x61, 0x00}), 0, 4);
    EXPECT_EQ(cyrillic.text, "\u0416a");
    EXPECT_EQ(cyrillic.value.kind, TypedValue::Kind::Text);
    EXPECT_EQ(cyrillic.value.text, "\u0416a");
}

TEST(TextDecoder, EmptyAndMarkerTextShowAsNull) {
    DecodedCell empty = DecodeTextValue(PageWith(0, {}), 0, 0);
    EXPECT_EQ(empty.text, "NULL");
    EXPECT_EQ(empty.value.kind, TypedValue::Kind::Text);
    EXPECT_EQ(empty.value.text, "");
    EXPECT_EQ(DecodeTextValue(PageWith(0, {'#', 0, 'T', 0, 'E', 0, 'X', 0, 'T', 0}), 0, 10).text, "NULL");
}

TEST(TextDecoder, PartsOutsideThePageContributeNothing) {
    EXPECT_EQ(DecodeTextValue(PageWith(4094, {0x41, 0x00}), 4094, 200).text, "A");
    EXPECT_EQ(DecodeTextValue(PageWith(0, {}), kMaxPosition, kMaxPosition).text, "NULL");
    EXPECT_EQ(DecodeTextValue(PageWith(0, {}), 0, -4).text, "NULL");
}

TEST(GuidDecoder, RegistryFormFromTheStandardLayout) {
    DecodedCell cell = DecodeGuidValue(
        PageWith(20, {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 1, 2, 3, 4, 5, 6, 7, 8}), 20);
    EXPECT_EQ(cell.text, "{12345678-1234-5678-0102-030405060708}");
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Guid);
    EXPECT_EQ(cell.value.guid[0], 0x78);
    EXPECT_EQ(cell.value.guid[15], 8);
    EXPECT_EQ(DecodeGuidValue(PageWith(0, {0xab, 0xcd}), 0).text, "{0000CDAB-0000-0000-0000-000000000000}");
}

TEST(GuidDecoder, BytesBeyondThePageReadAsZero) {
    EXPECT_EQ(DecodeGuidValue(PageWith(4092, {0x11, 0x22, 0x33, 0x44}), 4092).text,
              "{44332211-0000-0000-0000-000000000000}");
    EXPECT_EQ(DecodeGuidValue(PageWith(0, {}), kMaxPosition).text, "{00000000-0000-0000-0000-000000000000}");
}

// The 17 stored bytes of a numeric value: sign byte, then 32-bit groups,
// most significant first, each little-endian.
std::vector<std::uint8_t> NumericPage(std::int64_t position, bool negative, unsigned __int128 magnitude) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    std::size_t at = static_cast<std::size_t>(position);
    page[at++] = negative ? 0x80 : 0x00;
    for (int group = 3; group >= 0; --group) {
        const auto word = static_cast<std::uint32_t>(magnitude >> (32 * group));
        for (int i = 0; i < 4; ++i) page[at++] = static_cast<std::uint8_t>(word >> (8 * i));
    }
    return page;
}

std::string NumericText(bool negative, unsigned __int128 magnitude, int precision, int scale) {
    return DecodeNumericValue(NumericPage(3, negative, magnitude), 3, precision, scale).text;
}

unsigned __int128 PowerOfTen(int exponent) {
    unsigned __int128 value = 1;
    for (int i = 0; i < exponent; ++i) value *= 10;
    return value;
}

TEST(NumericDecoder, ZeroPaddedToThePrecision) {
    EXPECT_EQ(NumericText(false, 123, 18, 2), "0000000000000001.23");
    EXPECT_EQ(NumericText(false, 123, 18, 0), "000000000000000123");
    EXPECT_EQ(NumericText(true, 123, 18, 2), "-0000000000000001.23");
    EXPECT_EQ(NumericText(true, 0, 5, 2), "000.00");  // a negative zero has no sign
    EXPECT_EQ(NumericText(false, 12345, 5, 5), "0.12345");
}

TEST(NumericDecoder, ReadsAllFourGroupsMostSignificantFirst) {
    const unsigned __int128 magnitude = (static_cast<unsigned __int128>(1) << 96) |
                                        (static_cast<unsigned __int128>(2) << 64) |
                                        (static_cast<unsigned __int128>(3) << 32) | 4u;
    DecodedCell cell = DecodeNumericValue(NumericPage(0, false, magnitude), 0, 38, 0);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Decimal);
    EXPECT_TRUE(cell.value.decimalMagnitude == magnitude);
    EXPECT_EQ(cell.text, "00000000079228162551157825753847955460");
    EXPECT_EQ(NumericText(false, 102030405060654321ULL, 18, 6), "102030405060.654321");
}

TEST(NumericDecoder, NoDigitIsEverLost) {
    EXPECT_EQ(NumericText(false, 1234567, 5, 2), "12345.67");
    EXPECT_EQ(NumericText(false, PowerOfTen(28) + 12345, 28, 4), "1000000000000000000000001.2345");
    const unsigned __int128 largest = ~static_cast<unsigned __int128>(0);
    EXPECT_EQ(NumericText(true, largest, 38, 10), "-34028236692093846346337460743.1768211455");
    DecodedCell cell = DecodeNumericValue(NumericPage(0, true, largest), 0, 38, 10);
    EXPECT_TRUE(cell.value.decimalNegative);
    EXPECT_EQ(cell.value.decimalScale, 10);
}

TEST(NumericDecoder, DamagedPrecisionAndScaleStillShowTheValue) {
    EXPECT_EQ(NumericText(false, 1234567, 0, 0), "1234567");
    EXPECT_EQ(NumericText(false, 0, 0, 0), "0");
    EXPECT_EQ(NumericText(false, 1234567, 99, 2), "12345.67");
    EXPECT_EQ(NumericText(false, 1234567, -3, 2), "12345.67");
    EXPECT_EQ(NumericText(false, 1234, 5, 7), "0.0001234");
    EXPECT_EQ(NumericText(false, 1234, 5, -1), "1234");
    EXPECT_EQ(NumericText(false, 1234, 5, 100), "1234");
}

TEST(NumericDecoder, BytesBeyondThePageReadAsZero) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    page[4095] = 0x80;
    EXPECT_EQ(DecodeNumericValue(page, 4095, 3, 0).text, "000");
    EXPECT_EQ(DecodeNumericValue(page, kMaxPosition, 3, 1).text, "00.0");
    EXPECT_EQ(DecodeNumericValue(page, -8, 3, 1).text, "00.0");
}

}  // namespace
}  // namespace pw
