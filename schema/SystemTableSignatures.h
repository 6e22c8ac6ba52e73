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

}  // namespace pw
