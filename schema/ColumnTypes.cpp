#include "schema/ColumnTypes.h"

#include <cstdio>

namespace pw {

std::string ColumnTypeName(const ColumnInfo& column) {
    switch (column.typeCode) {
        case ColumnType::Bit:
            return "BIT";
        case ColumnType::Byte:
            return "BYTE";
        case ColumnType::Int:
            return "INT";
        case ColumnType::Long:
            return column.columnNumber == 0 ? "COUNTER" : "LONG";
        case ColumnType::Currency:
            return "CURRENCY";
        case ColumnType::Single:
            return "SINGLE";
        case ColumnType::Double:
            return "DOUBLE";
        case ColumnType::Date:
            return "DATE";
        case ColumnType::Binary:
            return "BINARY";
        case ColumnType::Text:
            return "TEXT";
        case ColumnType::OleObject:
            return "OLEOBJECT";
        case ColumnType::Memo:
            return "MEMO";
        case ColumnType::Guid:
            return "GUID";
        case ColumnType::Numeric:
            return "LONG";
        case ColumnType::Attachment:
            return "ATTACHMENT";
        case ColumnType::BigInt:
            return "BIGINT";
        case ColumnType::DateTimeExt:
            return "DATETIMEEXT";
        case ColumnType::InferredVariable:
            // Values are mostly text, and MEMO holds text of any length.
            return "MEMO";
        default:
            break;
    }
    char text[40];
    std::snprintf(text, sizeof text, "UNKNOWN-DATATYPE = 0x%x", static_cast<unsigned>(column.typeCode));
    return text;
}

}  // namespace pw
