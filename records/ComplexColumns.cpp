#include "records/ComplexColumns.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "pagestore/CaseFolding.h"
#include "records/AttachmentData.h"
#include "records/RowWalk.h"
#include "records/ScalarDecoders.h"
#include "schema/CatalogNames.h"
#include "schema/ColumnTypes.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

constexpr const char* kLinkTableName = "MSysComplexColumns";
constexpr std::int32_t kTableObject = 1;

std::string Folded(const std::string& name) { return CaseFolded(name); }

int ColumnNamed(const TableInfo& table, const char* name) {
    const std::string wanted = Folded(name);
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (Folded(table.columns[i].name) == wanted) return static_cast<int>(i);
    return -1;
}

const PageMapEntry* DefinitionEntry(const PageMap& map, std::int32_t page) {
    if (page <= 0 || static_cast<std::size_t>(page) >= map.size()) return nullptr;
    const PageMapEntry& entry = map[static_cast<std::size_t>(page)];
    return IsPageOfType(entry, PageType::TableDefinition) ? &entry : nullptr;
}

// A hidden table's definition, read the way discovery reads any table's:
// continuation pages in link order, a loop ending the chain.
std::optional<TableInfo> ReadHiddenTable(const PageSource& pages, std::int32_t page, const std::string& name) {
    const PageMap& map = pages.Map();
    const PageMapEntry* entry = DefinitionEntry(map, page);
    if (entry == nullptr) return std::nullopt;
    TableInfo table;
    table.tdefPage = page;
    table.tdefOffset = entry->fileOffset;
    table.name = name;
    std::unordered_set<std::int32_t> seen{page};
    for (std::int32_t next = entry->link; next != 0 && seen.insert(next).second;) {
        const PageMapEntry* more = DefinitionEntry(map, next);
        if (more == nullptr) break;
        table.continuationPages.push_back(next);
        next = more->link;
    }
    const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, table);
    if (ParseTableDefinition(ByteView(definition), table, map) == 0) return std::nullopt;
    return table;
}

std::int64_t IntegerCell(const WalkedRow& row, int column, std::int64_t otherwise) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) return otherwise;
    const TypedValue& value = row.cells[static_cast<std::size_t>(column)].value;
    return value.kind == TypedValue::Kind::Integer ? value.integer : otherwise;
}

std::string TextCell(const WalkedRow& row, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) return {};
    const TypedValue& value = row.cells[static_cast<std::size_t>(column)].value;
    return value.kind == TypedValue::Kind::Text ? value.text : std::string();
}

// Access keeps an append-only memo's history as its texts with the time each
// was replaced; no multi-value column pairs a memo with a date.
bool IsVersionHistory(const TableInfo& flat, const std::vector<int>& valueColumns) {
    if (valueColumns.size() != 2) return false;
    bool memo = false, date = false;
    for (int column : valueColumns) {
        const std::int32_t type = flat.columns[static_cast<std::size_t>(column)].typeCode;
        memo = memo || type == ColumnType::Memo;
        date = date || type == ColumnType::Date;
    }
    return memo && date;
}

}  // namespace

struct ComplexColumnIndex::FlatTable {
    TableInfo info;
    ComplexKind kind = ComplexKind::MultiValue;
    int parentIdColumn = -1;
    int fileData = -1;
    int fileName = -1;
    std::vector<int> valueColumns;
    bool indexed = false;
    // Per id of the user row: the flat rows, as (index into dataPages, slot).
    std::unordered_map<std::int32_t, std::vector<std::pair<std::size_t, std::int32_t>>> rowsById;
};

