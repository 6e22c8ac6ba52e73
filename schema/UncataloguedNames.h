#pragma once

#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"

namespace pw {

// Names what can still be named among the tables no catalog row named
// (those whose name still starts with "Recovered Table "), before names are
// generated for the rest:
//   - a definition whose column set is that of one of Access's own tables
//     takes that table's name (NameSource::SystemSignature) and is marked in
//     `systemObject`, so it is dropped like the system tables the catalog
//     names; so does a lost definition on the page where Access keeps one
//     of its own tables, when its rows fit that table
//     (NameSource::SystemPage);
//   - a table the navigation pane lists takes the name listed there
//     (NameSource::NavigationPane);
//   - else one whose Id the catalog's own indexes still name takes that
//     name, in lower case (NameSource::CatalogIndex).
// Definitions are read here for this only; the tables keep no columns.
void NameUncataloguedTables(const PageSource& pages, std::vector<TableInfo>& tables, std::vector<bool>& systemObject);

}  // namespace pw
