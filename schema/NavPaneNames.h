#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"

namespace pw {

// Access 2007 and later keep the names the navigation pane shows in two
// system tables of their own: MSysNavPaneObjectIDs (Id, Name, Type: the
// object's catalog Id, which for a table is its first definition page) and
// MSysNavPaneGroupToObjects (ObjectID, Name; the name is often left empty).
// When the catalog is lost and these are not, they name the tables.
inline constexpr const char* kNavPaneObjectsTable = "MSysNavPaneObjectIDs";
inline constexpr const char* kNavPaneGroupsTable = "MSysNavPaneGroupToObjects";

// Reads the rows of one of those tables (its definition parsed: columns and
// data pages) and adds Id -> Name for every table object; a name already
// known is kept. Rows that cannot be read are passed over: these names are
// a help, not data.
void ReadNavPaneNames(const PageSource& pages, const TableInfo& navPane,
                      std::unordered_map<std::int32_t, std::string>& names);

// A table whose definition is lost too (columns inferred) is the object list
// when its rows, read as Id, Name and Type, list the catalog itself: Id 2,
// "MSysObjects", a table. No user table lists that. Returns a copy whose
// columns carry those names, for ReadNavPaneNames.
std::optional<TableInfo> ReadAsNavPaneObjects(const PageSource& pages, const TableInfo& inferred);

}  // namespace pw
