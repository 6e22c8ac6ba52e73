// Schema recovery from corpus files damaged in the test: lost catalog rows,
// a lost catalog definition, multi-page definitions, looping chains, and stop
// requests at each point where discovery looks for one.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "status/DamageReport.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using testing::AnalysedFile;

// Four user tables; Table2 (89 columns) has its definition on pages 30 and 708.
const char* kFile = "andipaetzold__test_data_V2003_test.mdb";

std::filesystem::path CorpusPath(const char* name) { return testing::CorpusDir() / "files" / name; }

std::map<std::int32_t, std::vector<std::string>> ColumnsByPage(AnalysedFile& file) {
    std::map<std::int32_t, std::vector<std::string>> out;
    for (const TableInfo& t : file.tables())
        for (const ColumnInfo& c : t.columns) out[t.tdefPage].push_back(c.name + ":" + std::to_string(c.typeCode));
    return out;
}

std::vector<std::int32_t> CatalogDataPages(AnalysedFile& file) {
    std::vector<std::int32_t> pages;
    for (const PageMapEntry& e : file.reader.Map())
        if (e.pageType == 1 && e.link == 2) pages.push_back(e.pageNumber);
    return pages;
}

class SchemaDamage : public ::testing::Test {
protected:
    void SetUp() override {
        PW_REQUIRE_CORPUS();
        original = testing::ReadFile(CorpusPath(kFile));
        intact = std::make_unique<AnalysedFile>(CorpusPath(kFile));
        ASSERT_TRUE(intact->ok);
        ASSERT_EQ(intact->tables().size(), 4u);
    }
    std::filesystem::path Write(const std::vector<std::uint8_t>& bytes) {
        const auto path = dir / kFile;
        testing::WriteFile(path, bytes);
        return path;
    }

    testing::TempDir dir;
    std::vector<std::uint8_t> original;
    std::unique_ptr<AnalysedFile> intact;
};

TEST_F(SchemaDamage, LostCatalogRowsLeaveEveryTableUnderTheNavigationPaneNameOrAGeneratedOne) {
    auto bytes = original;
    for (std::int32_t page : CatalogDataPages(*intact)) testing::ZeroPage(bytes, page);
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    std::map<std::int32_t, std::string> intactNames;
    for (const TableInfo& t : intact->tables()) intactNames[t.tdefPage] = t.name;
    const std::size_t n = damaged.tables().size();
    ASSERT_GE(n, 4u);
    int generated = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const TableInfo& t = damaged.tables()[i];
        SCOPED_TRACE(t.name);
        if (t.nameSource == NameSource::NavigationPane) {
            EXPECT_EQ(t.name, intactNames[t.tdefPage]);
            EXPECT_FALSE(t.generatedName);
            continue;
        }
        ++generated;
        EXPECT_EQ(t.name.rfind("Recovered Table ", 0), 0u);
        EXPECT_TRUE(t.generatedName);
    }
    EXPECT_EQ(damaged.unnamedTables(), generated);
    const auto recovered = ColumnsByPage(damaged);
    for (const auto& [page, columns] : ColumnsByPage(*intact)) {
        ASSERT_EQ(recovered.count(page), 1u) << "table of page " << page;
        EXPECT_EQ(recovered.at(page), columns);
    }
}

