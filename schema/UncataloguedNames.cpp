#include "schema/UncataloguedNames.h"

#include <optional>

#include "schema/NavPaneNames.h"
#include "schema/OrphanTables.h"
#include "schema/SystemTableSignatures.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"

namespace pw {
namespace {

constexpr const char* kNavPaneTable = "MSysNavPaneGroupToObjects";
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
    std::optional<TableInfo> navPane;
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
        if (*system == kNavPaneTable && !navPane) navPane = parsed;
    }
    if (!anyUnnamed) return;

    // The catalog may have named the navigation-pane table and lost only
    // some rows; its rows name the others all the same.
    if (!navPane)
        for (const TableInfo& table : tables)
            if (table.name == kNavPaneTable && !table.columnsInferred) {
                navPane = ReadDefinition(pages, table);
                break;
            }
    if (!navPane) return;
    const auto names = ReadNavPaneNames(pages, *navPane);
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
