#include "export/SqlBuilder.h"

#include <algorithm>

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kMaxTextCharacters = 255;

}  // namespace

TableSql BuildTableSql(const TableInfo& table) {
    std::string definitions;
    std::string names;
    for (const ColumnInfo& column : table.columns) {
        const std::string word = ColumnTypeName(column);
        if (word == "ATTACHMENT") continue;
        if (!names.empty()) {
            definitions += ", ";
            names += ", ";
        }
        definitions.append("\r\n\t[").append(column.name).append("] ").append(word);
        // A text column stores two bytes a character; SQL counts characters.
        if (word == "TEXT")
            definitions.append("(").append(std::to_string(std::min(std::max(column.length, 0) / 2, kMaxTextCharacters))).append(")");
        names.append("[").append(column.name).append("]");
    }
    TableSql sql;
    sql.createSql.assign("CREATE TABLE [").append(table.name).append("] \r\n(").append(definitions).append("\r\n);");
    sql.insertSql.assign("INSERT INTO [").append(table.name).append("] (").append(names).append(") VALUES (");
    return sql;
}

}  // namespace pw
