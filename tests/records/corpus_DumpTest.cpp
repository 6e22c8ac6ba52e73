// Every table of every Jet 4 / ACE file of the corpus decodes to the rows the
// expected files hold: same tables, and per table the same multiset of rows.

#include <gtest/gtest.h>

#include <sstream>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "export/DamageSummary.h"
#include "export/DumpJson.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"

namespace pw {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Calculated columns hold their stored wrapper bytes, not the value; unknown
// types have no value to compare.
const std::set<std::string> kCalculatedColumns = {"LastFirst",   "LastFirstLen", "MonthlySalary", "IsRich",
                                                  "AllNames",    "WeeklySalary", "SalaryTest",    "BoolTest",
                                                  "DecimalTest", "FloatTest",    "BigNumTest",    "DateNormalCalc"};

std::string Canonical(const json& value, const std::string& type) {
    if (value.is_null() || (value.is_string() && value.get<std::string>().empty())) return "null";
    if ((type == "SINGLE" || type == "DOUBLE") && value.is_number()) {
        // Within 1e-6 relative for singles, 1e-12 for doubles: compare at the
        // coarser of the two precisions the type allows.
        char text[64];
        std::snprintf(text, sizeof text, type == "SINGLE" ? "%.6g" : "%.12g", value.get<double>());
        return text;
    }
    return value.dump();
}

std::multiset<std::string> RowKeys(const json& rows, const json& columns) {
    std::vector<bool> skip;
    std::vector<std::string> types;
    for (const json& c : columns) {
        const std::string type = c["type"].get<std::string>();
        // The reference gives complex columns no value; corpus_ComplexColumnsTest checks ours.
        skip.push_back(kCalculatedColumns.count(c["name"].get<std::string>()) != 0 || type.rfind("UNKNOWN", 0) == 0 ||
                       type == "COMPLEX");
        types.push_back(type);
    }
    std::multiset<std::string> keys;
    for (const json& row : rows) {
        std::string key;
        for (std::size_t i = 0; i < row.size() && i < skip.size(); ++i)
            if (!skip[i]) key += Canonical(row[i], types[i]) + "|";
        keys.insert(key);
    }
    return keys;
}

TEST(CorpusDump, EveryRecordOfEveryReadableFileMatchesTheExpectedContent) {
    PW_REQUIRE_CORPUS();
    std::size_t filesChecked = 0;
    std::size_t rowsExpected = 0;
    std::size_t rowsMatched = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        const json expected = testing::LoadExpected(file);
        testing::AnalysedFile analysed(file.path);
        ASSERT_TRUE(analysed.ok);
        ++filesChecked;
        for (const json& table : expected["tables"]) {
            const std::string name = table["name"].get<std::string>();
            const TableInfo* ours = analysed.Find(name);
            ASSERT_NE(ours, nullptr) << "table " << name;
            const json got = json::parse(TableRowsJson(analysed.analysis.pages(), *ours, analysed.control()).dump());
            const auto want = RowKeys(table["rows"], table["columns"]);
            const auto have = RowKeys(got, table["columns"]);
            std::multiset<std::string> common;
            std::set_intersection(want.begin(), want.end(), have.begin(), have.end(),
                                  std::inserter(common, common.begin()));
            rowsExpected += want.size();
            rowsMatched += common.size();
            EXPECT_EQ(common.size(), want.size()) << name << ": rows expected " << want.size() << ", decoded "
                                                  << have.size() << ", matched " << common.size();
            EXPECT_EQ(have.size(), want.size()) << name;
        }
        // A file Access wrote whole holds no damage.
        EXPECT_EQ(analysed.damage.TotalEvents(), 0) << [&] {
            std::ostringstream human;
            WriteDamageSummary(human, analysed.damage);
            return human.str();
        }();
    }
    std::printf("corpus dump: %zu files, %zu of %zu expected rows matched\n", filesChecked, rowsMatched,
                rowsExpected);
    EXPECT_GT(filesChecked, 100u);
}

}  // namespace
}  // namespace pw
