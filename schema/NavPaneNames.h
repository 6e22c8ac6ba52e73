#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"

namespace pw {

// Access 2007 and later list every object of the navigation pane in
// MSysNavPaneGroupToObjects: its Name and its ObjectID, the object's catalog
// Id, which for a table is its first definition page. When the catalog is
// lost and this table is not, it names the tables.
//
// Reads the rows of that table (its definition parsed: columns and data
// pages) and gives ObjectID -> Name; the first row with a name wins. Rows
// that cannot be read are passed over: these names are a help, not data.
std::unordered_map<std::int32_t, std::string> ReadNavPaneNames(const PageSource& pages, const TableInfo& navPane);

}  // namespace pw
