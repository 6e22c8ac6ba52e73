// `tables`, `schema`, `dump` and `preview` on the bundled sample, intact and damaged.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"
#include "tests/support/DatabaseBuilder.h"
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
    for (const auto& t : tables) {
        EXPECT_FALSE(t["generatedName"].get<bool>());
        EXPECT_EQ(t["nameSource"], "catalog");
        EXPECT_FALSE(t["columnsInferred"].get<bool>());
    }

    const CliResult damaged = Run("tables --json -q " + File("Shop-damaged.mdb"));
    ASSERT_EQ(damaged.exitCode, 0) << damaged.err;
    const auto recovered = nlohmann::json::parse(damaged.out)["tables"];
    ASSERT_EQ(recovered.size(), 3u);
    EXPECT_EQ(recovered[0]["name"], "Recovered Table 03");
    for (const auto& t : recovered) {
        EXPECT_TRUE(t["generatedName"].get<bool>());
        EXPECT_EQ(t["nameSource"], "generated");
    }
    const CliResult dump = Run("dump " + File("Shop-damaged.mdb"));
    const auto dumped = nlohmann::json::parse(dump.out)["tables"];
    ASSERT_FALSE(dumped.empty());
    EXPECT_EQ(dumped[0]["nameSource"], "generated");
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

    // A page far past the end is reached by stopping at the end, not by
    // walking every page before it.
    const CliResult far = Run("preview " + File("Shop.mdb") + " Customers --page 2147483647");
    ASSERT_EQ(far.exitCode, 0) << far.err;
    EXPECT_EQ(std::count(far.out.begin(), far.out.end(), '\n'), 1);
    EXPECT_NE(far.err.find("0 records on page 2147483647"), std::string::npos) << far.err;
}

TEST_F(RecordCommands, DumpEndsWithTheDamageSummary) {
    const CliResult intact = Run("dump " + File("Shop.mdb"));
    ASSERT_EQ(intact.exitCode, 0) << intact.err;
    const auto doc = nlohmann::ordered_json::parse(intact.out);
    EXPECT_EQ(std::prev(doc.end()).key(), "damage");
    EXPECT_EQ(doc["damage"]["events"], 0);
    EXPECT_EQ(doc["damage"]["tables"].size(), 3u);
    EXPECT_NE(intact.err.find("No damage found."), std::string::npos) << intact.err;

    // Without its long-value pages every memo that lived there points nowhere.
    ShopSample sample = BuildShopSample();
    for (std::int32_t page : sample.longValuePages) ZeroPage(sample.intact, page);
    WriteFile(dir / "Shop-lost-memos.mdb", sample.intact);
    const CliResult damaged = Run("dump " + File("Shop-lost-memos.mdb"));
    ASSERT_EQ(damaged.exitCode, 3) << damaged.err;  // recovered with losses
    const auto report = nlohmann::json::parse(damaged.out)["damage"];
    EXPECT_GT(report["byKind"]["long-value-broken"].get<int>(), 0) << report.dump();
    for (const auto& event : report["firstEvents"]) {
        EXPECT_EQ(event["kind"], "long-value-broken");
        EXPECT_EQ(event["table"], "Products");
        EXPECT_TRUE(event["page"].is_number());
        EXPECT_TRUE(event["slot"].is_number());
    }
    EXPECT_NE(damaged.err.find("Damage found: "), std::string::npos) << damaged.err;
}

TEST_F(RecordCommands, StoredNamesReachTheTerminalWithTheirControlCharactersEscaped) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Red\x1b[31m\nName", {Column("A", type::kLong)});
    db.AddRow(t, {Long(1)});
    WriteFile(dir / "names.mdb", db.Build());
    for (const char* command : {"tables -q ", "schema -q "}) {
        const CliResult r = Run(command + File("names.mdb"));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("Red\\x1b[31m\\x0aName"), std::string::npos) << command << r.out;
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << command;
    }
    // JSON keeps the name exactly, escaped the JSON way.
    const CliResult json = Run("tables --json -q " + File("names.mdb"));
    bool found = false;
    const nlohmann::json listed = nlohmann::json::parse(json.out);
    for (const auto& table : listed["tables"])
        found = found || table["name"] == "Red\x1b[31m\nName";
    EXPECT_TRUE(found) << json.out;
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

