#include "records/ValueDispatch.h"

#include "records/CalculatedValue.h"
#include "records/ComplexColumns.h"
#include "records/InferredValue.h"
#include "records/LongValueGather.h"
#include "records/LongValues.h"
#include "records/OleValue.h"
#include "records/ScalarDecoders.h"
#include "schema/ColumnTypes.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

void ReportIssue(const ValueContext& context, LongValueIssue issue, const ColumnInfo& column) {
    if (issue == LongValueIssue::None || context.run == nullptr) return;
    const bool loop = issue == LongValueIssue::Loop;
    context.run->Report({loop ? DamageKind::LongValueLoop : DamageKind::LongValueBroken, context.page, context.slot,
                         context.table != nullptr ? *context.table : std::string(),
                         (loop ? "long-value chain loops in column " : "long-value pointer leads nowhere in column ") +
                             column.name});
}

}  // namespace

int DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                std::int64_t length, DecodedCell& out) {
    out.value.kind = TypedValue::Kind::Null;
    LongValueIssue issue = LongValueIssue::None;
    // An expression column wraps its computed value, whatever its type code.
    if (column.calculated) {
        out = DecodeCalculatedColumn(context, page, column, position, length);
        return 1;
    }
    switch (column.typeCode) {
        case ColumnType::Byte: out = DecodeByteValue(page, position); break;
        case ColumnType::Int: out = DecodeIntValue(page, position); break;
        case ColumnType::Long: out = DecodeLongValue(page, position); break;
        case ColumnType::Currency: out = DecodeCurrencyValue(page, position); break;
        case ColumnType::Single: out = DecodeSingleValue(page, position); break;
        case ColumnType::Double: out = DecodeDoubleValue(page, position); break;
        case ColumnType::Date:
            out = DecodeDateValue(page, position);
            if (out.text.empty() && context.run != nullptr)
                context.run->Report({DamageKind::ValueOutOfRange, context.page, context.slot,
                                     context.table != nullptr ? *context.table : std::string(),
                                     "date outside the calendar in column " + column.name});
            break;
        case ColumnType::Binary: out = DecodeBinaryValue(page, position, length); break;
        case ColumnType::Text: out = DecodeTextValue(page, position, length); break;
        case ColumnType::Guid: out = DecodeGuidValue(page, position); break;
        case ColumnType::Numeric: out = DecodeNumericValue(page, position, column.precision, column.scale); break;
        case ColumnType::BigInt: out = DecodeBigIntValue(page, position); break;
        case ColumnType::DateTimeExt:
            out = DecodeDateTimeExtValue(page, position);
            if (out.value.kind == TypedValue::Kind::Null && context.run != nullptr)
                context.run->Report({DamageKind::ValueOutOfRange, context.page, context.slot,
                                     context.table != nullptr ? *context.table : std::string(),
                                     "extended date unreadable or out of range in column " + column.name});
            break;
        case ColumnType::Memo:
            if (context.pages == nullptr) {
                out.text = "MEMO";
                break;
            }
            out = DecodeMemoValue(*context.pages, page, position, length, &issue);
            ReportIssue(context, issue, column);
            break;
        case ColumnType::OleObject:
            if (context.pages == nullptr) {
                out.text = "OLEOBJECT";
                break;
            }
            out = DecodeOleValue(*context.pages, page, position, length, &issue);
            ReportIssue(context, issue, column);
            break;
        case ColumnType::Bit: out.text = ColumnTypeName(column); break;
        case ColumnType::Attachment:
            out = DecodeComplexValue(context.complex, context.tdefPage,
                                     context.table != nullptr ? *context.table : std::string(), page, column,
                                     position);
            break;
        case ColumnType::InferredVariable:
            out = DecodeInferredValue(context.pages, page, position, length, &issue);
            ReportIssue(context, issue, column);
            break;
        default:
            // The type's name is the cell of a type without a decoder.
            out.text = ColumnTypeName(column);
            return -1;
    }
    return 1;
}

int DecodeFixedValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                     DecodedCell& out) {
    return DecodeValue(context, page, column, position, column.length, out);
}

}  // namespace pw
