#include "export/AccessTableDesign.h"

#include <algorithm>
#include <set>

#include "engine/FoldedName.h"
#include "engine/TableDesignCheck.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kExtendedDateCharacters = 27;  // yyyy-mm-dd hh:mm:ss.fffffff

ColumnDesign Fixed(const std::string& name, std::int32_t type, std::int32_t size) {
    ColumnDesign c;
    c.name = name;
    c.typeCode = type;
    c.length = size;
    return c;
}

ColumnDesign TextColumn(const std::string& name, std::int32_t characters) {
    return Fixed(name, ColumnType::Text, 2 * characters);
}

ColumnDesign Decimal(const std::string& name, std::int32_t precision, std::int32_t scale) {
    ColumnDesign c = Fixed(name, ColumnType::Numeric, 17);
    c.precision = precision;
    c.scale = scale;
    return c;
}

// A damaged column record may state any precision; the widest decimal then
// holds whatever the column stored.
ColumnDesign DecimalFor(const ColumnInfo& column) {
    const bool usable = column.precision >= 1 && column.precision <= kMaxDecimalPrecision && column.scale >= 0 &&
                        column.scale <= column.precision;
    if (usable) return Decimal(column.name, column.precision, column.scale);
    const std::int32_t scale = column.scale >= 0 && column.scale <= kMaxDecimalPrecision ? column.scale : 0;
    return Decimal(column.name, kMaxDecimalPrecision, scale);
}

std::optional<ColumnDesign> ColumnFor(const ColumnInfo& column, std::vector<std::string>& notes) {
    const std::string& name = column.name;
    // An expression column's record states no precision or scale, and its
    // values carry their own: a text keeps every digit of each.
    if (column.calculated && column.typeCode == ColumnType::Numeric) return TextColumn(name, kMaxTextCharacters);
    switch (column.typeCode) {
        case ColumnType::Bit: return Fixed(name, ColumnType::Bit, 1);
        case ColumnType::Byte: return Fixed(name, ColumnType::Byte, 1);
        case ColumnType::Int: return Fixed(name, ColumnType::Int, 2);
        case ColumnType::Long: {
            ColumnDesign c = Fixed(name, ColumnType::Long, 4);
            // Column number 0 holding a 32-bit integer is the auto-number.
            c.autoNumber = column.columnNumber == 0;
            return c;
        }
        case ColumnType::Currency: return Fixed(name, ColumnType::Currency, 8);
        case ColumnType::Single: return Fixed(name, ColumnType::Single, 4);
        case ColumnType::Double: return Fixed(name, ColumnType::Double, 8);
        case ColumnType::Date: return Fixed(name, ColumnType::Date, 8);
        case ColumnType::Guid: return Fixed(name, ColumnType::Guid, 16);
        case ColumnType::Binary: return Fixed(name, ColumnType::Binary, kMaxBinaryBytes);
        case ColumnType::OleObject: return Fixed(name, ColumnType::OleObject, 0);
        case ColumnType::Memo:
        // Values of a lost definition's variable columns are mostly text, and
        // MEMO holds text of any length.
        case ColumnType::InferredVariable: return Fixed(name, ColumnType::Memo, 0);
        case ColumnType::Text: {
            const std::int32_t characters = std::min(std::max(column.length, 0) / 2, kMaxTextCharacters);
            // A column record that states no size (an expression column, a
            // damaged record) still holds texts: they keep every character.
            if (characters < 1) {
                notes.push_back("[" + name + "] TEXT(" + std::to_string(characters) + ") stored as TEXT(255)");
                return TextColumn(name, kMaxTextCharacters);
            }
            return TextColumn(name, characters);
        }
        case ColumnType::Numeric: return DecimalFor(column);
        case ColumnType::BigInt:
            notes.push_back("[" + name + "] BIGINT stored as DECIMAL(19,0): the file format has no 64-bit integer");
            return Decimal(name, 19, 0);
        case ColumnType::DateTimeExt:
            notes.push_back("[" + name +
                            "] DATETIMEEXT stored as TEXT(27): the file format has no date with 100-nanosecond precision");
            return TextColumn(name, kExtendedDateCharacters);
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<AccessTableDesign> DesignForAccess(const TableInfo& table) {
    AccessTableDesign out;
    out.design.name = table.name;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnInfo& column = table.columns[i];
        if (column.typeCode == ColumnType::Attachment) continue;
        std::optional<ColumnDesign> design = ColumnFor(column, out.design.notes);
        if (!design) return std::nullopt;
        std::string name = design->name;
        for (int n = 2; !taken.insert(FoldedName(name)).second; ++n) name = design->name + " (" + std::to_string(n) + ")";
        if (name != design->name) {
            out.design.notes.push_back("[" + design->name + "] written as [" + name + "]: the name is taken");
            design->name = name;
        }
        out.design.columns.push_back(std::move(*design));
        out.sourceColumns.push_back(i);
    }
    return out;
}

}  // namespace pw
