#include "schema/TableDiscovery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "schema/CatalogNames.h"
#include "schema/ColumnFieldMend.h"
#include "schema/DefinitionHeaderMend.h"
#include "schema/OrphanTables.h"
#include "schema/OwnerMend.h"
#include "schema/TableDefinitionParser.h"
#include "schema/UsageMap.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

constexpr int kUserTableType = 0x4E;
constexpr int kContinuationHeader = 8;

std::vector<TableInfo> CollectCandidates(const PageMap& map) {
    std::vector<TableInfo> candidates;
    for (const PageMapEntry& entry : map) {
        if (!IsPageOfType(entry, PageType::TableDefinition)) continue;
        TableInfo table;
        table.tdefPage = entry.pageNumber;
        table.tdefOffset = entry.fileOffset;
        char name[64];
        std::snprintf(name, sizeof name, "Recovered Table %04d-%04d", static_cast<int>(candidates.size() + 1),
                      entry.pageNumber);
        table.name = name;
        candidates.push_back(std::move(table));
    }
    return candidates;
}

bool FailsHeaderTest(const PageSource& pages, TableInfo& table, PageBuffer& page) {
    const PageLayout layout = PageLayout::Jet4();
    pages.ReadPage(page, table.tdefPage);
    ByteView view(page);
    table.rowCount = ReadInt32(view, layout.tdefRowCountOffset);
    table.tableType = ReadInt8(view, layout.tableTypeOffset);
    table.maxColumns = ReadUInt16(view, layout.maxColumnsOffset);
    table.varColumnCount = ReadUInt16(view, layout.varColumnsOffset);
    table.columnCount = ReadUInt16(view, layout.columnCountOffset);
    return table.maxColumns == 0 || table.columnCount == 0 || table.rowCount < 0 ||
           table.columnCount > table.maxColumns || table.tableType != kUserTableType;
}

const PageMapEntry* EntryOf(const PageMap& map, std::int32_t page) {
    if (page < 0 || static_cast<std::size_t>(page) >= map.size()) return nullptr;
    return &map[static_cast<std::size_t>(page)];
}

const char* HeaderProblem(const TableInfo& table) {
    if (table.tableType != kUserTableType) return nullptr;  // another kind of object: not damage
    if (table.maxColumns == 0) return "definition states no columns";
    if (table.columnCount == 0) return "definition holds no column";
    if (table.rowCount < 0) return "negative row count";
    if (table.columnCount > table.maxColumns) return "more columns than the definition allows";
    return nullptr;
}

// Follows the next-page links of a definition and collects its continuation
// pages in chain order. A link back to a page already collected, or to a page
// that is no definition page, ends the chain; the pages collected so far stay.
std::vector<std::int32_t> ContinuationChain(const PageMap& map, std::int32_t head) {
    std::vector<std::int32_t> chain;
    const PageMapEntry* entry = EntryOf(map, head);
    if (entry == nullptr || !IsPageOfType(*entry, PageType::TableDefinition)) return chain;
    std::unordered_set<std::int32_t> visited{head};
    for (std::int32_t next = entry->link; next != 0 && visited.insert(next).second;) {
        const PageMapEntry* nextEntry = EntryOf(map, next);
        if (nextEntry == nullptr || !IsPageOfType(*nextEntry, PageType::TableDefinition)) break;
        chain.push_back(next);
        next = nextEntry->link;
    }
    return chain;
}

// Gives a candidate its continuation pages, which are no tables of their own.
void MergeChain(const PageMap& map, std::vector<TableInfo>& candidates, std::size_t head,
                const std::unordered_map<std::int32_t, std::size_t>& byPage, std::vector<bool>& removed) {
    for (std::int32_t next : ContinuationChain(map, candidates[head].tdefPage)) {
        auto found = byPage.find(next);
        if (found == byPage.end()) return;
        candidates[head].continuationPages.push_back(next);
        removed[found->second] = true;
    }
}

void SortTableColumns(TableInfo& table) {
    std::stable_sort(table.columns.begin(), table.columns.end(),
                     [](const ColumnInfo& a, const ColumnInfo& b) { return a.columnNumber < b.columnNumber; });
}

void RemoveMarked(std::vector<TableInfo>& tables, const std::vector<bool>& removed) {
    std::vector<TableInfo> kept;
    kept.reserve(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (!removed[i]) kept.push_back(std::move(tables[i]));
    tables = std::move(kept);
}

}  // namespace

