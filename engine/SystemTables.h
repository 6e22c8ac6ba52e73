#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/TableDesign.h"

namespace pw {

// The tables Access keeps in every database, on the pages it keeps them on:
// the catalog MSysObjects (page 2), MSysACEs, MSysQueries and
// MSysRelationships (pages 3 to 5).
inline constexpr std::int32_t kCatalogPage = 2;
TableDesign CatalogDesign();
std::vector<TableDesign> OtherSystemTableDesigns();

// One row of the catalog.
struct CatalogRow {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::string name;
    std::int16_t type = 0;
    std::int32_t flags = 0;
};

inline constexpr std::int32_t kTablesContainerId = 0x0F000001;
inline constexpr std::int16_t kTableObjectType = 1;

// The containers and the database object a new database holds, and a row per
// system table (`systemPages` in the order of the designs above, the catalog
// first).
std::vector<CatalogRow> StandardCatalogRows(const std::vector<std::int32_t>& systemPages);

}  // namespace pw
