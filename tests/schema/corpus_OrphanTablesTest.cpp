// Tables whose definition or catalog is lost, recovered from corpus files
// damaged in the test: rows of a lost definition come back with inferred
// columns and every text value, Access's own tables stay apart without the
// catalog, and the navigation pane names tables the catalog no longer does.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "engine/FoldedName.h"
#include "pagestore/TextDecoding.h"
#include "records/RowWalk.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using nlohmann::json;
using testing::AnalysedFile;

std::filesystem::path CorpusPath(const std::string& name) { return testing::CorpusDir() / "files" / name; }

std::vector<std::int32_t> CatalogDataPages(const AnalysedFile& file) {
    std::vector<std::int32_t> pages;
    for (const PageMapEntry& e : file.reader.Map())
        if (e.pageType == 1 && e.link == 2) pages.push_back(e.pageNumber);
    return pages;
}

const json* ExpectedTable(const json& expected, const std::string& name) {
    for (const json& t : expected["tables"])
        if (t["name"] == name) return &t;
    return nullptr;
}

// The non-empty TEXT and MEMO values of each expected row, in storage order.
std::vector<std::multiset<std::string>> ExpectedTexts(const json& table) {
    std::vector<bool> textual;
    for (const json& c : table["columns"]) textual.push_back(c["type"] == "TEXT" || c["type"] == "MEMO");
    std::vector<std::multiset<std::string>> out;
    for (const json& row : table["rows"]) {
        std::multiset<std::string> texts;
        for (std::size_t i = 0; i < row.size() && i < textual.size(); ++i)
            if (textual[i] && row[i].is_string() && !row[i].get<std::string>().empty())
                texts.insert(row[i].get<std::string>());
        out.push_back(std::move(texts));
    }
    return out;
}

// The non-empty text values of each recovered row, in storage order.
std::vector<std::multiset<std::string>> RecoveredTexts(AnalysedFile& file, const TableInfo& table) {
    std::vector<std::multiset<std::string>> out;
    ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        std::multiset<std::string> texts;
        for (const CellValue& cell : row.cells)
            if (cell.value.kind == TypedValue::Kind::Text && !cell.value.text.empty()) texts.insert(cell.value.text);
        out.push_back(std::move(texts));
        return true;
    });
    return out;
}

std::size_t TextCount(const std::vector<std::multiset<std::string>>& rows) {
    std::size_t n = 0;
    for (const auto& r : rows) n += r.size();
    return n;
}

// The user table of the file with the most text values among those whose
// definition fits one page and whose names are unique; empty when none has text.
std::string TableWithMostText(const AnalysedFile& file, const json& expected) {
    std::string best;
    std::size_t most = 0;
    std::map<std::string, int> seen;
    for (const json& t : expected["tables"]) ++seen[t["name"].get<std::string>()];
    for (const TableInfo& table : file.tables()) {
        const json* want = ExpectedTable(expected, table.name);
        if (want == nullptr || seen[table.name] != 1 || !table.continuationPages.empty()) continue;
        const std::size_t n = TextCount(ExpectedTexts(*want));
        if (n > most) {
            most = n;
            best = table.name;
        }
    }
    return best;
}

// Expected texts that do not come back, row by row (recovered texts are
// compared without regard to which column holds them).
std::size_t MissingTexts(AnalysedFile& file, const TableInfo& table, const json& want) {
    const auto expectedRows = ExpectedTexts(want);
    const auto recoveredRows = RecoveredTexts(file, table);
    EXPECT_EQ(recoveredRows.size(), expectedRows.size()) << table.name;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < expectedRows.size(); ++i) {
        const std::multiset<std::string> got = i < recoveredRows.size() ? recoveredRows[i] : std::multiset<std::string>{};
        for (const std::string& text : expectedRows[i])
            if (got.count(text) == 0) {
                ++missing;
                ADD_FAILURE() << table.name << " row " << i << ": missing \"" << text << "\"";
            }
    }
    return missing;
}

const char* const kTextFiles[] = {
    "andipaetzold__test_data_V2003_test.mdb",
    "andipaetzold__test_data_V2010_test.accdb",
    "PruebaAccess__Neptuno.mdb",
    "Adespo__bd.mdb",
    "Tamilnadu__data.mdb",
    "bbs__data.mdb",
    "aspcms__data.mdb",
    "andipaetzold__test_data_real_ASampleDatabase.accdb",
};