std::vector<std::uint8_t> MergeDefinitionPages(const PageSource& pages, const TableInfo& table) {
    const std::size_t k = table.continuationPages.size();
    std::vector<std::uint8_t> merged((k + 1) * kPageSize, 0);
    PageBuffer page;
    pages.ReadPage(page, table.tdefPage);
    std::memcpy(merged.data(), page.data(), kPageSize);
    for (std::size_t j = 0; j < k; ++j) {
        pages.ReadPage(page, table.continuationPages[j]);
        const std::size_t at = (j + 1) * kPageSize - kContinuationHeader * j;
        std::memcpy(merged.data() + at, page.data() + kContinuationHeader, kPageSize - kContinuationHeader);
    }
    return merged;
}

namespace {

// The catalog is no table of the user's, but a page of its rows that is gone
// (wiped, or cut off with the end of the file) takes names, or the only trace
// of whole tables, with it: that is told even when every table left reads.
void ReportLostCatalogPages(const PageSource& pages, const RunControl& run) {
    constexpr std::int32_t kCatalogDefinitionPage = 2;
    const PageMap& map = pages.Map();
    const PageMapEntry* entry = EntryOf(map, kCatalogDefinitionPage);
    if (entry == nullptr || !IsPageOfType(*entry, PageType::TableDefinition)) return;  // told as a lost catalog
    TableInfo catalog;
    catalog.tdefPage = kCatalogDefinitionPage;
    catalog.name = "MSysObjects";
    catalog.continuationPages = ContinuationChain(map, kCatalogDefinitionPage);
    for (const PageMapEntry& e : map)
        if (IsPageOfType(e, PageType::Data) && e.link == kCatalogDefinitionPage) catalog.dataPages.push_back(e.pageNumber);
    const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, catalog);
    if (ParseTableDefinition(ByteView(definition), catalog, map) == 0) return;
    ApplyUsageMap(pages, ByteView(definition), catalog);
    for (std::int32_t lost : catalog.lostPages)
        run.Report({DamageKind::PageUnreadable, lost, -1, catalog.name,
                    "a page of the catalog's rows holds no page any more (wiped, cut off or overwritten): "
                    "tables it named may be lost with it"});
}

// Parses the definition; records set off their place by a flipped bit of a
// count are read again where they are. False when no column is left.
bool ReadDefinition(ByteView definition, TableInfo& table, const PageMap& map, const RunControl& run) {
    const bool parsed = ParseTableDefinition(definition, table, map) != 0;
    if (parsed && !ColumnRecordsLookMisplaced(table)) return true;
    const std::optional<DefinitionCountMend> mend = MendDefinitionCounts(definition, table, map);
    if (!mend) return parsed;
    run.Report({DamageKind::DefinitionRepaired, table.tdefPage, -1, table.name,
                "definition mended: a flipped bit of its " + std::string(DefinitionCountName(mend->count)) +
                    " undone (" + std::to_string(mend->stored) + " read as " + std::to_string(mend->mended) +
                    "), which had set its column records off their place"});
    return true;
}

// A damaged column record would spoil a column of every row: one flipped
// bit is undone where only one explains it, and what stays broken is told.
void CheckColumnRecords(TableInfo& table, const RunControl& run) {
    const ColumnFieldCheck check = MendFlippedColumnFields(table);
    for (const ColumnFieldMend& m : check.mended)
        run.Report({DamageKind::DefinitionRepaired, table.tdefPage, -1, table.name,
                    "column record mended: a flipped bit of the " + std::string(ColumnFieldName(m.field)) + " of " +
                        table.columns[m.column].name + " undone (" + std::to_string(m.stored) + " read as " +
                        std::to_string(m.mended) + ")"});
    for (ColumnField field : check.broken)
        run.Report({DamageKind::DefinitionRejected, table.tdefPage, -1, table.name,
                    "column records damaged: their " + std::string(ColumnFieldName(field)) +
                        "s clash, and the columns they place may read wrong values"});
}

// Marks the candidates whose definition page fails the header test, and
// tells why where there is something to tell.
std::vector<bool> MarkFailedHeaders(const PageSource& pages, std::vector<TableInfo>& tables,
                                    const RunControl& run) {
    std::vector<bool> removed(tables.size(), false);
    PageBuffer page;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        removed[i] = FailsHeaderTest(pages, tables[i], page);
        if (!removed[i]) continue;
        if (const char* problem = HeaderProblem(tables[i]))
            run.Report({DamageKind::DefinitionRejected, tables[i].tdefPage, -1, {}, problem});
    }
    return removed;
}

// Continuation pages join the definitions they continue; the marked
// candidates go.
void MergeContinuations(const PageMap& map, std::vector<TableInfo>& tables, std::vector<bool>& removed) {
    std::unordered_map<std::int32_t, std::size_t> byPage;
    for (std::size_t i = 0; i < tables.size(); ++i) byPage.emplace(tables[i].tdefPage, i);
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (!removed[i]) MergeChain(map, tables, i, byPage, removed);
    RemoveMarked(tables, removed);
}

