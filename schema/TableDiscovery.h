#pragma once

#include <functional>
#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

struct DiscoveredTables {
    std::vector<TableInfo> tables;
    std::int32_t unnamedTables = 0;
    // A stop came before the schema of every table was read; the tables not
    // read yet stay in the list without columns.
    bool stopped = false;
};

// Called once per table whose schema was read, with the finished table.
using TablePublisher = std::function<void(const TableInfo&)>;

// Finds the tables from their definition pages: candidates, header test,
// multi-page definitions, catalog names, then every table's definition,
// telling each step to the run control and publishing each table read.
// Rejected definitions are reported as damage.
DiscoveredTables DiscoverTables(const PageSource& pages, const RunControl& run, const TablePublisher& publish);

// Puts every table's columns into column-number order; columns that share a
// number keep their stored order.
void SortColumns(std::vector<TableInfo>& tables);

// Reads a table's definition pages into one buffer: the first page whole, then
// bytes 8 to 4095 of each continuation page.
std::vector<std::uint8_t> MergeDefinitionPages(const PageSource& pages, const TableInfo& table);

}  // namespace pw
