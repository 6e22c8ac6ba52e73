// `tables`, `schema`, `dump` and `preview` on the bundled sample, intact and damaged.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"
#include "tests/support/FileTools.h"
#include "tests/support/ShopSample.h"

namespace pw::testing {
namespace {

class RecordCommands : public ::testing::Test {
protected:
    RecordCommands() {
        const ShopSample sample = BuildShopSample();
        WriteFile(dir / "Shop.mdb", sample.intact);
        WriteFile(dir / "Shop-damaged.mdb", sample.damaged);
    }
    CliResult Run(const std::string& arguments) { return RunPagewright(dir.path(), arguments); }
    std::string File(const char* name) { return ShellQuoted(dir / name); }

    TempDir dir;
};

TEST_F(RecordCommands, TablesNameTheirSourceOfName) {
    const CliResult intact = Run("tables --json -q " + File("Shop.mdb"));
    ASSERT_EQ(intact.exitCode, 0) << intact.err;
    const auto tables = nlohmann::json::parse(intact.out)["tables"];
    ASSERT_EQ(tables.size(), 3u);
    for (const auto& t : tables) EXPECT_FALSE(t["generatedName"].get<bool>());

    const CliResult damaged = Run("tables --json -q " + File("Shop-damaged.mdb"));
    ASSERT_EQ(damaged.exitCode, 0) << damaged.err;
    const auto recovered = nlohmann::json::parse(damaged.out)["tables"];
    ASSERT_EQ(recovered.size(), 3u);
    EXPECT_EQ(recovered[0]["name"], "Recovered Table 03");
    for (const auto& t : recovered) EXPECT_TRUE(t["generatedName"].get<bool>());
}

TEST_F(RecordCommands, SchemaJsonAndSqlText) {
    const CliResult json = Run("schema --json -q " + File("Shop.mdb"));
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto tables = nlohmann::json::parse(json.out)["tables"];
    const auto& customers = tables[0];
    EXPECT_EQ(customers["name"], "Customers");
    EXPECT_EQ(customers["columns"][0]["type"], "COUNTER");
    EXPECT_EQ(customers["columns"][0]["columnNumber"], 0);
    EXPECT_TRUE(customers["columns"][0]["fixed"].get<bool>());

    const CliResult sql = Run("schema --sql -q " + File("Shop.mdb"));
    ASSERT_EQ(sql.exitCode, 0);
    EXPECT_NE(sql.out.find("CREATE TABLE [Customers] \r\n(\r\n\t[Id] COUNTER, "), std::string::npos);
    EXPECT_NE(sql.out.find("INSERT INTO [Customers] ([Id], "), std::string::npos);
}

TEST_F(RecordCommands, DumpGivesTypedValuesAndOnlyTheChosenTables) {
    const CliResult all = Run("dump " + File("Shop.mdb"));
    ASSERT_EQ(all.exitCode, 0) << all.err;
    const auto doc = nlohmann::json::parse(all.out);
    ASSERT_EQ(doc["tables"].size(), 3u);

    const CliResult one = Run("dump " + File("Shop.mdb") + " --table Orders");
    ASSERT_EQ(one.exitCode, 0);
    const auto orders = nlohmann::json::parse(one.out)["tables"];
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0]["columns"][3]["type"], "NUMERIC");
    for (const auto& row : orders[0]["rows"]) {
        EXPECT_TRUE(row[3].is_string());  // decimals keep every digit as text
        EXPECT_TRUE(row[2].is_string());  // dates as "YYYY-MM-DD HH:MM:SS"
        EXPECT_EQ(row[2].get<std::string>().size(), 19u);
    }

    const CliResult missing = Run("dump " + File("Shop.mdb") + " --table Nope");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Nope"), std::string::npos);
}

TEST_F(RecordCommands, PreviewShowsHeadersAndOnePageOfRecords) {
    const CliResult page = Run("preview " + File("Shop.mdb") + " Customers");
    ASSERT_EQ(page.exitCode, 0) << page.err;
    const auto firstLineEnd = page.out.find('\n');
    ASSERT_NE(firstLineEnd, std::string::npos);
    EXPECT_EQ(page.out.substr(0, page.out.find('\t')), "Id");
    EXPECT_GT(std::count(page.out.begin(), page.out.end(), '\n'), 1);

    const CliResult beyond = Run("preview " + File("Shop.mdb") + " Customers --page 2");
    ASSERT_EQ(beyond.exitCode, 0);
    EXPECT_EQ(std::count(beyond.out.begin(), beyond.out.end(), '\n'), 1);  // the header only

    EXPECT_EQ(Run("preview " + File("Shop.mdb") + " Nope").exitCode, 1);
}

TEST_F(RecordCommands, RefusalsAndMissingFilesHaveTheirExitCodes) {
    WriteFile(dir / "zeros.mdb", std::vector<std::uint8_t>(8 * 4096, 0));
    const CliResult zeros = Run("dump " + File("zeros.mdb"));
    EXPECT_EQ(zeros.exitCode, 2);
    EXPECT_NE(zeros.err.find("This file is highly corrupted and cannot be recovered."), std::string::npos);
    const CliResult missing = Run("schema " + File("absent.mdb"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("absent.mdb"), std::string::npos);
}

}  // namespace
}  // namespace pw::testing
