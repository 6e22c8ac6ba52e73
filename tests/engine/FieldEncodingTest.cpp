#include <gtest/gtest.h>

#include <limits>

#include "engine/EngineError.h"
#include "engine/FieldEncoding.h"
#include "pagestore/TextDecoding.h"
#include "records/ScalarDecoders.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

ColumnDesign Design(std::int32_t type, std::int32_t length = 0, std::int32_t precision = 0, std::int32_t scale = 0) {
    ColumnDesign c;
    c.name = "C";
    c.typeCode = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    return c;
}

TEST(FieldEncoding, TextIsCompressedOnlyWhereThatIsExact) {
    const EncodedField latin = EncodeField(Design(ColumnType::Text, 100), TypedValue::Text("Grüße"));
    ASSERT_GE(latin.bytes.size(), 2u);
    EXPECT_EQ(latin.bytes[0], 0xFF);
    EXPECT_EQ(latin.bytes[1], 0xFE);
    EXPECT_EQ(DecodeJetText(ByteView(latin.bytes), 0, static_cast<std::int64_t>(latin.bytes.size())), "Grüße");

    for (const std::string& text : std::vector<std::string>{"Ελλάδα 中国", "a😀b", std::string("nul\0inside", 10)}) {
        const EncodedField f = EncodeField(Design(ColumnType::Memo), TypedValue::Text(text));
        EXPECT_EQ(DecodeJetText(ByteView(f.bytes), 0, static_cast<std::int64_t>(f.bytes.size())), text);
    }
}

TEST(FieldEncoding, NumbersConvertBetweenKindsKeepingEveryDigit) {
    TypedValue decimal;
    decimal.kind = TypedValue::Kind::Decimal;
    decimal.decimalMagnitude = 125;
    decimal.decimalScale = 1;
    decimal.decimalNegative = true;
    const EncodedField d = EncodeField(Design(ColumnType::Numeric, 17, 18, 4), decimal);
    ASSERT_EQ(d.bytes.size(), 17u);
    const DecodedCell back = DecodeNumericValue(ByteView(d.bytes), 0, 18, 4);
    EXPECT_TRUE(back.value.decimalMagnitude == 125000);
    EXPECT_EQ(back.value.decimalScale, 4);
    EXPECT_TRUE(back.value.decimalNegative);

    const EncodedField c = EncodeField(Design(ColumnType::Currency, 8), TypedValue::Integer(3));
    EXPECT_EQ(c.bytes, (StoredBytes{0x30, 0x75, 0, 0, 0, 0, 0, 0}));  // 30000 ten-thousandths
    EXPECT_TRUE(EncodeField(Design(ColumnType::Bit, 1), TypedValue::Boolean(true)).bit);
    // A 64-bit integer goes into the decimal that stands for it.
    const EncodedField big =
        EncodeField(Design(ColumnType::Numeric, 17, 19, 0), TypedValue::Integer(std::numeric_limits<std::int64_t>::min()));
    const DecodedCell bigBack = DecodeNumericValue(ByteView(big.bytes), 0, 19, 0);
    EXPECT_TRUE(bigBack.value.decimalMagnitude == static_cast<unsigned __int128>(1) << 63);
    EXPECT_TRUE(bigBack.value.decimalNegative);
    EXPECT_FALSE(EncodeField(Design(ColumnType::Long, 4), TypedValue::Null()).present);
}

TEST(FieldEncoding, RefusesValuesTheColumnCannotHoldWithoutLossAndNeverParsesText) {
    const auto refused = [](const ColumnDesign& column, const TypedValue& value) {
        try {
            EncodeField(column, value);
        } catch (const ValueRefused& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(refused(Design(ColumnType::Byte, 1), TypedValue::Integer(256)), "[C]: 256 is out of range");
    EXPECT_NE(refused(Design(ColumnType::Int, 2), TypedValue::Float(1.5, false)), "");
    TypedValue cents;
    cents.kind = TypedValue::Kind::Decimal;
    cents.decimalMagnitude = 125;
    cents.decimalScale = 2;
    EXPECT_EQ(refused(Design(ColumnType::Numeric, 17, 5, 1), cents),
              "[C]: 1.25 has more decimal places than the column keeps");
    EXPECT_EQ(refused(Design(ColumnType::Numeric, 17, 3, 0), TypedValue::Integer(1000)),
              "[C]: 1000 has more digits than the column's precision");
    // What used to be read from a value's display text is refused now.
    EXPECT_EQ(refused(Design(ColumnType::Double, 8), TypedValue::Text("1.5")), "[C]: a text value is not a number or date");
    EXPECT_NE(refused(Design(ColumnType::Guid, 16), TypedValue::Text("{00000000-0000-0000-0000-000000000000}")), "");
    EXPECT_NE(refused(Design(ColumnType::Bit, 1), TypedValue::Text("Yes")), "");
    EXPECT_NE(refused(Design(ColumnType::Memo), TypedValue::Integer(5)), "");
    EXPECT_NE(refused(Design(ColumnType::Currency, 8), TypedValue::Float(1e300, false)), "");
    EXPECT_NE(refused(Design(ColumnType::Attachment), TypedValue::Text("x")), "");
}

}  // namespace
}  // namespace pw
