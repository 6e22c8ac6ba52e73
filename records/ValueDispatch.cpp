#include "records/ValueDispatch.h"

#include "records/LongValueGather.h"
#include "records/LongValues.h"
#include "records/ScalarDecoders.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

DecodedCell DecodeOleWithoutFile(const PageSource& pages, ByteView page, std::int64_t position,
                                 std::int64_t length) {
    LongValueForm form = LongValueForm::TooShort;
    std::string bytes = GatherLongValue(pages, page, position, length, form);
    DecodedCell cell;
    cell.text = "OLEOBJECT";
    const bool found = form == LongValueForm::Inline || form == LongValueForm::SingleRow || form == LongValueForm::Chain;
    if (found && !bytes.empty()) cell.value = TypedValue::Bytes(std::move(bytes));
    return cell;
}

}  // namespace

int DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                std::int64_t length, DecodedCell& out) {
    out.value.kind = TypedValue::Kind::Null;
    switch (column.typeCode) {
        case ColumnType::Byte: out = DecodeByteValue(page, position); break;
        case ColumnType::Int: out = DecodeIntValue(page, position); break;
        case ColumnType::Long: out = DecodeLongValue(page, position); break;
        case ColumnType::Currency: out = DecodeCurrencyValue(page, position); break;
        case ColumnType::Single: out = DecodeSingleValue(page, position); break;
        case ColumnType::Double: out = DecodeDoubleValue(page, position); break;
        case ColumnType::Date: out = DecodeDateValue(page, position); break;
        case ColumnType::Binary: out = DecodeBinaryValue(page, position, length); break;
        case ColumnType::Text: out = DecodeTextValue(page, position, length); break;
        case ColumnType::Guid: out = DecodeGuidValue(page, position); break;
        case ColumnType::Numeric: out = DecodeNumericValue(page, position, column.precision, column.scale); break;
        case ColumnType::BigInt: out = DecodeBigIntValue(page, position); break;
        case ColumnType::Memo:
            if (context.pages == nullptr) out.text = "MEMO";
            else out = DecodeMemoValue(*context.pages, page, position, length);
            break;
        case ColumnType::OleObject:
            if (context.pages == nullptr) {
                out.text = "OLEOBJECT";
                break;
            }
            out = context.ole != nullptr ? context.ole->Decode(*context.pages, page, position, length)
                                         : DecodeOleWithoutFile(*context.pages, page, position, length);
            break;
        case ColumnType::Bit:
        case ColumnType::Attachment: out.text = ColumnTypeName(column); break;
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