TEST(CorpusOrphanTables, IntactFilesGainNoTableAndKeepEveryCatalogName) {
    PW_REQUIRE_CORPUS();
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        AnalysedFile analysed(file.path);
        ASSERT_TRUE(analysed.ok);
        for (const TableInfo& t : analysed.tables()) {
            EXPECT_FALSE(t.columnsInferred) << t.name;
            EXPECT_EQ(t.nameSource, NameSource::Catalog) << t.name;
        }
    }
}

TEST(CorpusOrphanTables, ALostDefinitionGivesBackEveryTextUnderTheCatalogName) {
    PW_REQUIRE_CORPUS();
    testing::TempDir dir;
    int checked = 0;
    for (const char* name : kTextFiles) {
        SCOPED_TRACE(name);
        const testing::CorpusFile file{name, CorpusPath(name), testing::CorpusDir() / "expected" / (std::string(name) + ".json"), ""};
        if (!std::filesystem::exists(file.path)) continue;
        const json expected = testing::LoadExpected(file);
        AnalysedFile intact(file.path);
        ASSERT_TRUE(intact.ok);
        const std::string tableName = TableWithMostText(intact, expected);
        if (tableName.empty()) continue;
        SCOPED_TRACE(tableName);
        const TableInfo& lost = intact.Table(tableName);

        auto bytes = testing::ReadFile(file.path);
        testing::ZeroPage(bytes, lost.tdefPage);
        const auto path = dir / name;
        testing::WriteFile(path, bytes);
        AnalysedFile damaged(path);
        ASSERT_TRUE(damaged.ok);
        const TableInfo* back = damaged.Find(tableName);
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(back->columnsInferred);
        EXPECT_FALSE(back->generatedName);
        EXPECT_EQ(back->nameSource, NameSource::Catalog);
        EXPECT_EQ(back->tdefPage, lost.tdefPage);
        EXPECT_EQ(back->dataPages, lost.dataPages);
        EXPECT_EQ(MissingTexts(damaged, *back, *ExpectedTable(expected, tableName)), 0u);
        // The other tables are as they were.
        EXPECT_EQ(damaged.tables().size(), intact.tables().size());

        // Without the catalog the same rows come back under a generated name.
        for (std::int32_t page : CatalogDataPages(intact)) testing::ZeroPage(bytes, page);
        testing::WriteFile(path, bytes);
        AnalysedFile alone(path);
        ASSERT_TRUE(alone.ok);
        const TableInfo* orphan = nullptr;
        for (const TableInfo& t : alone.tables())
            if (t.tdefPage == lost.tdefPage) orphan = &t;
        ASSERT_NE(orphan, nullptr);
        EXPECT_TRUE(orphan->columnsInferred);
        if (orphan->nameSource == NameSource::Generated) {
            EXPECT_TRUE(orphan->generatedName);
            EXPECT_EQ(orphan->name.rfind("Recovered Table ", 0), 0u) << orphan->name;
        } else if (orphan->nameSource == NameSource::CatalogIndex) {
            EXPECT_EQ(orphan->name, FoldedName(tableName));
        } else {
            // Files of Access 2007 and later still name it from the navigation pane.
            EXPECT_EQ(orphan->nameSource, NameSource::NavigationPane);
            EXPECT_EQ(orphan->name, tableName);
        }
        EXPECT_EQ(MissingTexts(alone, *orphan, *ExpectedTable(expected, tableName)), 0u);
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

// Lower case of the Latin and Cyrillic letters names are made of here.
std::string Lowered(const std::string& name) {
    std::string out;
    for (char32_t c : Utf8CodePoints(name)) {
        if (c < 0x80) c = static_cast<char32_t>(std::tolower(static_cast<int>(c)));
        if ((c >= U'А' && c <= U'Я') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
        AppendUtf8(out, c);
    }
    return out;
}

// The user tables of a file by definition page, and a copy of it whose
// catalog rows are zeroed, analysed.
struct WithoutCatalogRows {
    std::map<std::int32_t, std::string> userTables;
    std::unique_ptr<AnalysedFile> damaged;
};

WithoutCatalogRows ZeroCatalogRows(const testing::CorpusFile& file, const testing::TempDir& dir) {
    WithoutCatalogRows out;
    AnalysedFile intact(file.path);
    EXPECT_TRUE(intact.ok);
    for (const TableInfo& t : intact.tables()) out.userTables[t.tdefPage] = t.name;
    auto bytes = testing::ReadFile(file.path);
    for (std::int32_t page : CatalogDataPages(intact)) testing::ZeroPage(bytes, page);
    const auto path = dir / file.name;
    testing::WriteFile(path, bytes);
    out.damaged = std::make_unique<AnalysedFile>(path);
    EXPECT_TRUE(out.damaged->ok);
    return out;
}

TEST(CorpusOrphanTables, WithoutTheCatalogNoSystemTableComesOutAsAUserTable) {
    PW_REQUIRE_CORPUS();
    testing::TempDir dir;
    int checked = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        WithoutCatalogRows copy = ZeroCatalogRows(file, dir);
        const std::map<std::int32_t, std::string>& userTables = copy.userTables;
        AnalysedFile& damaged = *copy.damaged;
        std::set<std::int32_t> found;
        for (const TableInfo& t : damaged.tables()) {
            // The definition Access keeps for an ODBC link's local copy looks, without
            // the catalog, like any user table's.
            if (file.name == "jahlborn__src_test_data_V2007_odbcLinkerTestV2007.accdb" && t.tdefPage == 127) continue;
            EXPECT_EQ(userTables.count(t.tdefPage), 1u) << t.name << " at page " << t.tdefPage << " is no user table";
            found.insert(t.tdefPage);
        }
        for (const auto& [page, name] : userTables) EXPECT_EQ(found.count(page), 1u) << name << " is lost";
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST(CorpusOrphanTables, TheCatalogsOwnIndexNamesTablesItsRowsLost) {
    PW_REQUIRE_CORPUS();
    testing::TempDir dir;
    int named = 0;
    int files = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        WithoutCatalogRows copy = ZeroCatalogRows(file, dir);
        std::map<std::int32_t, std::string>& userTables = copy.userTables;
        AnalysedFile& damaged = *copy.damaged;
        bool any = false;
        for (const TableInfo& t : damaged.tables()) {
            if (t.nameSource != NameSource::CatalogIndex) continue;
            // Right or not at all: the name is the one the catalog held, without case.
            ASSERT_EQ(userTables.count(t.tdefPage), 1u) << t.name;
            EXPECT_EQ(t.name, Lowered(userTables[t.tdefPage]));
            EXPECT_FALSE(t.generatedName);
            ++named;
            any = true;
        }
        files += any ? 1 : 0;
    }
    // Files without a navigation pane have their names only there.
    EXPECT_GE(files, 25);
    EXPECT_GE(named, 50);
}

TEST(CorpusOrphanTables, TheNavigationPaneNamesTablesTheCatalogLost) {
    PW_REQUIRE_CORPUS();
    testing::TempDir dir;
    int named = 0;
    for (const char* name : {"andipaetzold__test_data_V2010_test.accdb", "andipaetzold__test_data_real_ASampleDatabase.accdb",
                             "Evgescha-Diploma__Database1.accdb"}) {
        SCOPED_TRACE(name);
        AnalysedFile intact(CorpusPath(name));
        ASSERT_TRUE(intact.ok);
        auto bytes = testing::ReadFile(CorpusPath(name));
        for (std::int32_t page : CatalogDataPages(intact)) testing::ZeroPage(bytes, page);
        const auto path = dir / name;
        testing::WriteFile(path, bytes);
        AnalysedFile damaged(path);
        ASSERT_TRUE(damaged.ok);
        ASSERT_EQ(damaged.tables().size(), intact.tables().size());
        for (const TableInfo& t : intact.tables()) {
            const TableInfo* back = damaged.Find(t.name);
            ASSERT_NE(back, nullptr) << t.name;
            EXPECT_EQ(back->tdefPage, t.tdefPage);
            EXPECT_EQ(back->nameSource, NameSource::NavigationPane);
            EXPECT_FALSE(back->generatedName);
            ++named;
        }
    }
    EXPECT_GT(named, 5);
}

}  // namespace
}  // namespace pw
