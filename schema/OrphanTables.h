#pragma once

#include <vector>

#include "pagestore/PageSource.h"
#include "schema/OwnerMend.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// Placeholder names of tables found here start with this, like those of the
// definitions no catalog row names, so that the naming step treats both alike.
inline constexpr const char* kOrphanPlaceholderPrefix = "Recovered Table ";

// The rows of tables whose definition is lost. Data pages whose owner page
// lies past the end of the file, cannot be read, is wiped to zeros, or holds
// a user-table definition that was rejected (none of `tables` starts there)
// are grouped by owner; each group becomes a table
// whose columns are inferred from its rows (columnsInferred), named with a
// placeholder for the naming step. An owner page that lives on as a page of
// another kind is no loss: Access reuses the pages of dropped tables, whose
// rows stay behind. The catalog's own pages (owner page 2) are the
// catalog's, not a table's. An owner whose pages hold no readable
// row gives no table and is reported. Pages whose owner was mended
// (see OwnerMend.h) are their table's, not an orphan's.
std::vector<TableInfo> FindOrphanTables(const PageSource& pages, const std::vector<TableInfo>& tables,
                                        const std::vector<OwnerMend>& mendedOwners, const RunControl& run);

}  // namespace pw
