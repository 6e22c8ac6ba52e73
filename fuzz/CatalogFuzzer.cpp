// The naming of tables from a few pages: the catalog's rows (data pages owned
// by page 2), its index leaf pages, the rows of tables whose definition is
// lost, and whatever else names a table where the catalog does not (the
// navigation pane's tables, the signatures of Access's own tables, the pages
// Access keeps them on). Every definition page of the input is a table to
// name, as discovery hands them over.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "fuzz/PageBundle.h"
#include "schema/CatalogIndexNames.h"
#include "schema/CatalogNames.h"
#include "schema/OrphanTables.h"
#include "schema/OwnerMend.h"
#include "status/DamageReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const pw::fuzz::PageBundle pages(pw::ByteView(data, size), 6);
    pw::DamageReport damage;
    const pw::RunControl run{nullptr, nullptr, &damage};
    std::size_t seen = 0;
    for (const pw::CatalogEntry& entry : pw::ReadCatalogEntries(pages, run)) seen += entry.name.size();
    for (const auto& [id, name] : pw::ReadCatalogIndexNames(pages)) seen += name.size() + (id != 0 ? 1 : 0);

    std::vector<pw::TableInfo> tables;
    for (const pw::PageMapEntry& entry : pages.Map()) {
        if (entry.fileOffset < 0 || !pw::IsPageOfType(entry, pw::PageType::TableDefinition)) continue;
        pw::TableInfo table;
        table.tdefPage = entry.pageNumber;
        table.tdefOffset = entry.fileOffset;
        table.name = std::string(pw::kOrphanPlaceholderPrefix) + std::to_string(entry.pageNumber);
        tables.push_back(std::move(table));
    }
    for (pw::TableInfo& orphan : pw::FindOrphanTables(pages, tables, {}, run)) tables.push_back(std::move(orphan));
    seen += static_cast<std::size_t>(pw::ApplyCatalogNames(pages, tables, run));
    for (const pw::TableInfo& table : tables) seen += table.name.size();
    return seen == static_cast<std::size_t>(-1);
}
