#include "engine/TableRecordset.h"

#include "engine/Database.h"
#include "engine/EngineError.h"
#include "engine/RowLayout.h"
#include "engine/TableWriter.h"

namespace pw {

TableRecordset::TableRecordset(Database& database, TableWriter& table) : database_(database), table_(table) {
    const auto& columns = table_.layout().columns;
    for (std::size_t i = 0; i < columns.size(); ++i) byName_.emplace(columns[i].name, i);
}

void TableRecordset::AddNew() {
    if (!open_ || !database_.IsOpen()) throw EngineError("the recordset is closed");
    fields_.assign(table_.layout().columns.size(), EncodedField{});
    pending_ = true;
}

void TableRecordset::SetFieldValue(const std::string& columnName, const std::string& text, const TypedValue& value) {
    if (!pending_) throw EngineError("no record is being added");
    const auto it = byName_.find(columnName);
    if (it == byName_.end()) throw EngineError("Item not found in this collection: " + columnName);
    const ColumnDesign& column = table_.layout().columns[it->second];
    if (value.kind == TypedValue::Kind::Null) {
        fields_[it->second] = EncodedField{};
        return;
    }
    fields_[it->second] = EncodeField(column, text, value);
}

void TableRecordset::Update() {
    if (!pending_) throw EngineError("no record is being added");
    if (!database_.IsOpen()) throw EngineError("the database is closed");
    const RowLayout& layout = table_.layout();
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        if (!layout.columns[i].autoNumber) continue;
        if (!fields_[i].present) {
            if (!assignAutoNumbers_) continue;
            fields_[i] = EncodeField(layout.columns[i], std::string(), TypedValue::Integer(table_.NextAutoNumber()));
        }
        const auto& b = fields_[i].bytes;
        const auto given = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                                     (static_cast<std::uint32_t>(b[2]) << 16) |
                                                     (static_cast<std::uint32_t>(b[3]) << 24));
        table_.NoteAutoNumber(given);
    }
    table_.AddRow(BuildRow(layout, fields_, *database_.longValues_));
    pending_ = false;
    ++stored_;
}

void TableRecordset::Close() {
    pending_ = false;
    open_ = false;
    fields_.clear();
}

}  // namespace pw
