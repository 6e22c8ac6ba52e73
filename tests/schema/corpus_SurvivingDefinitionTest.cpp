// A table definition longer than one page whose first page is wiped: the
// continuation pages that survive are found again through the index pages
// they name, and the column names they still hold are told beside the
// inferred columns, never pinned on the wrong table.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "export/DumpJson.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using testing::AnalysedFile;

std::filesystem::path CorpusPath(const std::string& name) { return testing::CorpusDir() / "files" / name; }

const TableInfo* LongDefinition(const AnalysedFile& file) {
    for (const TableInfo& t : file.tables())
        if (!t.continuationPages.empty() && t.tableType == 0x4E && !t.dataPages.empty()) return &t;
    return nullptr;
}

const TableInfo* TableAt(const AnalysedFile& file, std::int32_t tdefPage) {
    for (const TableInfo& t : file.tables())
        if (t.tdefPage == tdefPage) return &t;
    return nullptr;
}

// Column names in the order the definition stores them.
std::vector<std::string> StoredNames(const AnalysedFile& file, const TableInfo& table) {
    TableInfo copy = table;
    const std::vector<std::uint8_t> definition = MergeDefinitionPages(file.analysis.pages(), copy);
    ParseTableDefinition(ByteView(definition), copy, file.reader.Map());
    std::vector<std::string> names;
    for (const ColumnInfo& c : copy.columns) names.push_back(c.name);
    return names;
}

// A copy of a corpus file whose table lost the first page of its
// definition, and whatever else `alsoDamage` does to it.
struct WipedCopy {
    testing::TempDir dir;
    std::filesystem::path path;

    WipedCopy(const std::string& name, const TableInfo& table,
              const std::function<void(std::vector<std::uint8_t>&)>& alsoDamage = {}) {
        std::vector<std::uint8_t> bytes = testing::ReadFile(CorpusPath(name));
        testing::ZeroPage(bytes, table.tdefPage);
        if (alsoDamage) alsoDamage(bytes);
        path = dir / name;
        testing::WriteFile(path, bytes);
    }
};

TEST(CorpusSurvivingDefinition, NamesOnTheContinuationAreTheTailOfTheStoredNames) {
    PW_REQUIRE_CORPUS();
    int checked = 0;
    for (const char* name : {"jahlborn__src_test_data_V2000_test2V2000.mdb", "jahlborn__src_test_data_V2010_test2V2010.accdb"}) {
        SCOPED_TRACE(name);
        if (!std::filesystem::exists(CorpusPath(name))) continue;
        AnalysedFile intact(CorpusPath(name));
        ASSERT_TRUE(intact.ok);
        const TableInfo* table = LongDefinition(intact);
        ASSERT_NE(table, nullptr);
        const std::vector<std::string> stored = StoredNames(intact, *table);

        const WipedCopy copy(name, *table);
        AnalysedFile damaged(copy.path);
        ASSERT_TRUE(damaged.ok);
        const TableInfo* back = TableAt(damaged, table->tdefPage);
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(back->columnsInferred);
        // Old copies Access left of the continuation may come with it.
        for (std::int32_t page : table->continuationPages)
            EXPECT_NE(std::find(back->survivingDefinitionPages.begin(), back->survivingDefinitionPages.end(), page),
                      back->survivingDefinitionPages.end());
        // The page break cuts one name; every whole name after it is read.
        const std::vector<std::string>& names = back->survivingColumnNames;
        ASSERT_GE(names.size(), 20u);
        ASSERT_LT(names.size(), stored.size());
        EXPECT_EQ(names, std::vector<std::string>(stored.end() - static_cast<std::ptrdiff_t>(names.size()), stored.end()));
        // Told, not placed: the inferred columns keep their made-up names.
        for (const ColumnInfo& c : back->columns) EXPECT_EQ(c.name.rfind("Recovered Column ", 0), 0u) << c.name;
        bool told = false;
        for (const DamageEvent& e : damaged.damage.KeptEvents())
            if (e.page == table->tdefPage && e.reason.find(names.back()) != std::string::npos) told = true;
        EXPECT_TRUE(told);
        // The dump carries them with the table.
        std::ostringstream dump;
        DumpWriter writer(dump, name, "Jet 4");
        writer.WriteTable(damaged.analysis.pages(), *back, damaged.control(), nullptr, false);
        writer.Finish(nlohmann::ordered_json::object());
        EXPECT_EQ(nlohmann::json::parse(dump.str())["tables"][0]["survivingColumnNames"], nlohmann::json(names));
        // No other table claims the pages.
        for (const TableInfo& t : damaged.tables())
            EXPECT_TRUE(&t == back || t.survivingDefinitionPages.empty()) << t.name;
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

// The continuation is tied to its table only through the index pages it
// names; where those are gone too, or where they name a table that is not
// lost, nothing is tied and nothing breaks.
TEST(CorpusSurvivingDefinition, WithoutItsIndexPagesTheContinuationStaysUnclaimed) {
    PW_REQUIRE_CORPUS();
    const char* name = "jahlborn__src_test_data_V2000_test2V2000.mdb";
    if (!std::filesystem::exists(CorpusPath(name))) GTEST_SKIP() << name << " is not in the corpus";
    AnalysedFile intact(CorpusPath(name));
    ASSERT_TRUE(intact.ok);
    const TableInfo* table = LongDefinition(intact);
    ASSERT_NE(table, nullptr);
    const WipedCopy copy(name, *table, [&](std::vector<std::uint8_t>& bytes) {
        for (const PageMapEntry& e : intact.reader.Map()) {
            if (e.pageType != 3 && e.pageType != 4) continue;
            const std::size_t at = static_cast<std::size_t>(e.fileOffset) + 4;
            const std::int32_t owner = static_cast<std::int32_t>(bytes[at] | (bytes[at + 1] << 8) |
                                                                 (bytes[at + 2] << 16) | (bytes[at + 3] << 24));
            if (owner == table->tdefPage) testing::ZeroPage(bytes, e.pageNumber);
        }
    });
    AnalysedFile damaged(copy.path);
    ASSERT_TRUE(damaged.ok);
    const TableInfo* back = TableAt(damaged, table->tdefPage);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->columnsInferred);
    for (const TableInfo& t : damaged.tables()) EXPECT_TRUE(t.survivingDefinitionPages.empty()) << t.name;
}

}  // namespace
}  // namespace pw