ComplexColumnIndex::ComplexColumnIndex(const PageSource& pages, const RunControl& run)
    : pages_(pages), run_{run.stop, nullptr, run.damage} {
    // The catalog was read (and its damage told) by the analysis already.
    const std::vector<CatalogEntry> catalog = ReadCatalogEntries(pages, RunControl{});
    std::unordered_map<std::int32_t, std::string> names;
    std::int32_t linkPage = 0;
    for (const CatalogEntry& entry : catalog) {
        if (entry.type != kTableObject) continue;
        if (!entry.deleted || names.count(entry.id) == 0) names[entry.id] = entry.name;
        if (entry.name == kLinkTableName && (!entry.deleted || linkPage == 0)) linkPage = entry.id;
    }
    if (linkPage == 0) return;
    const std::optional<TableInfo> links = ReadHiddenTable(pages, linkPage, kLinkTableName);
    if (!links) return;
    const int nameColumn = ColumnNamed(*links, "ColumnName");
    const int flatColumn = ColumnNamed(*links, "FlatTableID");
    const int tableColumn = ColumnNamed(*links, "ConceptualTableID");
    if (nameColumn < 0 || flatColumn < 0 || tableColumn < 0) return;

    std::unordered_map<std::int32_t, FlatTable*> byFlatPage;
    ForEachRow(pages, *links, run_, [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        const std::string column = CleanColumnName(TextCell(row, nameColumn));
        const std::int64_t flatPage = IntegerCell(row, flatColumn, 0);
        const std::int64_t tablePage = IntegerCell(row, tableColumn, 0);
        if (column.empty() || flatPage <= 0 || tablePage <= 0 || flatPage > INT32_MAX || tablePage > INT32_MAX)
            return true;
        FlatTable*& flat = byFlatPage[static_cast<std::int32_t>(flatPage)];
        if (flat == nullptr) {
            const auto page = static_cast<std::int32_t>(flatPage);
            std::optional<TableInfo> info = ReadHiddenTable(pages, page, names.count(page) ? names[page] : std::string());
            if (!info) return true;
            auto made = std::make_unique<FlatTable>();
            made->info = std::move(*info);
            flat = made.get();
            flats_.push_back(std::move(made));
            // The column "_<name>" holds the user row's id; the column whose
            // name ends in it ("<table>_<name>") numbers the flat rows and is no value.
            const TableInfo& t = flat->info;
            std::string parentName;
            for (std::size_t i = 0; i < t.columns.size() && flat->parentIdColumn < 0; ++i)
                if (t.columns[i].typeCode == ColumnType::Long && t.columns[i].name.rfind('_', 0) == 0) {
                    flat->parentIdColumn = static_cast<int>(i);
                    parentName = Folded(t.columns[i].name);
                }
            for (std::size_t i = 0; i < t.columns.size(); ++i) {
                const std::string name = Folded(t.columns[i].name);
                const bool ownId = t.columns[i].typeCode == ColumnType::Long && name.size() > parentName.size() &&
                                   name.compare(name.size() - parentName.size(), parentName.size(), parentName) == 0;
                if (static_cast<int>(i) != flat->parentIdColumn && !(ownId && !parentName.empty()))
                    flat->valueColumns.push_back(static_cast<int>(i));
            }
            flat->fileData = ColumnNamed(t, "FileData");
            flat->fileName = ColumnNamed(t, "FileName");
            if (flat->fileData >= 0 && flat->fileName >= 0) flat->kind = ComplexKind::Attachment;
            else if (IsVersionHistory(t, flat->valueColumns)) flat->kind = ComplexKind::VersionHistory;
        }
        if (flat->parentIdColumn >= 0)
            byColumn_.emplace(std::make_pair(static_cast<std::int32_t>(tablePage), Folded(column)), flat);
        return true;
    });
}

ComplexColumnIndex::~ComplexColumnIndex() = default;

std::size_t ComplexColumnIndex::linkedColumns() const { return byColumn_.size(); }

ComplexColumnIndex::FlatTable* ComplexColumnIndex::Find(std::int32_t tableDefinitionPage,
                                                        const std::string& columnName) const {
    const auto found = byColumn_.find({tableDefinitionPage, Folded(columnName)});
    return found == byColumn_.end() ? nullptr : found->second;
}

std::optional<ComplexColumnShape> ComplexColumnIndex::ShapeOf(std::int32_t tableDefinitionPage,
                                                              const std::string& columnName) const {
    const FlatTable* flat = Find(tableDefinitionPage, columnName);
    if (flat == nullptr) return std::nullopt;
    ComplexColumnShape shape;
    shape.kind = flat->kind;
    for (int column : flat->valueColumns)
        shape.valueColumns.push_back(flat->info.columns[static_cast<std::size_t>(column)]);
    return shape;
}

void ComplexColumnIndex::Index(FlatTable& flat) const {
    flat.indexed = true;
    WalkOptions options;
    ForEachRow(pages_, flat.info, run_, [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        const std::int64_t id = IntegerCell(row, flat.parentIdColumn, -1);
        if (id >= INT32_MIN && id <= INT32_MAX && id != -1)
            flat.rowsById[static_cast<std::int32_t>(id)].emplace_back(row.pageIndex, row.slot);
        return true;
    }, options);
}