// Rows whose definition is lost come back as tables of their own, named
// with the others. Gives the data pages whose owner word was mended, for
// the definitions they go back to.
std::vector<OwnerMend> AddOrphanTables(const PageSource& pages, std::vector<TableInfo>& tables,
                                       const RunControl& run) {
    std::vector<OwnerMend> mendedOwners = MendFlippedOwners(pages, tables);
    for (const OwnerMend& mend : mendedOwners)
        run.Report({DamageKind::PageRepaired,
                    mend.page,
                    -1,
                    {},
                    "data page mended: its owner word names page " + std::to_string(mend.stated) +
                        ", one flipped bit from the definition on page " + std::to_string(mend.owner) +
                        ", whose usage map lists it"});
    for (TableInfo& orphan : FindOrphanTables(pages, tables, mendedOwners, run))
        tables.push_back(std::move(orphan));
    return mendedOwners;
}

// Reads the columns and pages of one table from its definition (a table
// recovered from its rows alone has its columns already). False, after
// telling so, when the definition holds no column.
bool ReadTableSchema(const PageSource& pages, TableInfo& table, const std::vector<OwnerMend>& mendedOwners,
                     const RunControl& run) {
    const std::vector<std::uint8_t> definition =
        table.columnsInferred ? std::vector<std::uint8_t>() : MergeDefinitionPages(pages, table);
    if (!table.columnsInferred && !ReadDefinition(ByteView(definition), table, pages.Map(), run)) {
        run.Report(
            {DamageKind::DefinitionRejected, table.tdefPage, -1, table.name, "definition holds no column"});
        return false;
    }
    if (!table.columnsInferred) {
        CheckColumnRecords(table, run);
        ClaimMendedPages(mendedOwners, table);
        ApplyUsageMap(pages, ByteView(definition), table);
    }
    for (std::int32_t lost : table.lostPages)
        run.Report(
            {DamageKind::PageUnreadable, lost, -1, table.name,
             "a page the table's usage map lists holds no page any more (wiped, cut off or overwritten)"});
    return true;
}

// Reads every table's schema in order and hands each on as it is read.
// True when a stop cut the reading short.
bool ReadTableSchemas(const PageSource& pages, std::vector<TableInfo>& tables,
                      const std::vector<OwnerMend>& mendedOwners, const RunControl& run,
                      const TablePublisher& publish) {
    const auto total = static_cast<std::int64_t>(tables.size());
    std::int64_t read = 0;
    std::size_t i = 0;
    while (i < tables.size()) {
        if (run.StopRequested()) {
            // The table in hand stays, unread, with those read before it.
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i) + 1, tables.end());
            return true;
        }
        TableInfo& table = tables[i];
        if (!ReadTableSchema(pages, table, mendedOwners, run)) {
            // The pass counts, but names no table, so no table is shown twice.
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i));
            run.Progress(ProgressStage::Tables, ++read, total);
            continue;
        }
        run.Progress(ProgressStage::Tables, ++read, total);
        run.Status("Schema read of table : " + table.name);
        if (run.StopRequested()) return i + 1 < tables.size();
        if (publish) {
            // Whoever shows the table sees its columns in their final order.
            SortTableColumns(table);
            publish(table);
        }
        ++i;
    }
    return false;
}

}  // namespace

DiscoveredTables DiscoverTables(const PageSource& pages, const RunControl& run,
                                const TablePublisher& publish) {
    const PageMap& map = pages.Map();
    DiscoveredTables found;
    std::vector<TableInfo>& tables = found.tables;
    tables = CollectCandidates(map);
    std::vector<bool> removed = MarkFailedHeaders(pages, tables, run);
    MergeContinuations(map, tables, removed);
    const std::vector<OwnerMend> mendedOwners = AddOrphanTables(pages, tables, run);

    ReportLostCatalogPages(pages, run);
    found.unnamedTables = ApplyCatalogNames(pages, tables, run);

    run.Status("Analyzing Completed");
    run.Progress(ProgressStage::Tables, 0, static_cast<std::int64_t>(tables.size()));
    run.Status("User tables found = " + std::to_string(tables.size()));
    if (run.StopRequested()) {
        found.stopped = true;
        return found;
    }
    found.stopped = ReadTableSchemas(pages, tables, mendedOwners, run, publish);
    return found;
}

void SortColumns(std::vector<TableInfo>& tables) {
    for (TableInfo& table : tables) SortTableColumns(table);
}

}  // namespace pw
