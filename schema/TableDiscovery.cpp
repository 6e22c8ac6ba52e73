#include "schema/TableDiscovery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "pagestore/DbReader.h"
#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "schema/CatalogNames.h"
#include "schema/TableDefinitionParser.h"

namespace pw {
namespace {

constexpr int kUserTableType = 0x4E;
constexpr int kContinuationHeader = 8;

std::vector<TableInfo> CollectCandidates(const PageMap& map) {
    std::vector<TableInfo> candidates;
    for (const PageMapEntry& entry : map) {
        if (entry.pageType != 2) continue;
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

// Follows the next-page links of a definition and collects its continuation
// pages in chain order. A link back to a page already collected ends the
// chain; the pages collected so far stay.
void MergeChain(const PageMap& map, std::vector<TableInfo>& candidates, std::size_t head,
                const std::unordered_map<std::int32_t, std::size_t>& byPage, std::vector<bool>& removed) {
    const PageMapEntry* entry = EntryOf(map, candidates[head].tdefPage);
    if (entry == nullptr || entry->pageType != 2 || entry->link == 0) return;
    std::unordered_set<std::int32_t> visited{candidates[head].tdefPage};
    std::int32_t next = entry->link;
    while (visited.insert(next).second) {
        auto found = byPage.find(next);
        const PageMapEntry* nextEntry = EntryOf(map, next);
        if (found == byPage.end() || nextEntry == nullptr || nextEntry->pageType != 2) return;
        TableInfo continuation;
        continuation.tdefPage = next;
        continuation.tdefOffset = nextEntry->fileOffset;
        candidates[head].continuationPages.push_back(std::move(continuation));
        removed[found->second] = true;
        if (nextEntry->link == 0) return;
        next = nextEntry->link;
    }
}

void RemoveMarked(std::vector<TableInfo>& tables, const std::vector<bool>& removed) {
    std::vector<TableInfo> kept;
    kept.reserve(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (!removed[i]) kept.push_back(std::move(tables[i]));
    tables = std::move(kept);
}

void QuickSortColumns(std::vector<ColumnInfo>& columns, long lo, long hi) {
    while (lo < hi) {
        std::swap(columns[static_cast<std::size_t>(lo)], columns[static_cast<std::size_t>((lo + hi) / 2)]);
        const std::int32_t pivot = columns[static_cast<std::size_t>(lo)].columnNumber;
        long i = lo + 1;
        long j = hi;
        while (i <= j) {
            while (i <= hi && columns[static_cast<std::size_t>(i)].columnNumber <= pivot) ++i;
            while (j >= lo && columns[static_cast<std::size_t>(j)].columnNumber > pivot) --j;
            if (i < j) std::swap(columns[static_cast<std::size_t>(i)], columns[static_cast<std::size_t>(j)]);
        }
        std::swap(columns[static_cast<std::size_t>(lo)], columns[static_cast<std::size_t>(j)]);
        // Recurse into the smaller side so that a damaged definition cannot
        // exhaust the stack.
        if (j - lo < hi - j) {
            QuickSortColumns(columns, lo, j - 1);
            lo = j + 1;
        } else {
            QuickSortColumns(columns, j + 1, hi);
            hi = j - 1;
        }
    }
}

}  // namespace

std::vector<std::uint8_t> MergeDefinitionPages(const PageSource& pages, const TableInfo& table) {
    const std::size_t k = table.continuationPages.size();
    std::vector<std::uint8_t> merged((k + 1) * kPageSize, 0);
    PageBuffer page;
    pages.ReadPage(page, table.tdefPage);
    std::memcpy(merged.data(), page.data(), kPageSize);
    for (std::size_t j = 0; j < k; ++j) {
        pages.ReadPage(page, table.continuationPages[j].tdefPage);
        const std::size_t at = (j + 1) * kPageSize - kContinuationHeader * j;
        std::memcpy(merged.data() + at, page.data() + kContinuationHeader, kPageSize - kContinuationHeader);
    }
    return merged;
}

int DiscoverTables(const PageSource& pages, std::vector<TableInfo>& tables, RecoveryStatus& status) {
    const PageMap& map = pages.Map();
    tables = CollectCandidates(map);

    std::vector<bool> removed(tables.size(), false);
    PageBuffer page;
    for (std::size_t i = 0; i < tables.size(); ++i) removed[i] = FailsHeaderTest(pages, tables[i], page);

    std::unordered_map<std::int32_t, std::size_t> byPage;
    for (std::size_t i = 0; i < tables.size(); ++i) byPage.emplace(tables[i].tdefPage, i);
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (!removed[i]) MergeChain(map, tables, i, byPage, removed);
    RemoveMarked(tables, removed);

    ApplyCatalogNames(pages, tables, status);

    status.setStatusLine("Analyzing Completed");
    status.PostStatus();
    status.totalTables = static_cast<std::int32_t>(tables.size());
    status.setStatusLine("User tables found = " + std::to_string(tables.size()));
    status.PostStatus();
    if (status.StopRequested()) return -1;

    status.tablesRead = 0;
    std::size_t i = 0;
    while (i < tables.size()) {
        if (status.StopRequested()) {
            status.SetRecoveryTbl();
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i) + 1, tables.end());
            break;
        }
        TableInfo& table = tables[i];
        table.listIndex = static_cast<std::int32_t>(i);
        const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, table);
        if (ParseTableDefinition(ByteView(definition), table, map) == 0) {
            // Nothing is published for a removed table: the pass counts, but
            // names no table, so no table is shown twice.
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i));
            ++status.tablesRead;
            status.currentTable = nullptr;
            status.PostStatus();
            status.PostTable();
            continue;
        }
        status.currentTable = &table;
        ++status.tablesRead;
        status.setStatusLine("Schema read of table : " + table.name);
        status.PostStatus();
        if (status.StopRequested()) break;
        status.PostTable();
        ++i;
    }
    status.currentTable = nullptr;
    status.done = 1;
    status.SetRecoveryTbl();
    return static_cast<int>(tables.size());
}

void SortColumns(std::vector<TableInfo>& tables) {
    for (TableInfo& table : tables)
        if (!table.columns.empty()) QuickSortColumns(table.columns, 0, static_cast<long>(table.columns.size()) - 1);
}

int CDbReader::DiscoverTables() { return pw::DiscoverTables(*this, tables_, *status_); }

int CDbReader::SortColumns() {
    pw::SortColumns(tables_);
    return 1;
}

}  // namespace pw
