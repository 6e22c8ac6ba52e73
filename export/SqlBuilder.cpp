#include "export/SqlBuilder.h"

#include "pagestore/DbReader.h"
#include "schema/ColumnTypes.h"

namespace pw {

void BuildTableSql(TableInfo& table) {
    std::string definitions;
    std::string names;
    for (const ColumnInfo& column : table.columns) {
        const std::string word = ColumnTypeName(column);
        if (word == "ATTACHMENT") continue;
        if (!names.empty()) {
            definitions += ", ";
            names += ", ";
        }
        definitions += "\r\n\t[" + column.name + "] " + word;
        if (word == "TEXT") definitions += "(" + std::to_string(column.length) + ")";
        names += "[" + column.name + "]";
    }
    table.createSql = "CREATE TABLE [" + table.name + "] \r\n(" + definitions + "\r\n);";
    table.insertSql = "INSERT INTO [" + table.name + "] (" + names + ") VALUES (";
}

int CDbReader::BuildTableSql() {
    for (TableInfo& table : tables_) pw::BuildTableSql(table);
    return 1;
}

}  // namespace pw
