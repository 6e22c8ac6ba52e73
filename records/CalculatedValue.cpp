#include "records/CalculatedValue.h"

#include <cstring>
#include <string>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "records/DateText.h"
#include "records/ExtendedDateTime.h"
#include "records/LongValueGather.h"
#include "records/NumberText.h"
#include "records/RowWalk.h"
#include "records/ScalarDecoders.h"
#include "schema/ColumnTypes.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

// The largest scale a stored decimal can carry.
constexpr std::int32_t kMaxDecimalScale = 28;

DecodedCell NullCell() { return {kNullCell, TypedValue::Null()}; }

bool IsTextColumn(const ColumnInfo& column) {
    return column.typeCode == ColumnType::Text || column.typeCode == ColumnType::Memo;
}

// Eight stored bytes that no ordinary double has: what a currency count below
// 2^52 (subnormal pattern) or below zero (NaN or infinite pattern) looks like.
bool NotAnOrdinaryDouble(std::uint64_t bits) {
    const std::uint64_t exponent = (bits >> 52) & 0x7FF;
    return (exponent == 0 && bits != 0) || exponent == 0x7FF;
}

DecodedCell EightByteValue(ByteView value, const ColumnInfo& column, CalculatedIssue& issue) {
    const std::uint64_t bits = static_cast<std::uint64_t>(ReadInt64(value, 0));
    if (column.typeCode == ColumnType::BigInt) return DecodeBigIntValue(value, 0);
    if (NotAnOrdinaryDouble(bits) || (bits == 0 && column.typeCode == ColumnType::Currency))
        return DecodeCurrencyValue(value, 0);
    if (column.typeCode == ColumnType::Date) {
        DecodedCell cell = DecodeDateValue(value, 0);
        if (cell.value.kind == TypedValue::Kind::Null) {
            issue = CalculatedIssue::OutOfRange;
            return NullCell();
        }
        return cell;
    }
    return DecodeDoubleValue(value, 0);
}

DecodedCell DecimalValue(ByteView value, CalculatedIssue& issue) {
    const std::int32_t scale = ReadInt8(value, 2) & 0xFF;
    if (scale > kMaxDecimalScale) {
        issue = CalculatedIssue::OutOfRange;
        return NullCell();
    }
    TypedValue typed;
    typed.kind = TypedValue::Kind::Decimal;
    typed.decimalScale = scale;
    typed.decimalNegative = (ReadInt8(value, 3) & 0x80) != 0;
    const auto high = static_cast<std::uint32_t>(ReadInt32(value, 4));
    const auto low = static_cast<std::uint64_t>(ReadInt64(value, 8));
    typed.decimalMagnitude = (static_cast<unsigned __int128>(high) << 64) | low;
    std::string text = FormatDecimal(typed.decimalMagnitude, scale, typed.decimalNegative);
    return {std::move(text), std::move(typed)};
}

void Report(const ValueContext& context, DamageKind kind, const std::string& reason) {
    if (context.run == nullptr) return;
    context.run->Report(
        {kind, context.page, context.slot, context.table != nullptr ? *context.table : std::string(), reason});
}

const char* IssueText(CalculatedIssue issue) {
    switch (issue) {
        case CalculatedIssue::None: return "";
        case CalculatedIssue::WrapperTooShort: return "calculated value shorter than its header in column ";
        case CalculatedIssue::ValueOutsideWrapper: return "calculated value runs past its field in column ";
        case CalculatedIssue::UnexpectedSize: return "calculated value of no known size in column ";
        case CalculatedIssue::OutOfRange: return "calculated value out of range in column ";
    }
    return "";
}

}  // namespace

bool CalculatedStoredAsLongValue(const ColumnInfo& column) {
    return column.typeCode == ColumnType::Memo || (column.typeCode == ColumnType::Text && column.length == 0);
}