namespace pw::testing {
namespace {

TEST(CommandLineConventions, VersionUsageErrorsAndAnEmptyDestination) {
    TempDir dir;
    const CliResult version = RunPagewright(dir.path(), "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("pagewright ", 0), 0u) << version.out;

    for (const char* call : {"", "info", "frobnicate x.mdb", "preview x.mdb T --page many", "dump x.mdb --nope"}) {
        const CliResult r = RunPagewright(dir.path(), call);
        EXPECT_EQ(r.exitCode, 64) << call;
        EXPECT_NE(r.err.find("Usage: pagewright "), std::string::npos) << call << ": " << r.err;
    }
    const CliResult empty = RunPagewright(dir.path(), "export x.mdb --csv ''");
    EXPECT_EQ(empty.exitCode, 64);
    EXPECT_NE(empty.err.find("the destination folder must be named"), std::string::npos) << empty.err;

    const CliResult help = RunPagewright(dir.path(), "--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* code : {"0 success", "1 errors", "2 the file was refused", "3 done, but", "64 ", "130 interrupted"})
        EXPECT_NE(help.out.find(code), std::string::npos) << code;
}

}  // namespace
}  // namespace pw::testing

namespace pw::testing {
namespace {

class TableChoice : public ::testing::Test {
protected:
    TableChoice() {
        DatabaseBuilder db;
        const auto a = db.AddTable("Orders", {Column("Id", type::kLong)});
        for (int i = 0; i < 3; ++i) db.AddRow(a, {Long(i)});
        RowOptions gone;
        gone.deleted = true;
        db.AddRow(a, {Long(9)}, gone);
        db.AddTable("Notes", {Column("Text", type::kText)});
        db.AddTable("notes", {Column("Other", type::kText)});
        WriteFile(dir / "choice.mdb", db.Build());
    }
    CliResult Run(const std::string& arguments) { return RunPagewright(dir.path(), arguments); }
    std::string File() const { return ShellQuoted(dir / "choice.mdb"); }
    TempDir dir;
};

TEST_F(TableChoice, NamesMatchWithoutCaseWhenThatNamesOneTable) {
    const CliResult dump = Run("dump " + File() + " --table ORDERS");
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const nlohmann::json doc = nlohmann::json::parse(dump.out);
    ASSERT_EQ(doc["tables"].size(), 1u);
    EXPECT_EQ(doc["tables"][0]["name"], "Orders");
    EXPECT_EQ(Run("preview " + File() + " orders").exitCode, 0);

    // The exact name wins; without it, two names that differ only in case are ambiguous.
    const CliResult exact = Run("schema --json -q " + File() + " --table notes");
    ASSERT_EQ(exact.exitCode, 0) << exact.err;
    const nlohmann::json schema = nlohmann::json::parse(exact.out);
    ASSERT_EQ(schema["tables"].size(), 1u);
    EXPECT_EQ(schema["tables"][0]["columns"][0]["name"], "Other");
    const CliResult ambiguous = Run("schema -q " + File() + " --table NOTES");
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_NE(ambiguous.err.find("more than one table"), std::string::npos) << ambiguous.err;
}

TEST_F(TableChoice, TablesGiveTheRowsFoundBesideTheRowsStated) {
    const CliResult json = Run("tables --json -q " + File() + " --table Orders");
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc["tables"].size(), 1u);
    EXPECT_EQ(doc["tables"][0]["rowCount"], 3);
    EXPECT_EQ(doc["tables"][0]["rowsFound"], 3);  // the deleted row is not one
    const CliResult text = Run("tables -q " + File() + " --table Orders");
    EXPECT_NE(text.out.find("3 rows (definition)\t3 rows found"), std::string::npos) << text.out;
}

// A wiped data page that nothing else names still shows: the definition
// counts more rows than the pages hold, and the run ends with losses.
TEST_F(RecordCommands, RowsShortOfTheDefinitionsCountAreALoss) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Big", {Column("Id", type::kLong), Column("Text", type::kText, 200)});
    for (int i = 0; i < 120; ++i) db.AddRow(t, {Long(i), Text(std::string(100, static_cast<char>('a' + i % 26)))});
    std::vector<std::uint8_t> bytes = db.Build();
    ASSERT_GE(db.DataPages(t).size(), 3u);
    ZeroPage(bytes, db.DataPages(t)[1]);
    WriteFile(dir / "wiped.mdb", bytes);
    const CliResult dump = Run("dump " + File("wiped.mdb"));
    EXPECT_EQ(dump.exitCode, 3) << dump.err;
    EXPECT_NE(dump.err.find("rows-missing"), std::string::npos) << dump.err;
    const auto rows = nlohmann::json::parse(dump.out)["tables"][0]["rows"];
    EXPECT_LT(rows.size(), 120u);
    EXPECT_GT(rows.size(), 60u);

    const CliResult intact = Run("dump " + File("Shop.mdb"));
    EXPECT_EQ(intact.exitCode, 0) << intact.err;
}

}  // namespace
}  // namespace pw::testing
