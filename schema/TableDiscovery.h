#pragma once

#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RecoveryStatus.h"

namespace pw {

// Finds the tables from their definition pages: candidates, header test,
// multi-page definitions, catalog names, then every table's definition,
// publishing each table through the status hand-shakes.
// Returns the number of tables, or -1 when stopped before the schemas were read.
int DiscoverTables(const PageSource& pages, std::vector<TableInfo>& tables, RecoveryStatus& status);

// Puts every table's columns into column-number order.
void SortColumns(std::vector<TableInfo>& tables);

// Reads a table's definition pages into one buffer: the first page whole, then
// bytes 8 to 4095 of each continuation page.
std::vector<std::uint8_t> MergeDefinitionPages(const PageSource& pages, const TableInfo& table);

}  // namespace pw