DecodedCell DecodeCalculatedWrapper(ByteView wrapper, const ColumnInfo& column, CalculatedIssue& issue) {
    issue = CalculatedIssue::None;
    const std::int64_t size = static_cast<std::int64_t>(wrapper.size());
    if (size < kCalculatedHeaderSize) {
        issue = CalculatedIssue::WrapperTooShort;
        return NullCell();
    }
    const std::int64_t length = static_cast<std::uint32_t>(ReadInt32(wrapper, kCalculatedLengthOffset));
    if (length > size - kCalculatedHeaderSize) {
        issue = CalculatedIssue::ValueOutsideWrapper;
        return NullCell();
    }
    if (length == 0) return NullCell();
    // The scalar decoders want a byte beyond the value; a zero one is added.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length) + 1, 0);
    std::memcpy(buffer.data(), wrapper.data() + kCalculatedHeaderSize, static_cast<std::size_t>(length));
    const ByteView value(buffer.data(), buffer.size());

    if (IsTextColumn(column)) return DecodeTextValue(value, 0, length);
    if (column.typeCode == ColumnType::DateTimeExt && length >= kExtendedDateTimeFieldSize - 1) {
        DecodedCell cell = DecodeDateTimeExtValue(value, 0);
        if (cell.value.kind == TypedValue::Kind::Null) {
            issue = CalculatedIssue::OutOfRange;
            return NullCell();
        }
        return cell;
    }
    switch (length) {
        case 1: {
            if (column.typeCode == ColumnType::Byte) return DecodeByteValue(value, 0);
            const bool yes = value[0] != 0;
            return {yes ? "1" : "0", TypedValue::Boolean(yes)};
        }
        case 2: return DecodeIntValue(value, 0);
        case 4: {
            const bool real = column.typeCode == ColumnType::Single || column.typeCode == ColumnType::Double ||
                              column.typeCode == ColumnType::Numeric || column.typeCode == ColumnType::Currency;
            return real ? DecodeSingleValue(value, 0) : DecodeLongValue(value, 0);
        }
        case 8: return EightByteValue(value, column, issue);
        case 16: return DecimalValue(value, issue);
        default: break;
    }
    issue = CalculatedIssue::UnexpectedSize;
    std::string raw(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(length));
    return {raw, TypedValue::Bytes(raw)};
}

DecodedCell DecodeCalculatedColumn(const ValueContext& context, ByteView page, const ColumnInfo& column,
                                   std::int64_t position, std::int64_t length) {
    std::string gathered;
    ByteView wrapper;
    LongValueIssue longIssue = LongValueIssue::None;
    if (CalculatedStoredAsLongValue(column)) {
        if (context.pages == nullptr) return {"MEMO", TypedValue::Null()};
        LongValueForm form = LongValueForm::Inline;
        gathered = GatherLongValue(*context.pages, page, position, length, form, &longIssue);
        if (longIssue != LongValueIssue::None) {
            const bool loop = longIssue == LongValueIssue::Loop;
            Report(context, loop ? DamageKind::LongValueLoop : DamageKind::LongValueBroken,
                   (loop ? "long-value chain loops in column " : "long-value pointer leads nowhere in column ") +
                       column.name);
        }
        // A memo result with no stored bytes is simply empty.
        if (gathered.empty()) {
            DecodedCell empty = NullCell();
            empty.problem = LongValueProblem(longIssue);
            return empty;
        }
        wrapper = ByteView(reinterpret_cast<const std::uint8_t*>(gathered.data()), gathered.size());
    } else {
        const std::int64_t size = static_cast<std::int64_t>(page.size());
        if (position < 0 || length < 0 || position > size || length > size - position) {
            Report(context, DamageKind::ValueOutOfRange,
                   IssueText(CalculatedIssue::ValueOutsideWrapper) + column.name);
            DecodedCell outside = NullCell();
            outside.problem = ValueProblem::CutShort;
            return outside;
        }
        wrapper = page.subspan(static_cast<std::size_t>(position), static_cast<std::size_t>(length));
    }
    CalculatedIssue issue = CalculatedIssue::None;
    DecodedCell cell = DecodeCalculatedWrapper(wrapper, column, issue);
    if (issue != CalculatedIssue::None) {
        Report(context, DamageKind::ValueOutOfRange, IssueText(issue) + column.name);
        // A wrapper of an unexpected size still gives its bytes: they are kept,
        // marked as not read as the column's type.
        cell.problem = ValueProblem::Unreadable;
    } else {
        cell.problem = LongValueProblem(longIssue);
    }
    return cell;
}

}  // namespace pw
