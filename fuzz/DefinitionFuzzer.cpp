// One table definition, its first page and the continuation pages its links
// reach among the input's pages, read the way discovery reads a definition:
// parsed, mended where a flipped count set the column records off their
// place, each column record checked, the usage map applied.

#include <set>
#include <string>
#include <vector>

#include "fuzz/PageBundle.h"
#include "schema/ColumnFieldMend.h"
#include "schema/ColumnTypes.h"
#include "schema/DefinitionHeaderMend.h"
#include "schema/SystemTableSignatures.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"
#include "schema/UsageMap.h"

namespace {

// Discovery follows the same links; a chain that comes back on itself or
// leaves the input ends where it would end there.
std::vector<std::int32_t> ContinuationsOf(const pw::PageMap& map, std::int32_t first) {
    std::vector<std::int32_t> chain;
    std::set<std::int32_t> seen{first};
    std::int32_t next = map[static_cast<std::size_t>(first)].link;
    while (next > 0 && static_cast<std::size_t>(next) < map.size() && seen.insert(next).second) {
        const pw::PageMapEntry& entry = map[static_cast<std::size_t>(next)];
        if (entry.fileOffset < 0 || !pw::IsPageOfType(entry, pw::PageType::TableDefinition)) break;
        chain.push_back(next);
        next = entry.link;
    }
    return chain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const pw::fuzz::PageBundle pages(pw::ByteView(data, size), 4);
    if (pages.numbers().empty()) return 0;
    pw::TableInfo table;
    table.tdefPage = pages.numbers().front();
    table.name = "Fuzzed";
    table.continuationPages = ContinuationsOf(pages.Map(), table.tdefPage);
    const std::vector<std::uint8_t> definition = pw::MergeDefinitionPages(pages, table);
    const pw::ByteView view(definition);

    bool parsed = pw::ParseTableDefinition(view, table, pages.Map()) != 0;
    if (!parsed || pw::ColumnRecordsLookMisplaced(table))
        parsed = pw::MendDefinitionCounts(view, table, pages.Map()).has_value() || parsed;
    if (!parsed) return 0;
    const pw::ColumnFieldCheck check = pw::MendFlippedColumnFields(table);
    for (const pw::ColumnFieldMend& mend : check.mended)
        if (mend.column >= table.columns.size()) __builtin_trap();
    pw::ApplyUsageMap(pages, view, table);

    std::vector<pw::TableInfo> tables{table};
    pw::SortColumns(tables);
    std::size_t text = pw::MatchSystemTable(tables.front()).value_or(std::string()).size();
    for (const pw::ColumnInfo& column : tables.front().columns) {
        // Names are shown anywhere: the parser promises at most 259 bytes.
        if (column.name.size() >= pw::kColumnNameFieldSize) __builtin_trap();
        text += pw::ColumnTypeName(column).size();
    }
    return text == static_cast<std::size_t>(-1);
}
