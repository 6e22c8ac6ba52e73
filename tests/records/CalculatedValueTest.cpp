#include "records/CalculatedValue.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "records/ExtendedDateTime.h"
#include "records/ValueDispatch.h"
#include "schema/ColumnTypes.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A wrapper as Access writes it: 16 unused bytes, the value's length, the
// value, three bytes of padding.
Bytes Wrapper(const Bytes& value, std::size_t padding = 3) {
    Bytes out(16, 0);
    const auto n = static_cast<std::uint32_t>(value.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    out.insert(out.end(), value.begin(), value.end());
    out.insert(out.end(), padding, 0);
    return out;
}

template <typename T>
Bytes BytesOf(T value) {
    Bytes out(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

ColumnInfo Column(std::int32_t typeCode, std::int32_t length = 39) {
    ColumnInfo column;
    column.name = "Calc";
    column.typeCode = typeCode;
    column.length = length;
    column.calculated = true;
    return column;
}

DecodedCell Unwrap(const Bytes& wrapper, std::int32_t typeCode, CalculatedIssue* issueOut = nullptr) {
    CalculatedIssue issue = CalculatedIssue::None;
    DecodedCell cell = DecodeCalculatedWrapper(wrapper, Column(typeCode), issue);
    if (issueOut != nullptr) *issueOut = issue;
    return cell;
}

TEST(CalculatedValue, TextResultIsJetText) {
    const Bytes compressed = {0xFF, 0xFE, 'D', 'o', 'e', ',', ' ', 'J', 'o', 'h', 'n'};
    const DecodedCell cell = Unwrap(Wrapper(compressed), ColumnType::Text);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Text);
    EXPECT_EQ(cell.value.text, "Doe, John");
    const Bytes ucs2 = {'A', 0, 'b', 0};
    EXPECT_EQ(Unwrap(Wrapper(ucs2), ColumnType::Memo).value.text, "Ab");
}

TEST(CalculatedValue, SizeTellsTheResultTypeWhateverTheColumnCode) {
    // A yes/no in a column coded INT.
    DecodedCell yes = Unwrap(Wrapper({0xFF}), ColumnType::Int);
    EXPECT_EQ(yes.value.kind, TypedValue::Kind::Boolean);
    EXPECT_TRUE(yes.value.boolean);
    EXPECT_FALSE(Unwrap(Wrapper({0x00}), ColumnType::Int).value.boolean);
    // ... but a byte in a BYTE column.
    DecodedCell byte = Unwrap(Wrapper({0xFF}), ColumnType::Byte);
    EXPECT_EQ(byte.value.kind, TypedValue::Kind::Integer);
    EXPECT_EQ(byte.value.integer, 255);

    EXPECT_EQ(Unwrap(Wrapper(BytesOf<std::int16_t>(-7)), ColumnType::Int).value.integer, -7);
    DecodedCell length = Unwrap(Wrapper(BytesOf<std::int32_t>(12)), ColumnType::Long);
    EXPECT_EQ(length.value.kind, TypedValue::Kind::Integer);
    EXPECT_EQ(length.value.integer, 12);
    EXPECT_EQ(length.text, "12");

    // A single in a column coded NUMERIC.
    DecodedCell single = Unwrap(Wrapper(BytesOf(2583.2092f)), ColumnType::Numeric);
    EXPECT_EQ(single.value.kind, TypedValue::Kind::Float);
    EXPECT_TRUE(single.value.isSingle);
    EXPECT_EQ(static_cast<float>(single.value.real), 2583.2092f);
}

TEST(CalculatedValue, EightBytesTellCurrencyFromDouble) {
    // 83333.3333 as a currency count in a column coded DOUBLE: as a double
    // these bits would be a subnormal number.
    DecodedCell monthly = Unwrap(Wrapper(BytesOf<std::int64_t>(833333333)), ColumnType::Double);
    EXPECT_EQ(monthly.value.kind, TypedValue::Kind::Currency);
    EXPECT_EQ(monthly.text, "83333.3333");
    // A negative count has the bits of a NaN.
    DecodedCell negative = Unwrap(Wrapper(BytesOf<std::int64_t>(-833)), ColumnType::Double);
    EXPECT_EQ(negative.value.kind, TypedValue::Kind::Currency);
    EXPECT_EQ(negative.text, "-0.0833");
    // An ordinary double stays a double, in a DATE column a date.
    DecodedCell real = Unwrap(Wrapper(BytesOf(19230.76923)), ColumnType::Double);
    EXPECT_EQ(real.value.kind, TypedValue::Kind::Float);
    EXPECT_DOUBLE_EQ(real.value.real, 19230.76923);
    DecodedCell date = Unwrap(Wrapper(BytesOf(43999.0)), ColumnType::Date);
    EXPECT_EQ(date.value.kind, TypedValue::Kind::Date);
    EXPECT_EQ(date.value.real, 43999.0);
    // Zero takes the column's type; a BIGINT column is always an integer.
    EXPECT_EQ(Unwrap(Wrapper(BytesOf<std::int64_t>(0)), ColumnType::Currency).value.kind,
              TypedValue::Kind::Currency);
    EXPECT_EQ(Unwrap(Wrapper(BytesOf<std::int64_t>(0)), ColumnType::Double).value.kind, TypedValue::Kind::Float);
    DecodedCell big = Unwrap(Wrapper(BytesOf(std::bit_cast<std::int64_t>(1.5))), ColumnType::BigInt);
    EXPECT_EQ(big.value.kind, TypedValue::Kind::Integer);
    EXPECT_EQ(big.value.integer, std::bit_cast<std::int64_t>(1.5));
}

TEST(CalculatedValue, SixteenBytesAreADecimal) {
    // Scale 10, positive, magnitude 0x0000AEE71FB004EC: 19230.7692307692.
    const Bytes weekly = {0x0E, 0x00, 0x0A, 0x00, 0, 0, 0, 0, 0xEC, 0x04, 0xB0, 0x1F, 0xE7, 0xAE, 0x00, 0x00};
    DecodedCell cell = Unwrap(Wrapper(weekly), ColumnType::Double);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Decimal);
    EXPECT_EQ(cell.text, "19230.7692307692");
    Bytes negative = weekly;
    negative[2] = 16;
    negative[3] = 0x80;
    EXPECT_EQ(Unwrap(Wrapper(negative), ColumnType::Numeric).text, "-0.0192307692307692");
    // The high 32 bits count above the low 64.
    Bytes high(16, 0);
    high[4] = 1;
    DecodedCell wide = Unwrap(Wrapper(high), ColumnType::Numeric);
    EXPECT_EQ(wide.value.decimalMagnitude, static_cast<unsigned __int128>(1) << 64);
    EXPECT_EQ(wide.text, "18446744073709551616");
}

TEST(CalculatedValue, ExtendedDateResultIsItsStoredText) {
    std::string stored = "0000000000000737954:0000000459000000000:7";
    Bytes value(stored.begin(), stored.end());
    value.push_back(0);
    DecodedCell cell = Unwrap(Wrapper(value), ColumnType::DateTimeExt);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::DateTimeExt);
    EXPECT_EQ(cell.text, "2021-06-14 12:45:00.0000000");
}

