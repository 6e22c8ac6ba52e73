#include "export/SqlBuilder.h"

#include "schema/ColumnTypes.h"

namespace pw {

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
        if (word == "TEXT") definitions.append("(").append(std::to_string(column.length)).append(")");
        names.append("[").append(column.name).append("]");
    }
    TableSql sql;
    sql.createSql.assign("CREATE TABLE [").append(table.name).append("] \r\n(").append(definitions).append("\r\n);");
    sql.insertSql.assign("INSERT INTO [").append(table.name).append("] (").append(names).append(") VALUES (");
    return sql;
}

}  // namespace pw
