#include "engine/SystemTables.h"

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kRootId = 0x0F000000;
constexpr std::int32_t kDatabasesContainerId = 0x0F000002;
constexpr std::int32_t kRelationshipsContainerId = 0x0F000003;
constexpr std::int32_t kDatabaseObjectId = 0x10000000;
constexpr std::int32_t kSystemObjectFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::int16_t kContainerType = 3;
constexpr std::int16_t kDatabaseType = 2;

ColumnDesign Col(const char* name, std::int32_t type, std::int32_t length) {
    ColumnDesign c;
    c.name = name;
    c.typeCode = type;
    c.length = length;
    return c;
}

// The definitions Access writes for these tables (their indexes included)
// leave 3038, 3753, 3563 and 3275 bytes free on their pages.
TableDesign Design(const char* name, std::size_t definitionSize, std::vector<ColumnDesign> columns) {
    TableDesign t;
    t.name = name;
    t.columns = std::move(columns);
    t.definitionSize = definitionSize;
    return t;
}

}  // namespace

TableDesign CatalogDesign() {
    using namespace ColumnType;
    return Design("MSysObjects", 4096 - 3038, {Col("Id", Long, 4), Col("ParentId", Long, 4), Col("Name", Text, 510),
                                Col("Type", Int, 2), Col("DateCreate", Date, 8), Col("DateUpdate", Date, 8),
                                Col("Owner", Binary, 255), Col("Flags", Long, 4), Col("Database", Memo, 0),
                                Col("Connect", Memo, 0), Col("ForeignName", Text, 510),
                                Col("RmtInfoShort", Binary, 255), Col("RmtInfoLong", OleObject, 0),
                                Col("Lv", OleObject, 0), Col("LvProp", OleObject, 0), Col("LvModule", OleObject, 0),
                                Col("LvExtra", OleObject, 0)});
}

std::vector<TableDesign> OtherSystemTableDesigns() {
    using namespace ColumnType;
    return {
        Design("MSysACEs", 4096 - 3753, {Col("ObjectId", Long, 4), Col("SID", Binary, 255), Col("ACM", Long, 4),
                          Col("FInheritable", Bit, 1)}),
        Design("MSysQueries", 4096 - 3563, {Col("ObjectId", Long, 4), Col("Attribute", Byte, 1), Col("Order", Binary, 255),
                             Col("Name1", Text, 510), Col("Name2", Text, 510), Col("Expression", Memo, 0),
                             Col("Flag", Int, 2), Col("LvExtra", OleObject, 0)}),
        Design("MSysRelationships", 4096 - 3275,
             {Col("szRelationship", Text, 510), Col("grbit", Long, 4), Col("ccolumn", Long, 4),
              Col("icolumn", Long, 4), Col("szObject", Text, 510), Col("szColumn", Text, 510),
              Col("szReferencedObject", Text, 510), Col("szReferencedColumn", Text, 510)}),
    };
}

std::vector<CatalogRow> StandardCatalogRows(const std::vector<std::int32_t>& systemPages) {
    std::vector<CatalogRow> rows = {
        {kTablesContainerId, kRootId, "Tables", kContainerType, kSystemObjectFlag},
        {kDatabasesContainerId, kRootId, "Databases", kContainerType, kSystemObjectFlag},
        {kRelationshipsContainerId, kRootId, "Relationships", kContainerType, kSystemObjectFlag},
        {kDatabaseObjectId, kDatabasesContainerId, "MSysDb", kDatabaseType, kSystemObjectFlag},
    };
    std::vector<std::string> names = {CatalogDesign().name};
    for (const TableDesign& t : OtherSystemTableDesigns()) names.push_back(t.name);
    for (std::size_t i = 0; i < systemPages.size() && i < names.size(); ++i)
        rows.push_back({systemPages[i], kTablesContainerId, names[i], kTableObjectType, kSystemObjectFlag});
    return rows;
}

}  // namespace pw
