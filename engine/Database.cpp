#include "engine/Database.h"

#include <chrono>

#include "engine/CreateTableParser.h"
#include "engine/EngineError.h"
#include "engine/FieldEncoding.h"
#include "engine/FoldedName.h"
#include "engine/SystemTables.h"
#include "engine/TableRecordset.h"
#include "engine/UsageMaps.h"

namespace pw {
namespace {

constexpr int kSystemPages = 4;  // pages 2 to 5

double NowAsDateSerial() {
    using namespace std::chrono;
    const double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
    constexpr double kUnixEpochSerial = 25569.0;  // 1970-01-01
    return kUnixEpochSerial + seconds / 86400.0;
}


bool StartsWithNoCase(const std::string& text, std::size_t at, const std::string& word) {
    if (text.size() - at < word.size()) return false;
    return FoldedName(text.substr(at, word.size())) == word;
}

}  // namespace

Database::Database() = default;
Database::~Database() { Abandon(); }

void Database::Create(const std::filesystem::path& path, const std::string& locale, int options) {
    if (IsOpen()) throw EngineError("a database is already open");
    if (options != 0) throw EngineError("only the default file format can be created");
    path_ = path;
    locale_ = ParseLocale(locale);
    created_ = NowAsDateSerial();
    file_.Create(path);
    try {
        longValues_ = std::make_unique<LongValueStore>(file_);
        tables_.clear();
        file_.Allocate();  // 0: header
        file_.Allocate();  // 1: usage maps
        std::vector<std::int32_t> systemPages;
        for (int i = 0; i < kSystemPages; ++i) systemPages.push_back(file_.Allocate());
        tables_.push_back(std::make_unique<TableWriter>(file_, CatalogDesign(), kSystemTableType, systemPages[0]));
        std::size_t k = 1;
        for (TableDesign& design : OtherSystemTableDesigns())
            tables_.push_back(std::make_unique<TableWriter>(file_, std::move(design), kSystemTableType, systemPages[k++]));
        systemTables_ = tables_.size();
    } catch (...) {
        Abandon();
        throw;
    }
}

TableWriter* Database::FindTable(const std::string& name) {
    for (auto& t : tables_)
        if (t->design().name == name) return t.get();
    const std::string lower = FoldedName(name);
    for (auto& t : tables_)
        if (FoldedName(t->design().name) == lower) return t.get();
    return nullptr;
}

void Database::Execute(const std::string& sql, int /*options*/) {
    if (!IsOpen()) throw EngineError("the database is not open");
    lastNotes_.clear();
    TableDesign design = ParseCreateTable(sql);
    if (FindTable(design.name) != nullptr) throw EngineError("Table '" + design.name + "' already exists.");
    lastNotes_ = design.notes;
    tables_.push_back(std::make_unique<TableWriter>(file_, std::move(design), kUserTableType));
}

std::unique_ptr<TableRecordset> Database::OpenRecordset(const std::string& query) {
    if (!IsOpen()) throw EngineError("the database is not open");
    // select * from [T] where 1=-1
    const std::string head = "select * from [";
    const std::string tail = "] where 1=-1";
    if (!StartsWithNoCase(query, 0, head) || query.size() < head.size() + tail.size() ||
        FoldedName(query.substr(query.size() - tail.size())) != tail)
        throw EngineError("the query is not supported: " + query);
    const std::string name = query.substr(head.size(), query.size() - head.size() - tail.size());
    TableWriter* table = FindTable(name);
    if (table == nullptr) throw EngineError("The table '" + name + "' does not exist.");
    return std::make_unique<TableRecordset>(*this, *table);
}

void Database::WriteCatalogRows() {
    TableWriter& catalog = *tables_.front();
    std::vector<std::int32_t> systemPages;
    for (std::size_t i = 0; i < systemTables_; ++i) systemPages.push_back(tables_[i]->definitionPage());
    std::vector<CatalogRow> rows = StandardCatalogRows(systemPages);
    for (std::size_t i = systemTables_; i < tables_.size(); ++i)
        rows.push_back({tables_[i]->definitionPage(), kTablesContainerId, tables_[i]->design().name, kTableObjectType, 0});

    const RowLayout& layout = catalog.layout();
    for (const CatalogRow& row : rows) {
        std::vector<EncodedField> fields(layout.columns.size());
        const auto set = [&](std::size_t column, const TypedValue& value) {
            fields[column] = EncodeField(layout.columns[column], std::string(), value);
        };
        set(0, TypedValue::Integer(row.id));
        set(1, TypedValue::Integer(row.parentId));
        set(2, TypedValue::Text(row.name));
        set(3, TypedValue::Integer(row.type));
        set(4, TypedValue::Date(created_));
        set(5, TypedValue::Date(created_));
        set(7, TypedValue::Integer(row.flags));
        catalog.AddRow(BuildRow(layout, fields, *longValues_));
    }
    catalog.Flush();
}

void Database::WriteUsageMaps() {
    std::int32_t holder = 1;
    RowPage page(0, false);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pointers;
    for (auto& table : tables_) {
        StoredBytes used = UsedPagesMapRow(table->pageRuns(), file_);
        StoredBytes free = EmptyMapRow();
        if (!page.Fits(used.size() + free.size() + 2)) {
            file_.Write(holder, page.Render());
            page.Clear();
            holder = file_.Allocate();
        }
        const int usedRow = page.Add(std::move(used));
        const int freeRow = page.Add(std::move(free));
        pointers.emplace_back(RowPointer(holder, usedRow), RowPointer(holder, freeRow));
    }
    file_.Write(holder, page.Render());
    for (std::size_t i = 0; i < tables_.size(); ++i) tables_[i]->WriteDefinition(pointers[i].first, pointers[i].second);
}

void Database::Close() {
    if (!IsOpen()) return;
    try {
        for (std::size_t i = 1; i < tables_.size(); ++i) tables_[i]->Flush();
        WriteCatalogRows();
        longValues_->Flush();
        WriteUsageMaps();
        file_.Write(0, BuildHeaderPage(locale_, created_));
        file_.Close();
    } catch (...) {
        Abandon();
        throw;
    }
    tables_.clear();
    longValues_.reset();
}

void Database::Abandon() {
    file_.Abandon();
    tables_.clear();
    longValues_.reset();
}

}  // namespace pw
