#include <gtest/gtest.h>

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
    const EncodedField latin = EncodeField(Design(ColumnType::Text, 100), "", TypedValue::Text("Grüße"));
    ASSERT_GE(latin.bytes.size(), 2u);
    EXPECT_EQ(latin.bytes[0], 0xFF);
    EXPECT_EQ(latin.bytes[1], 0xFE);
    EXPECT_EQ(DecodeJetText(ByteView(latin.bytes), 0, static_cast<std::int64_t>(latin.bytes.size())), "Grüße");

    for (const std::string& text : std::vector<std::string>{"Ελλάδα 中国", "a😀b", std::string("nul\0inside", 10)}) {
        const EncodedField f = EncodeField(Design(ColumnType::Memo), "", TypedValue::Text(text));
        EXPECT_EQ(DecodeJetText(ByteView(f.bytes), 0, static_cast<std::int64_t>(f.bytes.size())), text);
    }
}

TEST(FieldEncoding, GuidTextRoundTripsThroughItsDisplayForm) {
    TypedValue g;
    g.kind = TypedValue::Kind::Guid;
    for (std::size_t i = 0; i < 16; ++i) g.guid[i] = static_cast<std::uint8_t>(0x10 * i + 1);
    const std::string shown = FormatGuid(g.guid);
    const EncodedField f = EncodeField(Design(ColumnType::Guid, 16), shown, TypedValue::Text(shown));
    ASSERT_EQ(f.bytes.size(), 16u);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), g.guid.begin()));
}

TEST(FieldEncoding, NumbersFromTextAndOtherKindsKeepEveryDigit) {
    const EncodedField d = EncodeField(Design(ColumnType::Numeric, 17, 18, 4), "-12.5", TypedValue::Text("-12.5"));
    ASSERT_EQ(d.bytes.size(), 17u);
    const DecodedCell back = DecodeNumericValue(ByteView(d.bytes), 0, 18, 4);
    EXPECT_TRUE(back.value.decimalMagnitude == 125000);
    EXPECT_EQ(back.value.decimalScale, 4);
    EXPECT_TRUE(back.value.decimalNegative);

    const EncodedField c = EncodeField(Design(ColumnType::Currency, 8), "", TypedValue::Integer(3));
    EXPECT_EQ(c.bytes, (StoredBytes{0x30, 0x75, 0, 0, 0, 0, 0, 0}));  // 30000 ten-thousandths
    const EncodedField b = EncodeField(Design(ColumnType::Bit, 1), "Yes", TypedValue::Text("Yes"));
    EXPECT_TRUE(b.bit);
}

TEST(FieldEncoding, RefusesValuesTheColumnCannotHoldWithoutLoss) {
    EXPECT_THROW(EncodeField(Design(ColumnType::Byte, 1), "256", TypedValue::Integer(256)), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Int, 2), "1.5", TypedValue::Float(1.5, false)), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Numeric, 17, 5, 1), "1.25", TypedValue::Text("1.25")), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Numeric, 17, 3, 0), "1000", TypedValue::Text("1000")), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Double, 8), "abc", TypedValue::Text("abc")), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Guid, 16), "{nope}", TypedValue::Text("{nope}")), EngineError);
    EXPECT_THROW(EncodeField(Design(ColumnType::Attachment), "x", TypedValue::Text("x")), EngineError);
}

}  // namespace
}  // namespace pw