TEST_F(SchemaDamage, LostCatalogDefinitionStillNamesTheTablesFromTheCatalogRows) {
    auto bytes = original;
    testing::ZeroPage(bytes, 2);
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    // The signature no longer matches at the start: page 1 is searched and found in place.
    EXPECT_EQ(damaged.reader.pageOneOffset(), 4096);
    EXPECT_EQ(damaged.reader.scanKind(), ScanKind::Standard);
    std::vector<std::string> names;
    for (const TableInfo& t : damaged.tables()) names.push_back(t.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Table1", "Table2", "Table4", "Table3"}));
    EXPECT_EQ(ColumnsByPage(damaged), ColumnsByPage(*intact));
}

TEST_F(SchemaDamage, ADeletedCatalogRowStillNamesItsTable) {
    auto bytes = original;
    // Flag Table1's catalog row as deleted.
    const TableInfo* table1 = intact->Find("Table1");
    ASSERT_NE(table1, nullptr);
    bool flagged = false;
    for (std::int32_t page : CatalogDataPages(*intact)) {
        const std::size_t base = static_cast<std::size_t>(page) * kPageSize;
        ByteView view(bytes.data() + base, kPageSize);
        const int rows = ReadUInt16(view, 12);
        for (int i = 0; i < rows; ++i) {
            const int start = ReadUInt16(view, 14 + 2 * i) & 0x1FFF;
            if (ReadInt32(view, start + 2) == table1->tdefPage && (ReadUInt16(view, start + 10) & 0x7F) == 1) {
                bytes[base + 14 + 2 * i + 1] |= 0x40;
                flagged = true;
            }
        }
    }
    ASSERT_TRUE(flagged);
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    ASSERT_NE(damaged.Find("Table1"), nullptr);
    EXPECT_FALSE(damaged.Find("Table1")->generatedName);
    EXPECT_EQ(damaged.unnamedTables(), 0);
}

TEST_F(SchemaDamage, ADefinitionOverTwoPagesIsMergedInChainOrder) {
    const TableInfo* wide = intact->Find("Table2");
    ASSERT_NE(wide, nullptr);
    ASSERT_EQ(wide->continuationPages.size(), 1u);
    EXPECT_EQ(wide->tdefPage, 30);
    EXPECT_EQ(wide->continuationPages[0], 708);
    ASSERT_EQ(wide->columns.size(), 89u);
    EXPECT_EQ(wide->columns.front().name, "column1");
    EXPECT_EQ(wide->columns.back().name, "column89");
}

TEST_F(SchemaDamage, ADefinitionChainThatLoopsEndsAndKeepsWhatItCollected) {
    auto bytes = original;
    // Page 708 continues the definition of page 30; make it point back to 30.
    const std::size_t link = 708 * static_cast<std::size_t>(kPageSize) + 4;
    bytes[link] = 30;
    bytes[link + 1] = bytes[link + 2] = bytes[link + 3] = 0;
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    const TableInfo* wide = damaged.Find("Table2");
    ASSERT_NE(wide, nullptr);
    ASSERT_EQ(wide->continuationPages.size(), 1u);
    EXPECT_EQ(wide->columns.size(), 89u);
}

TEST_F(SchemaDamage, AChainToItselfEndsAtOnce) {
    auto bytes = original;
    const std::size_t link = 30 * static_cast<std::size_t>(kPageSize) + 4;
    bytes[link] = 30;
    bytes[link + 1] = bytes[link + 2] = bytes[link + 3] = 0;
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    const TableInfo* wide = damaged.Find("Table2");
    ASSERT_NE(wide, nullptr);
    EXPECT_TRUE(wide->continuationPages.empty());
    // The columns whose records lay on the lost page come out with generated names or type 0;
    // those on the first page survive.
    ASSERT_EQ(wide->columns.size(), 89u);
}

std::vector<std::string> Names(const std::vector<TableInfo>& tables) {
    std::vector<std::string> names;
    for (const TableInfo& t : tables) names.push_back(t.name);
    return names;
}

TEST_F(SchemaDamage, ARejectedDefinitionIsReportedAtItsPageAndTheOthersStay) {
    auto bytes = original;
    const std::int32_t page = intact->Find("Table1")->tdefPage;
    const PageLayout layout = PageLayout::Jet4();
    bytes[static_cast<std::size_t>(page) * kPageSize + static_cast<std::size_t>(layout.maxColumnsOffset)] = 0;
    bytes[static_cast<std::size_t>(page) * kPageSize + static_cast<std::size_t>(layout.maxColumnsOffset) + 1] = 0;
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    // Its rows still come back, under the catalog's name, with columns read from the rows.
    const TableInfo* recovered = damaged.Find("Table1");
    ASSERT_NE(recovered, nullptr);
    EXPECT_TRUE(recovered->columnsInferred);
    EXPECT_EQ(recovered->tdefPage, page);
    EXPECT_EQ(damaged.tables().size(), 4u);
    const std::vector<DamageEvent> events = damaged.damage.KeptEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DamageKind::DefinitionRejected);
    EXPECT_EQ(events[0].page, page);
    EXPECT_EQ(intact->damage.TotalEvents(), 0);
}

TEST_F(SchemaDamage, StopBeforeTheSchemaLoopLeavesTheTablesUnread) {
    AnalysedFile run(CorpusPath(kFile), [](AnalysedFile& file, const std::string& line) {
        if (line.rfind("User tables found", 0) == 0) file.stop.Request();
    });
    EXPECT_EQ(run.outcome, AnalysisOutcome::Stopped);
    ASSERT_EQ(run.tables().size(), 4u);
    for (const TableInfo& t : run.tables()) EXPECT_TRUE(t.columns.empty()) << t.name;
    EXPECT_TRUE(run.published.empty());
}

