#pragma once

#include "schema/TableInfo.h"

namespace pw {

// Composes the table's CREATE TABLE statement and the head of its INSERT INTO
// statement (up to "VALUES ("), in column order. Attachment columns are left
// out of both.
void BuildTableSql(TableInfo& table);

}  // namespace pw