TEST(CalculatedValue, EmptyResultIsNull) {
    CalculatedIssue issue = CalculatedIssue::OutOfRange;
    EXPECT_EQ(Unwrap(Wrapper({}), ColumnType::Date, &issue).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(issue, CalculatedIssue::None);
}

TEST(CalculatedValue, DamagedWrappersGiveDefinedValuesAndTheirIssue) {
    CalculatedIssue issue = CalculatedIssue::None;
    EXPECT_EQ(Unwrap(Bytes(19, 0), ColumnType::Long, &issue).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(issue, CalculatedIssue::WrapperTooShort);

    Bytes longer = Wrapper(BytesOf<std::int32_t>(5), 0);
    longer[16] = 0xFF;
    longer[19] = 0xFF;  // 4 GiB stated
    EXPECT_EQ(Unwrap(longer, ColumnType::Long, &issue).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(issue, CalculatedIssue::ValueOutsideWrapper);

    DecodedCell odd = Unwrap(Wrapper({1, 2, 3}), ColumnType::Long, &issue);
    EXPECT_EQ(issue, CalculatedIssue::UnexpectedSize);
    EXPECT_EQ(odd.value.kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(odd.value.text, std::string("\x01\x02\x03", 3));

    Bytes scale(16, 0);
    scale[2] = 29;
    EXPECT_EQ(Unwrap(Wrapper(scale), ColumnType::Numeric, &issue).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(issue, CalculatedIssue::OutOfRange);

    EXPECT_EQ(Unwrap(Wrapper(BytesOf(1e300)), ColumnType::Date, &issue).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(issue, CalculatedIssue::OutOfRange);
}

TEST(CalculatedValue, EveryCutOfAWrapperIsSafe) {
    const Bytes full = Wrapper(BytesOf(12345.5));
    for (std::size_t size = 0; size <= full.size(); ++size) {
        CalculatedIssue issue = CalculatedIssue::None;
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        DecodeCalculatedWrapper(cut, Column(ColumnType::Double), issue);
        EXPECT_EQ(issue == CalculatedIssue::None, size >= 28) << size;
    }
}

TEST(CalculatedValue, RandomWrappersOfEveryColumnTypeGiveDefinedValues) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 4000; ++round) {
        Bytes wrapper(random() % 64);
        for (auto& b : wrapper) b = static_cast<std::uint8_t>(random());
        // Mostly a plausible length, sometimes whatever the bytes say.
        if (wrapper.size() >= 20 && round % 4 != 0) {
            const std::uint32_t n = static_cast<std::uint32_t>(random() % (wrapper.size() - 19));
            for (int i = 0; i < 4; ++i) wrapper[16 + i] = static_cast<std::uint8_t>(n >> (8 * i));
        }
        const std::int32_t typeCode = static_cast<std::int32_t>(random() % 22);
        CalculatedIssue issue = CalculatedIssue::None;
        const DecodedCell cell = DecodeCalculatedWrapper(wrapper, Column(typeCode), issue);
        if (issue == CalculatedIssue::WrapperTooShort || issue == CalculatedIssue::ValueOutsideWrapper ||
            issue == CalculatedIssue::OutOfRange) {
            EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null);
        }
    }
}

TEST(CalculatedValue, DispatchUnwrapsCalculatedColumnsAndReportsDamage) {
    DamageReport damage;
    const RunControl run{nullptr, nullptr, &damage};
    const std::string table = "People";
    ValueContext context;
    context.run = &run;
    context.table = &table;

    Bytes page(kPageSize, 0);
    const Bytes wrapper = Wrapper(BytesOf<std::int32_t>(12));
    std::copy(wrapper.begin(), wrapper.end(), page.begin() + 200);
    DecodedCell out;
    ColumnInfo column = Column(ColumnType::Long);
    EXPECT_EQ(DecodeValue(context, page, column, 200, static_cast<std::int64_t>(wrapper.size()), out),
              ValueProblem::None);
    EXPECT_EQ(out.value.integer, 12);
    EXPECT_EQ(damage.TotalEvents(), 0);

    // Without the flag the same bytes are an ordinary LONG: the first four
    // bytes of the wrapper.
    column.calculated = false;
    DecodeValue(context, page, column, 200, static_cast<std::int64_t>(wrapper.size()), out);
    EXPECT_EQ(out.value.integer, 0);

    column.calculated = true;
    DecodeValue(context, page, column, 200, 10, out);  // the field cut inside the header
    EXPECT_EQ(out.value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(damage.Count(DamageKind::ValueOutOfRange), 1);
    DecodeValue(context, page, column, kPageSize - 5, 39, out);  // the field past the page end
    EXPECT_EQ(out.value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(damage.Count(DamageKind::ValueOutOfRange), 2);
    EXPECT_EQ(damage.KeptEvents().back().table, "People");

    // A memo result without a page source keeps its type word, as memos do.
    DecodeValue(context, page, Column(ColumnType::Text, 0), 200, 12, out);
    EXPECT_EQ(out.text, "MEMO");
    EXPECT_EQ(out.value.kind, TypedValue::Kind::Null);
}

}  // namespace
}  // namespace pw
