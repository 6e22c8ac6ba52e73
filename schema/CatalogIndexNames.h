#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "pagestore/PageSource.h"

namespace pw {

// The catalog keeps two indexes of its own beside its rows: one on Id, one on
// (ParentId, Name). Their leaf pages often outlive the catalog's rows. Both
// point at the same catalog row, so an Id key and a Name key that point at
// one row name one object: Id -> name, for every object whose name key can
// be read back (see ReadIndexKeyText; the names come back in lower case).
// Pages that do not read as the catalog's leaf pages are passed over.
std::unordered_map<std::int32_t, std::string> ReadCatalogIndexNames(const PageSource& pages);

}  // namespace pw
