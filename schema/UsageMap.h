#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"

namespace pw {

// Reads the map of used pages that a definition points to (a row naming the
// pages in a bitmap, either inline or spread over map pages) and, when it is
// readable and consistent, moves the owned pages it does not list from
// dataPages to stalePages. A damaged map changes nothing: every owned page is
// then used, so that damage to the map costs no row.
void ApplyUsageMap(const PageSource& pages, ByteView definition, TableInfo& table);

// The pages the map of a definition lists (its first page is enough), or
// nullopt when the map cannot be read.
std::optional<std::vector<std::int32_t>> PagesListedBy(const PageSource& pages, ByteView definition);

}  // namespace pw
