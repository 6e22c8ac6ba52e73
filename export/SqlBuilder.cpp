#include "export/SqlBuilder.h"

#include <algorithm>
#include <utility>

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kMaxTextCharacters = 255;
constexpr std::int32_t kMaxDecimalPrecision = 28;

// A damaged column record may state any precision; the widest decimal then
// holds whatever the column stored.
std::pair<std::int32_t, std::int32_t> DecimalSize(const ColumnInfo& column) {
    const bool usable = column.precision >= 1 && column.precision <= kMaxDecimalPrecision && column.scale >= 0 &&
                        column.scale <= column.precision;
    if (usable) return {column.precision, column.scale};
    const std::int32_t scale = column.scale >= 0 && column.scale <= kMaxDecimalPrecision ? column.scale : 0;
    return {kMaxDecimalPrecision, scale};
}

}  // namespace

TableSql BuildTableSql(const TableInfo& table) {
    std::string definitions;
    std::string names;
    for (const ColumnInfo& column : table.columns) {
        // An expression column's record states no precision or scale, and its
        // values carry their own: a text keeps every digit of each.
        const bool calculatedDecimal = column.typeCode == ColumnType::Numeric && column.calculated;
        const std::string word = calculatedDecimal                         ? "TEXT"
                                 : column.typeCode == ColumnType::Numeric ? "DECIMAL"
                                                                          : ColumnTypeName(column);
        if (word == "ATTACHMENT") continue;
        if (!names.empty()) {
            definitions += ", ";
            names += ", ";
        }
        definitions.append("\r\n\t[").append(column.name).append("] ").append(word);
        // A text column stores two bytes a character; SQL counts characters.
        if (calculatedDecimal)
            definitions.append("(").append(std::to_string(kMaxTextCharacters)).append(")");
        else if (word == "TEXT")
            definitions.append("(").append(std::to_string(std::min(std::max(column.length, 0) / 2, kMaxTextCharacters))).append(")");
        // A decimal column worded LONG would lose every fraction in the new database.
        if (column.typeCode == ColumnType::Numeric && !calculatedDecimal) {
            const auto [precision, scale] = DecimalSize(column);
            definitions.append("(").append(std::to_string(precision)).append(",").append(std::to_string(scale)).append(")");
        }
        names.append("[").append(column.name).append("]");
    }
    TableSql sql;
    sql.createSql.assign("CREATE TABLE [").append(table.name).append("] \r\n(").append(definitions).append("\r\n);");
    sql.insertSql.assign("INSERT INTO [").append(table.name).append("] (").append(names).append(") VALUES (");
    return sql;
}

}  // namespace pw
