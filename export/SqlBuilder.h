#pragma once

#include <string>

#include "schema/TableInfo.h"

namespace pw {

struct TableSql {
    std::string createSql;  // the CREATE TABLE statement
    std::string insertSql;  // the head of the INSERT INTO statement, up to "VALUES ("
};

// Composes the table's statements in column order. Attachment columns are left
// out of both.
TableSql BuildTableSql(const TableInfo& table);

}  // namespace pw
