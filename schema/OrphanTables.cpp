#include "schema/OrphanTables.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <unordered_set>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "schema/InferredColumns.h"
#include "schema/SurvivingDefinitionPages.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

constexpr std::int32_t kCatalogDefinitionPage = 2;
constexpr int kUserTableType = 0x4E;

// Whether the owner page of data pages no definition claims has lost a
// definition. Pages that live on as something else (a page of a dropped
// table, reused by Access) are not: their rows are the file's history, and an
// intact file holds many of them. Lost means: past the end of the file,
// unreadable, wiped to zeros, or a user-table definition that was rejected.
// Pages 0 and 1 (the header and the first data page) never held one.
bool OwnerLostItsDefinition(const PageSource& pages, std::int32_t owner) {
    constexpr std::int32_t kFirstDefinitionPage = 2;
    if (owner < kFirstDefinitionPage) return false;
    const PageMap& map = pages.Map();
    if (static_cast<std::size_t>(owner) >= map.size()) return true;
    const PageMapEntry& entry = map[static_cast<std::size_t>(owner)];
    if (entry.fileOffset < 0) return true;
    PageBuffer page;
    if (!pages.ReadPage(page, owner).whole()) return true;
    if (std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0; })) return true;
    const PageLayout layout = PageLayout::Jet4();
    return IsPageOfType(entry, PageType::TableDefinition) &&
           ReadInt8(ByteView(page), layout.tableTypeOffset) == kUserTableType;
}

// What a damage report adds about the pages of a lost definition that
// survive it.
std::string SurvivorText(const std::vector<std::int32_t>& survivingPages, const std::vector<std::string>& names) {
    if (survivingPages.empty()) return {};
    std::string text = "; page";
    if (survivingPages.size() > 1) text += "s";
    for (std::size_t i = 0; i < survivingPages.size(); ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(survivingPages[i]);
    text += survivingPages.size() == 1 ? " of it survives" : " of it (or of copies Access left of it) survive";
    if (names.empty()) return text + ", without column names";
    text += ", naming its last " + std::to_string(names.size()) + " columns (in stored order, not placed): ";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? "" : ", ") + names[i];
    return text;
}

}  // namespace

std::vector<TableInfo> FindOrphanTables(const PageSource& pages, const std::vector<TableInfo>& tables,
                                        const std::vector<OwnerMend>& mendedOwners, const RunControl& run) {
    std::unordered_set<std::int32_t> mended;
    for (const OwnerMend& mend : mendedOwners) mended.insert(mend.page);
    std::unordered_set<std::int32_t> known;
    for (const TableInfo& table : tables) {
        known.insert(table.tdefPage);
        known.insert(table.continuationPages.begin(), table.continuationPages.end());
    }
    std::map<std::int32_t, std::vector<std::int32_t>> byOwner;
    for (const PageMapEntry& entry : pages.Map()) {
        if (!IsPageOfType(entry, PageType::Data) || entry.fileOffset < 0) continue;
        if (entry.link == kLongValueLink || entry.link == kCatalogDefinitionPage || known.count(entry.link) != 0 ||
            mended.count(entry.pageNumber) != 0)
            continue;
        byOwner[entry.link].push_back(entry.pageNumber);
    }

    std::set<std::int32_t> lostDefinitions;
    for (const auto& [owner, dataPages] : byOwner)
        if (OwnerLostItsDefinition(pages, owner)) lostDefinitions.insert(owner);
    std::map<std::int32_t, SurvivingDefinition> survivors = FindSurvivingDefinitionPages(pages, lostDefinitions, known);

    std::vector<TableInfo> orphans;
    for (auto& [owner, dataPages] : byOwner) {
        if (lostDefinitions.count(owner) == 0) continue;
        char name[64];
        std::snprintf(name, sizeof name, "%s0000-%04d", kOrphanPlaceholderPrefix, static_cast<int>(owner));
        InferredTable inferred = InferColumns(pages, dataPages, {}, run);
        if (inferred.columns.empty()) {
            run.Report({DamageKind::DefinitionRejected, owner, -1, {},
                        "definition lost, and its data pages hold no row to read columns from"});
            continue;
        }
        // A rejected definition was reported where it was read; a definition
        // that is gone altogether is reported here, or the file would pass for
        // intact although every column name and type of the table is lost.
        const PageMap& map = pages.Map();
        const bool definitionPageLeft = static_cast<std::size_t>(owner) < map.size() &&
                                        IsPageOfType(map[static_cast<std::size_t>(owner)], PageType::TableDefinition);
        TableInfo table;
        auto survivor = survivors.find(owner);
        if (survivor != survivors.end()) {
            table.survivingDefinitionPages = std::move(survivor->second.pages);
            table.survivingColumnNames = std::move(survivor->second.columnNames);
        }
        if (!definitionPageLeft)
            run.Report({DamageKind::DefinitionRejected, owner, -1, {},
                        "definition lost: the columns were inferred from the table's rows" +
                            SurvivorText(table.survivingDefinitionPages, table.survivingColumnNames)});
        table.tdefPage = owner;
        table.name = name;
        table.columnsInferred = true;
        table.tableType = kUserTableType;
        table.maxColumns = inferred.maxColumns;
        table.varColumnCount = inferred.varColumnCount;
        table.columnCount = static_cast<std::int32_t>(inferred.columns.size());
        // No definition states a count: the rows found stand in for it.
        table.rowCount = static_cast<std::int32_t>(inferred.rowsUsed);
        table.dataPages = std::move(dataPages);
        table.columns = std::move(inferred.columns);
        orphans.push_back(std::move(table));
    }
    return orphans;
}

}  // namespace pw
