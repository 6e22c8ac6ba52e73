#pragma once

#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// A row of the catalog as far as naming needs it.
struct CatalogEntry {
    std::int32_t id = 0;       // first definition page of the object
    std::int32_t type = 0;     // low 7 bits of the object type; 1 = table
    std::string name;          // UTF-8
    std::uint32_t flags = 0;   // object flags; bit 31 marks Access's own objects
    bool deleted = false;      // the row's slot carries the deleted flag
};

// Every readable catalog row of the catalog's data pages (those owned by page
// 2), deleted rows included, in page and slot order.
// Rows that cannot be read are reported as damage.
std::vector<CatalogEntry> ReadCatalogEntries(const PageSource& pages, const RunControl& run = {});

// Names the tables from the catalog rows, gives the others a generated name
// "Recovered Table %02d", drops system objects and everything that is not a
// table, and tells "Unnamed tables found = %d". Returns the number of
// generated names.
std::int32_t ApplyCatalogNames(const PageSource& pages, std::vector<TableInfo>& tables, const RunControl& run);

}  // namespace pw
