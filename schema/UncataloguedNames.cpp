#include "schema/UncataloguedNames.h"

#include <optional>
#include <unordered_map>

#include "schema/NavPaneNames.h"
#include "schema/OrphanTables.h"
#include "schema/SystemTableSignatures.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"

namespace pw {
namespace {

constexpr int kTableObject = 1;

bool Unnamed(const TableInfo& table) { return table.name.rfind(kOrphanPlaceholderPrefix, 0) == 0; }

std::optional<TableInfo> ReadDefinition(const PageSource& pages, const TableInfo& table) {
    if (table.columnsInferred) return std::nullopt;
    TableInfo copy = table;
    const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, copy);
    if (ParseTableDefinition(ByteView(definition), copy, pages.Map()) == 0) return std::nullopt;
    return copy;
}

}  // namespace

void NameUncataloguedTables(const PageSource& pages, std::vector<TableInfo>& tables, std::vector<bool>& systemObject) {
    bool anyUnnamed = false;
    std::vector<TableInfo> navPanes;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableInfo& table = tables[i];
        if (!Unnamed(table)) continue;
        const std::optional<TableInfo> parsed = ReadDefinition(pages, table);
        std::optional<std::string> system;
        if (parsed) system = MatchSystemTable(*parsed);
        if (!system) {
            anyUnnamed = true;
            continue;
        }
        table.name = *system;
        table.nameSource = NameSource::SystemSignature;
        systemObject[i] = true;
        if (*system == kNavPaneObjectsTable || *system == kNavPaneGroupsTable) navPanes.push_back(*parsed);
    }
    if (!anyUnnamed) return;

    // The catalog may have named the navigation-pane tables and lost only
    // some rows; their rows name the others all the same.
    for (const TableInfo& table : tables)
        if ((table.name == kNavPaneObjectsTable || table.name == kNavPaneGroupsTable) && !table.columnsInferred &&
            table.nameSource != NameSource::SystemSignature)
            if (std::optional<TableInfo> parsed = ReadDefinition(pages, table)) navPanes.push_back(std::move(*parsed));
    if (navPanes.empty()) return;
    std::unordered_map<std::int32_t, std::string> names;
    for (const TableInfo& navPane : navPanes) ReadNavPaneNames(pages, navPane, names);
    for (TableInfo& table : tables) {
        if (!Unnamed(table)) continue;
        const auto found = names.find(table.tdefPage);
        if (found == names.end()) continue;
        table.name = found->second;
        table.nameSource = NameSource::NavigationPane;
        table.tableType = kTableObject;
    }
}

}  // namespace pw