std::optional<DecodedCell> ComplexColumnIndex::Lookup(std::int32_t tableDefinitionPage, const std::string& tableName,
                                                      const std::string& columnName, std::int32_t id) const {
    FlatTable* flat = Find(tableDefinitionPage, columnName);
    if (flat == nullptr) return std::nullopt;
    std::vector<std::pair<std::size_t, std::int32_t>> rows;
    {
        std::lock_guard lock(mutex_);
        if (!flat->indexed) Index(*flat);
        const auto found = flat->rowsById.find(id);
        if (found != flat->rowsById.end()) rows = found->second;
    }

    DecodedCell cell;
    std::vector<TypedValue> items;
    // Damage in these rows was told when the table was indexed.
    RowWalker walker(pages_, flat->info, RunControl{run_.stop, nullptr, nullptr});
    for (const auto& [pageIndex, slot] : rows) {
        if (walker.loadedPage() != pageIndex || walker.slotsOnPage() == 0) walker.LoadPage(pageIndex);
        const WalkedRow& row = walker.ReadSlot(slot);
        if (!row.IsRecord()) continue;
        std::string text;
        if (flat->kind == ComplexKind::Attachment) {
            const TypedValue& data = static_cast<std::size_t>(flat->fileData) < row.cells.size()
                                         ? row.cells[static_cast<std::size_t>(flat->fileData)].value
                                         : TypedValue{};
            AttachmentContent content = ReadAttachmentData(data.kind == TypedValue::Kind::Bytes ? data.text : "");
            TypedValue item = TypedValue::Bytes(std::move(content.bytes));
            item.name = TextCell(row, flat->fileName);
            if (content.outcome != AttachmentDataOutcome::Complete && content.outcome != AttachmentDataOutcome::Empty)
                run_.Report({DamageKind::ValueOutOfRange, row.page, row.slot, tableName,
                             std::string(AttachmentDataOutcomeText(content.outcome)) + " in column " + columnName +
                                 " (" + item.name + ")"});
            text = item.name;
            items.push_back(std::move(item));
        } else if (flat->valueColumns.size() == 1) {
            const auto at = static_cast<std::size_t>(flat->valueColumns.front());
            if (at < row.cells.size()) {
                text = row.cells[at].text;
                items.push_back(row.cells[at].value);
            } else {
                text = kNullCell;
                items.push_back(TypedValue::Null());
            }
        } else {
            std::vector<TypedValue> fields;
            for (int column : flat->valueColumns) {
                const auto at = static_cast<std::size_t>(column);
                if (!text.empty()) text += ", ";
                text += at < row.cells.size() ? row.cells[at].text : kNullCell;
                fields.push_back(at < row.cells.size() ? row.cells[at].value : TypedValue::Null());
            }
            text = "(" + text + ")";
            items.push_back(TypedValue::List(std::move(fields)));
        }
        if (!cell.text.empty()) cell.text += kComplexItemSeparator;
        cell.text += text;
    }
    cell.value = TypedValue::List(std::move(items));
    return cell;
}

DecodedCell DecodeComplexValue(const ComplexColumnIndex* index, std::int32_t tableDefinitionPage,
                               const std::string& tableName, ByteView page, const ColumnInfo& column,
                               std::int64_t position) {
    DecodedCell id = DecodeLongValue(page, position);
    if (id.value.kind != TypedValue::Kind::Integer) {
        id.text = ColumnTypeName(column);
        return id;
    }
    if (index != nullptr) {
        std::optional<DecodedCell> values =
            index->Lookup(tableDefinitionPage, tableName, column.name, static_cast<std::int32_t>(id.value.integer));
        if (values) return std::move(*values);
    }
    id.text = ColumnTypeName(column);
    return id;
}

bool ResolveComplexCell(const ComplexColumnIndex& index, const TableInfo& table, const ColumnInfo& column,
                        std::string& text, TypedValue& value) {
    if (column.typeCode != ColumnType::Attachment || value.kind != TypedValue::Kind::Integer) return false;
    std::optional<DecodedCell> values =
        index.Lookup(table.tdefPage, table.name, column.name, static_cast<std::int32_t>(value.integer));
    if (!values) return false;
    text = std::move(values->text);
    value = std::move(values->value);
    return true;
}

bool HasComplexColumns(const TableInfo& table) {
    return std::any_of(table.columns.begin(), table.columns.end(),
                       [](const ColumnInfo& c) { return c.typeCode == ColumnType::Attachment; });
}

}  // namespace pw