TEST_F(SchemaDamage, StopAtTheStartOfTheThirdPassKeepsThreeTablesTheThirdUnread) {
    AnalysedFile run(CorpusPath(kFile), nullptr, [](AnalysedFile& file, const TableInfo&) {
        if (file.published.size() == 2) file.stop.Request();
    });
    EXPECT_EQ(run.outcome, AnalysisOutcome::Stopped);
    ASSERT_EQ(run.tables().size(), 3u);
    EXPECT_FALSE(run.tables()[0].columns.empty());
    EXPECT_FALSE(run.tables()[1].columns.empty());
    EXPECT_TRUE(run.tables()[2].columns.empty());
    EXPECT_EQ(Names(run.published), (std::vector<std::string>{"Table1", "Table2"}));
}

TEST_F(SchemaDamage, StopAfterTheSecondTablesStatusLineKeepsEveryTable) {
    AnalysedFile run(CorpusPath(kFile), [](AnalysedFile& file, const std::string& line) {
        if (line == "Schema read of table : Table2") file.stop.Request();
    });
    EXPECT_EQ(run.outcome, AnalysisOutcome::Stopped);
    ASSERT_EQ(run.tables().size(), 4u);
    EXPECT_FALSE(run.tables()[1].columns.empty());
    EXPECT_TRUE(run.tables()[2].columns.empty());
    EXPECT_TRUE(run.tables()[3].columns.empty());
    // Table2 was read but the stop came before it was published.
    EXPECT_EQ(Names(run.published), (std::vector<std::string>{"Table1"}));
    EXPECT_EQ(run.sink.lines.back(), "Initializing Tables.....");
}

TEST_F(SchemaDamage, PublishedTablesAreFinishedValues) {
    // Each table is handed over whole, its columns in their final order, and
    // stays as it was when the analysis list is gone.
    std::vector<TableInfo> kept;
    {
        AnalysedFile run(CorpusPath(kFile));
        ASSERT_TRUE(run.ok);
        ASSERT_EQ(run.published.size(), run.tables().size());
        for (std::size_t i = 0; i < run.tables().size(); ++i) {
            EXPECT_EQ(run.published[i].name, run.tables()[i].name);
            EXPECT_EQ(ColumnsByPage(run).at(run.published[i].tdefPage).size(), run.published[i].columns.size());
            EXPECT_TRUE(std::is_sorted(run.published[i].columns.begin(), run.published[i].columns.end(),
                                       [](const ColumnInfo& a, const ColumnInfo& b) {
                                           return a.columnNumber < b.columnNumber;
                                       }));
        }
        kept = run.published;
    }
    EXPECT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[1].columns.size(), 89u);
}

}  // namespace
}  // namespace pw

namespace pw {
namespace {

// A table whose catalog row, definition and rows all lay past the end of a
// cut file leaves no trace but the catalog's usage map: the page it lists
// that is gone is told, so the loss is not passed off as an intact file.
TEST(CatalogDamage, ACatalogPageCutOffWithTheTailIsReported) {
    PW_REQUIRE_CORPUS();
    const auto path = testing::CorpusDir() / "files" / "ucanaccess__complex.accdb";
    const std::vector<std::uint8_t> bytes = testing::ReadFile(path);
    AnalysedFile intact(path);
    ASSERT_TRUE(intact.ok);
    EXPECT_EQ(intact.damage.TotalEvents(), 0);
    std::int32_t lastCatalogPage = -1;
    for (std::int32_t page : CatalogDataPages(intact)) lastCatalogPage = std::max(lastCatalogPage, page);
    ASSERT_GT(lastCatalogPage, 2);

    testing::TempDir dir;
    const auto cut = dir / "cut.accdb";
    testing::WriteFile(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::int64_t{lastCatalogPage} * 4096));
    AnalysedFile damaged(cut);
    ASSERT_TRUE(damaged.ok);
    bool told = false;
    for (const DamageEvent& e : damaged.damage.KeptEvents())
        told = told || (e.kind == DamageKind::PageUnreadable && e.page == lastCatalogPage && e.table == "MSysObjects");
    EXPECT_TRUE(told);
}

}  // namespace
}  // namespace pw
