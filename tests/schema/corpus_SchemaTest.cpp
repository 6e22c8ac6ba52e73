// The tables and columns recovered from every Jet 4 / ACE file of the corpus
// are the ones the expected files list.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "export/DumpJson.h"
#include "pagestore/TextDecoding.h"
#include "schema/TableDefinitionParser.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"

namespace pw {
namespace {

using nlohmann::json;

// Our type word against the expected one: auto-number and long integer are
// one type here (they differ only in how the two readers mark auto-numbers).
bool SameType(const std::string& ours, const std::string& expected) {
    if ((ours == "COUNTER" || ours == "LONG") && (expected == "COUNTER" || expected == "LONG")) return true;
    if (ours.rfind("UNKNOWN", 0) == 0 && expected.rfind("UNKNOWN", 0) == 0) return true;
    // The reference has no word of its own for Date/Time Extended.
    if (ours == "DATETIMEEXT" && expected == "UNKNOWN:datetimextended") return true;
    return ours == expected;
}

TEST(CorpusSchema, TablesColumnsAndTypesMatchTheExpectedContent) {
    PW_REQUIRE_CORPUS();
    std::size_t files = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        const json expected = testing::LoadExpected(file);
        testing::AnalysedFile analysed(file.path);
        ASSERT_TRUE(analysed.ok);
        ++files;

        std::set<std::string> wantNames;
        for (const json& t : expected["tables"]) wantNames.insert(t["name"].get<std::string>());
        std::set<std::string> haveNames;
        for (const TableInfo& t : analysed.tables()) haveNames.insert(t.name);
        EXPECT_EQ(haveNames, wantNames);

        for (const json& t : expected["tables"]) {
            const TableInfo* ours = analysed.Find(t["name"].get<std::string>());
            if (ours == nullptr) continue;
            ASSERT_EQ(ours->columns.size(), t["columns"].size()) << ours->name;
            for (std::size_t i = 0; i < ours->columns.size(); ++i) {
                const json& c = t["columns"][i];
                // Exactly as stored, whatever the script.
                EXPECT_EQ(ours->columns[i].name, c["name"].get<std::string>()) << ours->name;
                // The stored size in bytes, as the expected files give it (they
                // give 0 for a BIT, whose value lives in the null mask).
                if (!c["size"].is_null() && c["type"] != "BIT") {
                    EXPECT_EQ(ours->columns[i].length, c["size"].get<int>()) << ours->name << "." << ours->columns[i].name;
                }
                EXPECT_TRUE(SameType(DumpTypeName(ours->columns[i]), c["type"].get<std::string>()))
                    << ours->name << "." << ours->columns[i].name << ": " << DumpTypeName(ours->columns[i])
                    << " vs " << c["type"];
            }
            // Columns arrive in column-number order.
            for (std::size_t i = 1; i < ours->columns.size(); ++i)
                EXPECT_LE(ours->columns[i - 1].columnNumber, ours->columns[i].columnNumber);
        }
    }
    EXPECT_GT(files, 100u);
}

}  // namespace
}  // namespace pw
