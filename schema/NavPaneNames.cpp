#include "schema/NavPaneNames.h"

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotTable.h"
#include "pagestore/TextDecoding.h"
#include "schema/ColumnTypes.h"
#include "schema/RowShape.h"

namespace pw {
namespace {

const ColumnInfo* FindColumn(const TableInfo& table, const char* name, std::int32_t type) {
    for (const ColumnInfo& column : table.columns)
        if (column.name == name && column.typeCode == type) return &column;
    return nullptr;
}

}  // namespace

std::unordered_map<std::int32_t, std::string> ReadNavPaneNames(const PageSource& pages, const TableInfo& navPane) {
    std::unordered_map<std::int32_t, std::string> names;
    const ColumnInfo* name = FindColumn(navPane, "Name", ColumnType::Text);
    const ColumnInfo* object = FindColumn(navPane, "ObjectID", ColumnType::Long);
    if (name == nullptr || object == nullptr || name->isFixed != 0 || object->isFixed == 0) return names;
    const PageMap& map = pages.Map();
    PageBuffer buffer;
    for (std::int32_t pageNumber : navPane.dataPages) {
        if (pageNumber < 0 || static_cast<std::size_t>(pageNumber) >= map.size()) continue;
        if (pages.ReadPage(buffer, pageNumber) <= 0) continue;
        const ByteView page(buffer);
        const std::int32_t slots = map[static_cast<std::size_t>(pageNumber)].rowCount;
        for (std::int32_t i = 0; i < slots; ++i) {
            const SlotEntry slot = ReadSlot(page, i);
            RowShape row;
            if (slot.deleted || slot.lookup || !ReadRowShape(page, slot, true, row)) continue;
            if (!row.MaskBit(page, name->columnNumber) || !row.MaskBit(page, object->columnNumber)) continue;
            if (name->varIndex < 0 || name->varIndex >= row.VarCount()) continue;
            if (object->fixedOffset < 0 || object->fixedOffset + 4 > row.FixedLength()) continue;
            const std::int32_t id = ReadInt32(page, row.start + 2 + object->fixedOffset);
            const std::int32_t at = row.varOffsets[static_cast<std::size_t>(name->varIndex)];
            std::string text = DecodeJetText(page, row.start + at, row.VarLength(name->varIndex));
            if (text.empty() || names.count(id) != 0) continue;
            names.emplace(id, std::move(text));
        }
    }
    return names;
}

}  // namespace pw
