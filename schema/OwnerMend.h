#pragma once

#include <cstdint>
#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"

namespace pw {

// A data page names the definition page of its table; one flipped bit in
// that word hands the page, with every row on it, to a table that does not
// exist (or to another table, which holds it as a page no longer in use).
// The table's usage map still lists it: a page that the map of a definition
// one bit away from its stated owner lists, and that its stated owner's map
// (where there is one) does not, is that table's.
struct OwnerMend {
    std::int32_t page = -1;
    std::int32_t stated = -1;  // the owner the page names
    std::int32_t owner = -1;   // the definition page whose map lists it
};

// The mends for the data pages of the file, given the definitions found
// (each table's first definition page); pages no map or more than one map
// one bit away lists are left as they are.
std::vector<OwnerMend> MendFlippedOwners(const PageSource& pages, const std::vector<TableInfo>& tables);

// Moves the mended pages to the table they belong to and away from the one
// they named.
void ClaimMendedPages(const std::vector<OwnerMend>& mends, TableInfo& table);

}  // namespace pw
