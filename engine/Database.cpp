#include "engine/Database.h"

#include <chrono>

#include "engine/EngineError.h"
#include "engine/FieldEncoding.h"
#include "engine/FoldedName.h"
#include "engine/SystemTables.h"
#include "engine/TableDesignCheck.h"
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


}  // namespace

Database::Database() = default;
Database::~Database() { Abandon(); }

void Database::Create(const std::filesystem::path& path, const DatabaseOptions& options) {
    if (IsOpen()) throw EngineError("a database is already open");
    path_ = path;
    locale_ = ParseLocale(options.locale);
    created_ = NowAsDateSerial();
    file_.Create(path);
    try {
        longValues_ = std::make_unique<LongValueStore>(file_);
        tables_.clear();
        file_.Allocate();  // 0: header
        file_.Allocate();  // 1: usage maps
        std::vector<std::int32_t> systemPages;
        for (int i = 0; i < kSystemPages; ++i) systemPages.push_back(file_.Allocate());
        tables_.push_back(
            std::make_unique<TableWriter>(file_, *longValues_, CatalogDesign(), kSystemTableType, systemPages[0]));
        std::size_t k = 1;
        for (TableDesign& design : OtherSystemTableDesigns())
            tables_.push_back(std::make_unique<TableWriter>(file_, *longValues_, std::move(design), kSystemTableType,
                                                            systemPages[k++]));
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

TableWriter& Database::CreateTable(TableDesign design) {
    if (!IsOpen()) throw EngineError("the database is not open");
    if (const std::string problem = DesignProblem(design); !problem.empty())
        throw EngineError("table [" + design.name + "] refused: " + problem);
    if (FindTable(design.name) != nullptr) throw EngineError("Table '" + design.name + "' already exists.");
    tables_.push_back(std::make_unique<TableWriter>(file_, *longValues_, std::move(design), kUserTableType));
    return *tables_.back();
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
            fields[column] = EncodeField(layout.columns[column], value);
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

void Database::Finish() {
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
