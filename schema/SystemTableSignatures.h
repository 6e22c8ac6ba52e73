#pragma once

#include <optional>
#include <string>

#include "schema/TableInfo.h"

namespace pw {

// The name of the Access system table whose column set this table has, when
// it has one. Without the catalog, this is what tells Access's own tables
// (kept under the user-table type) apart from the user's.
//
// Column names and type codes are compared as a set (Access versions order
// the columns differently). A signature of five columns or more matches with
// one column missing and one more; a smaller one only exactly, its text
// lengths included, and a one-column one only on a table without rows (the
// complex-type templates never hold any). The hidden tables behind
// attachment and multi-value columns ("f_<id>_<column>") are told by their
// two key columns "_<column>" and "<table>_<column>"; their name here is
// "f_<table>_<column>", the stored id being lost with the catalog.
std::optional<std::string> MatchSystemTable(const TableInfo& table);

// The system table a table whose definition is lost must be, from where that
// definition was: Access creates its own tables first, so pages 3, 4 and 5
// hold the definitions of MSysACEs, MSysQueries and MSysRelationships in
// every Jet 4 and ACE file (page 2 is the catalog's). The page number is the
// one the rows' own pages name as their owner, so it holds however the file
// was cut. The rows must state that table's column count too.
// Whether the name is that of one of the system tables Access writes (as
// they are known here, by their columns).
bool IsAccessSystemTableName(const std::string& name);

std::optional<std::string> SystemTableAtPage(std::int32_t definitionPage, std::int32_t statedColumns);

}  // namespace pw
