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

DamageKind KindOf(ValueProblem problem) {
    switch (problem) {
        case ValueProblem::PointerBroken: return DamageKind::LongValueBroken;
        case ValueProblem::ChainLoop: return DamageKind::LongValueLoop;
        case ValueProblem::OutsideCalendar:
        case ValueProblem::Unreadable: return DamageKind::ValueOutOfRange;
        case ValueProblem::None:
        case ValueProblem::CutShort:
        case ValueProblem::UnknownFlags: break;
    }
    return DamageKind::ValueUnreadable;
}

std::string ReasonFor(ValueProblem problem, const ColumnInfo& column) {
    switch (problem) {
        case ValueProblem::PointerBroken: return "long-value pointer leads nowhere in column " + column.name;
        case ValueProblem::ChainLoop: return "long-value chain loops in column " + column.name;
        case ValueProblem::OutsideCalendar: return "date outside the calendar in column " + column.name;
        case ValueProblem::Unreadable:
            return column.typeCode == ColumnType::DateTimeExt
                       ? "extended date unreadable or out of range in column " + column.name
                       : "value unreadable in column " + column.name;
        case ValueProblem::CutShort: return "value cut short in column " + column.name;
        case ValueProblem::UnknownFlags: return "long value with unknown flags in column " + column.name;
        case ValueProblem::None: break;
    }
    return {};
}

void Report(const ValueContext& context, const ColumnInfo& column, ValueProblem problem) {
    if (problem == ValueProblem::None || context.run == nullptr) return;
    context.run->Report({KindOf(problem), context.page, context.slot,
                         context.table != nullptr ? *context.table : std::string(), ReasonFor(problem, column)});
}

// Fixed-size scalars and stored bytes come back Null only when the field
// does not lie inside its page.
bool NullMeansCutShort(std::int32_t typeCode) {
    switch (typeCode) {
        case ColumnType::Byte:
        case ColumnType::Int:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Binary:
        case ColumnType::Text:
        case ColumnType::Guid:
        case ColumnType::Numeric:
        case ColumnType::BigInt: return true;
        default: return false;
    }
}

}  // namespace

ValueProblem DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column,
                         std::int64_t position, std::int64_t length, DecodedCell& out) {
    out = DecodedCell{};
    // An expression column wraps its computed value, whatever its type code,
    // and reports its own damage.
    if (column.calculated) {
        out = DecodeCalculatedColumn(context, page, column, position, length);
        return out.problem;
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
            if (out.value.kind == TypedValue::Kind::Null) out.problem = ValueProblem::OutsideCalendar;
            break;
        case ColumnType::Binary: out = DecodeBinaryValue(page, position, length); break;
        case ColumnType::Text: out = DecodeTextValue(page, position, length); break;
        case ColumnType::Guid: out = DecodeGuidValue(page, position); break;
        case ColumnType::Numeric: out = DecodeNumericValue(page, position, column.precision, column.scale); break;
        case ColumnType::BigInt: out = DecodeBigIntValue(page, position); break;
        case ColumnType::DateTimeExt:
            out = DecodeDateTimeExtValue(page, position);
            if (out.value.kind == TypedValue::Kind::Null) out.problem = ValueProblem::Unreadable;
            break;
        case ColumnType::Memo:
            if (context.pages == nullptr) {
                out.text = "MEMO";
                break;
            }
            out = DecodeMemoValue(*context.pages, page, position, length);
            break;
        case ColumnType::OleObject:
            if (context.pages == nullptr) {
                out.text = "OLEOBJECT";
                break;
            }
            out = DecodeOleValue(*context.pages, page, position, length);
            break;
        case ColumnType::Bit: out.text = ColumnTypeName(column); break;
        case ColumnType::Attachment:
            // The stored id of the row's items; exports resolve it through the
            // hidden tables (ResolveComplexCell).
            out = DecodeComplexValue(nullptr, -1, context.table != nullptr ? *context.table : std::string(), page,
                                     column, position);
            break;
        case ColumnType::InferredVariable:
            out = DecodeInferredValue(context.pages, page, position, length);
            break;
        default: {
            // A type without a decoder shows its name; its stored bytes are
            // kept as they are, so nothing of the value is lost on the way out.
            const DecodedCell raw = DecodeBinaryValue(page, position, length);
            out.text = ColumnTypeName(column);
            out.value = raw.value;
            if (raw.value.kind == TypedValue::Kind::Null) out.problem = ValueProblem::CutShort;
            break;
        }
    }
    if (out.problem == ValueProblem::None && out.value.kind == TypedValue::Kind::Null &&
        NullMeansCutShort(column.typeCode))
        out.problem = ValueProblem::CutShort;
    Report(context, column, out.problem);
    return out.problem;
}

ValueProblem DecodeFixedValue(const ValueContext& context, ByteView page, const ColumnInfo& column,
                              std::int64_t position, DecodedCell& out) {
    return DecodeValue(context, page, column, position, column.length, out);
}

}  // namespace pw
