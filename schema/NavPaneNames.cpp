#include "schema/NavPaneNames.h"

#include <optional>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotTable.h"
#include "pagestore/TextDecoding.h"
#include "schema/ColumnTypes.h"
#include "schema/RowShape.h"

namespace pw {
namespace {

constexpr std::int32_t kTableObjectType = 1;

const ColumnInfo* FindColumn(const TableInfo& table, const char* name, std::int32_t type) {
    for (const ColumnInfo& column : table.columns)
        if (column.name == name && column.typeCode == type) return &column;
    return nullptr;
}

// Access keeps some of these Long columns in the variable area, so both
// places are read.
std::optional<std::int32_t> ReadLong(const ByteView& page, const RowShape& row, const ColumnInfo& column) {
    if (!row.MaskBit(page, column.columnNumber)) return std::nullopt;
    if (column.isFixed != 0) {
        if (column.fixedOffset < 0 || column.fixedOffset + 4 > row.FixedLength()) return std::nullopt;
        return ReadInt32(page, row.start + 2 + column.fixedOffset);
    }
    if (column.varIndex < 0 || column.varIndex >= row.VarCount() || row.VarLength(column.varIndex) != 4)
        return std::nullopt;
    return ReadInt32(page, row.start + row.varOffsets[static_cast<std::size_t>(column.varIndex)]);
}

}  // namespace

void ReadNavPaneNames(const PageSource& pages, const TableInfo& navPane,
                      std::unordered_map<std::int32_t, std::string>& names) {
    const ColumnInfo* name = FindColumn(navPane, "Name", ColumnType::Text);
    // The group table names its object in ObjectID (its Id is its own row's);
    // the object table in Id, beside the object's Type.
    const ColumnInfo* object = FindColumn(navPane, "ObjectID", ColumnType::Long);
    const ColumnInfo* type = nullptr;
    if (object == nullptr) {
        object = FindColumn(navPane, "Id", ColumnType::Long);
        type = FindColumn(navPane, "Type", ColumnType::Long);
    }
    if (name == nullptr || object == nullptr || name->isFixed != 0) return;
    const PageMap& map = pages.Map();
    PageBuffer buffer;
    for (std::int32_t pageNumber : navPane.dataPages) {
        if (pageNumber < 0 || static_cast<std::size_t>(pageNumber) >= map.size()) continue;
        if (!pages.ReadPage(buffer, pageNumber).anyBytes()) continue;
        const ByteView page(buffer);
        const SlotTableRead slots = ReadSlotsByShape(page, map[static_cast<std::size_t>(pageNumber)].rowCount);
        for (const SlotEntry& slot : slots.slots) {
            RowShape row;
            if (slot.deleted || slot.lookup || !ReadRowShape(page, slot, true, row)) continue;
            if (!row.MaskBit(page, name->columnNumber)) continue;
            if (name->varIndex < 0 || name->varIndex >= row.VarCount()) continue;
            const std::optional<std::int32_t> id = ReadLong(page, row, *object);
            if (!id) continue;
            // Forms, queries and reports share the list; only tables are wanted.
            if (type != nullptr && ReadLong(page, row, *type).value_or(kTableObjectType) != kTableObjectType) continue;
            const std::int32_t at = row.varOffsets[static_cast<std::size_t>(name->varIndex)];
            std::string text = DecodeJetText(page, row.start + at, row.VarLength(name->varIndex));
            if (text.empty() || names.count(*id) != 0) continue;
            names.emplace(*id, std::move(text));
        }
    }
}

std::optional<TableInfo> ReadAsNavPaneObjects(const PageSource& pages, const TableInfo& inferred) {
    constexpr std::int32_t kCatalogId = 2;
    constexpr std::size_t kMostColumns = 6;
    // One row per object of the database: a list on more pages than this is
    // some other table, and reading it once per way of naming its columns
    // would cost the analysis a walk of a large table each time.
    constexpr std::size_t kMostPages = 64;
    if (!inferred.columnsInferred || inferred.columns.size() > kMostColumns || inferred.dataPages.size() > kMostPages)
        return std::nullopt;
    std::vector<std::size_t> longs;
    std::vector<std::size_t> texts;
    for (std::size_t c = 0; c < inferred.columns.size(); ++c) {
        const ColumnInfo& column = inferred.columns[c];
        if (column.typeCode == ColumnType::Long) longs.push_back(c);
        if (column.typeCode == ColumnType::InferredVariable && column.isFixed == 0) texts.push_back(c);
    }
    for (std::size_t text : texts)
        for (std::size_t id : longs)
            for (std::size_t type : longs) {
                if (type == id) continue;
                TableInfo named = inferred;
                named.columns[id].name = "Id";
                named.columns[type].name = "Type";
                named.columns[text].name = "Name";
                named.columns[text].typeCode = ColumnType::Text;
                std::unordered_map<std::int32_t, std::string> read;
                ReadNavPaneNames(pages, named, read);
                const auto catalog = read.find(kCatalogId);
                if (catalog != read.end() && catalog->second == "MSysObjects") return named;
            }
    return std::nullopt;
}

}  // namespace pw
