#include "schema/UncataloguedNames.h"

#include <optional>
#include <string_view>
#include <unordered_map>

#include "pagestore/CaseFolding.h"
#include "schema/CatalogIndexNames.h"
#include "schema/NavPaneNames.h"
#include "schema/OrphanTables.h"
#include "schema/SystemTableSignatures.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"

namespace pw {
namespace {

constexpr int kTableObject = 1;

bool FoldedStartsWith(const std::string& text, std::string_view lowerPrefix) {
    return CaseFolded(text).starts_with(lowerPrefix);
}

bool Unnamed(const TableInfo& table) { return table.name.rfind(kOrphanPlaceholderPrefix, 0) == 0; }

std::optional<TableInfo> ReadDefinition(const PageSource& pages, const TableInfo& table) {
    if (table.columnsInferred) return std::nullopt;
    TableInfo copy = table;
    const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, copy);
    if (ParseTableDefinition(ByteView(definition), copy, pages.Map()) == 0) return std::nullopt;
    return copy;
}

// Names the unnamed tables whose definition page `names` lists; returns how
// many are left unnamed. Access's own tables are known by name here too: an
// index keeps "MSysObjects" as "msysobjects".
std::size_t TakeNames(std::vector<TableInfo>& tables, std::vector<bool>& systemObject,
                      const std::unordered_map<std::int32_t, std::string>& names, NameSource source) {
    std::size_t unnamed = 0;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableInfo& table = tables[i];
        if (!Unnamed(table)) continue;
        const auto found = names.find(table.tdefPage);
        if (found == names.end()) {
            ++unnamed;
            continue;
        }
        table.name = found->second;
        table.nameSource = source;
        table.tableType = kTableObject;
        if (FoldedStartsWith(table.name, "msys")) systemObject[i] = true;
    }
    return unnamed;
}

}  // namespace

void NameUncataloguedTables(const PageSource& pages, std::vector<TableInfo>& tables, std::vector<bool>& systemObject) {
    bool anyUnnamed = false;
    std::vector<TableInfo> navPanes;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableInfo& table = tables[i];
        if (!Unnamed(table)) continue;
        std::optional<TableInfo> parsed = ReadDefinition(pages, table);
        std::optional<std::string> system;
        NameSource source = NameSource::SystemSignature;
        if (parsed) {
            system = MatchSystemTable(*parsed);
        } else if (table.columnsInferred) {
            source = NameSource::SystemPage;
            system = SystemTableAtPage(table.tdefPage, table.maxColumns);
            if (!system && (parsed = ReadAsNavPaneObjects(pages, table))) {
                source = NameSource::SystemRows;
                system = kNavPaneObjectsTable;
            }
        }
        if (!system) {
            anyUnnamed = true;
            continue;
        }
        table.name = *system;
        table.nameSource = source;
        systemObject[i] = true;
        if (parsed && (*system == kNavPaneObjectsTable || *system == kNavPaneGroupsTable)) navPanes.push_back(*parsed);
    }
    if (!anyUnnamed) return;

    // The catalog may have named the navigation-pane tables and lost only
    // some rows; their rows name the others all the same.
    for (const TableInfo& table : tables)
        if ((table.name == kNavPaneObjectsTable || table.name == kNavPaneGroupsTable) && !table.columnsInferred &&
            table.nameSource != NameSource::SystemSignature)
            if (std::optional<TableInfo> parsed = ReadDefinition(pages, table)) navPanes.push_back(std::move(*parsed));
    std::unordered_map<std::int32_t, std::string> names;
    for (const TableInfo& navPane : navPanes) ReadNavPaneNames(pages, navPane, names);
    if (TakeNames(tables, systemObject, names, NameSource::NavigationPane) == 0) return;
    // The pane keeps a name as it was typed; the catalog's index keeps it
    // without case, so it is asked second.
    TakeNames(tables, systemObject, ReadCatalogIndexNames(pages), NameSource::CatalogIndex);
}

}  // namespace pw
