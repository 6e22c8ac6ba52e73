#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/export/ExportTestSupport.h"
#include "tests/support/CliRun.h"
#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

class AccessExportCommandTest : public ::testing::Test {
protected:
    AccessExportCommandTest() {
        DatabaseBuilder db;
        const auto orders = db.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText)});
        db.AddRow(orders, {Long(1), Text("pen")});
        db.AddRow(orders, {Long(2), Text("ink, blue")});
        const auto notes = db.AddTable("Notes", {Column("Text", type::kMemo)});
        db.AddRow(notes, {db.Memo(std::string(9000, 'n'), TextStorage::Ucs2, {LongValueForm::Chain})});
        WriteFile(dir_ / "shop.mdb", db.Build());
    }

    CliResult Export(const std::string& more) {
        return RunPagewright(dir_.path(), "export " + ShellQuoted(dir_ / "shop.mdb") + " " + more);
    }
    // The one database in DEST (its damage reports lie beside it).
    std::filesystem::path Written() {
        std::vector<std::string> databases;
        for (const std::string& file : FilesIn(dir_ / "dest"))
            if (std::filesystem::path(file).extension() == ".mdb") databases.push_back(file);
        return databases.size() == 1 ? dir_ / "dest" / databases[0] : std::filesystem::path();
    }
    nlohmann::json Dump(const std::filesystem::path& file) {
        const CliResult r = RunPagewright(dir_.path(), "dump " + ShellQuoted(file));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return nlohmann::json::parse(r.out, nullptr, false);
    }

    TempDir dir_;
};

TEST_F(AccessExportCommandTest, EveryTableGoesIntoOneNewDatabase) {
    const CliResult r = Export("--mdb " + ShellQuoted(dir_ / "dest"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::filesystem::path written = Written();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.filename().string().rfind("Recovered_shop_On_", 0), 0u);
    EXPECT_NE(r.out.find("Access database: " + written.string() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("                             Orders:                   2\n"), std::string::npos) << r.out;

    const nlohmann::json back = Dump(written);
    ASSERT_EQ(back["tables"].size(), 2u);
    EXPECT_EQ(back["tables"][0]["name"], "Orders");
    EXPECT_EQ(back["tables"][0]["rows"], nlohmann::json::parse(R"([[1,"pen"],[2,"ink, blue"]])"));
    EXPECT_EQ(back["tables"][1]["rows"][0][0], std::string(9000, 'n'));
}

TEST_F(AccessExportCommandTest, SchemaOnlyAndChosenTables) {
    ASSERT_EQ(Export("--mdb " + ShellQuoted(dir_ / "dest") + " --schema-only --table Notes").exitCode, 0);
    const nlohmann::json back = Dump(Written());
    ASSERT_EQ(back["tables"].size(), 1u);
    EXPECT_EQ(back["tables"][0]["name"], "Notes");
    EXPECT_TRUE(back["tables"][0]["rows"].empty());
}

TEST_F(AccessExportCommandTest, OneDestinationKindAtATime) {
    EXPECT_EQ(Export("--mdb " + ShellQuoted(dir_ / "a") + " --csv " + ShellQuoted(dir_ / "b")).exitCode, 64);
    EXPECT_EQ(Export("").exitCode, 64);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a"));
}

TEST_F(AccessExportCommandTest, AnUnwritableDestinationFailsWithTheMessage) {
    std::filesystem::create_directories(dir_ / "dest");
    WriteFile(dir_ / "blocker", {1});
    const CliResult r = Export("--mdb " + ShellQuoted(dir_ / "blocker" / "inside"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error creating database : "), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Export completed with errors..."), std::string::npos) << r.out;
}

// A decimal whose stored digits outrun its column's precision (a flipped
// bit of the value does that) cannot go into a column of that precision:
// the record is written with the field empty, the value and the reason are
// in the export's damage report and its statistics, and the exit says so.
TEST(AccessExportRefusals, EveryRefusedValueIsReportedWithItsReasonAndTheExitIsThree) {
    TempDir dir;
    DatabaseBuilder db;
    const auto prices = db.AddTable("Prices", {Column("Id", type::kLong), NumericColumn("Amount", 5, 2)});
    db.AddRow(prices, {Long(1), Numeric(12345)});      // 123.45
    db.AddRow(prices, {Long(2), Numeric(987654321)});  // 9876543.21: nine digits
    db.AddRow(prices, {Long(3), Numeric(-99999)});     // -999.99
    db.AddRow(prices, {Long(4), Numeric(100000)});     // 1000.00: six digits
    WriteFile(dir / "prices.mdb", db.Build());

    const CliResult r = RunPagewright(dir.path(), "export " + ShellQuoted(dir / "prices.mdb") + " --mdb " +
                                                      ShellQuoted(dir / "dest"));
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("the new database refused 2 values"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("2 values refused (see Damage Report.txt)"), std::string::npos) << r.out;

    std::filesystem::path database, report, reportJson;
    for (const std::string& name : FilesIn(dir / "dest")) {
        if (name.size() > 4 && name.substr(name.size() - 4) == ".mdb") database = dir / "dest" / name;
        if (name.find("Damage Report.txt") != std::string::npos) report = dir / "dest" / name;
        if (name.find("Damage Report.json") != std::string::npos) reportJson = dir / "dest" / name;
    }
    ASSERT_FALSE(database.empty());
    ASSERT_FALSE(report.empty());
    ASSERT_FALSE(reportJson.empty());
    const std::string text = ReadText(report);
    EXPECT_NE(text.find("Values the new database refused: 2"), std::string::npos) << text;
    EXPECT_NE(text.find("record 2 (page "), std::string::npos) << text;
    EXPECT_NE(text.find("[Amount] 9876543.21: [Amount]: 9876543.21 has more digits than the column's precision"),
              std::string::npos)
        << text;
    const nlohmann::json json = nlohmann::json::parse(ReadText(reportJson));
    const nlohmann::json& refused = json["rejectedValues"];
    EXPECT_EQ(refused["total"], 2);
    ASSERT_EQ(refused["tables"].size(), 1u);
    EXPECT_EQ(refused["tables"][0]["name"], "Prices");
    ASSERT_EQ(refused["tables"][0]["first"].size(), 2u);
    EXPECT_EQ(refused["tables"][0]["first"][1]["record"], 4);
    EXPECT_EQ(refused["tables"][0]["first"][1]["column"], "Amount");
    EXPECT_EQ(refused["tables"][0]["first"][1]["value"], "1000.00");

    // Every record is there; only the refused fields are empty.
    const CliResult back = RunPagewright(dir.path(), "dump " + ShellQuoted(database));
    ASSERT_EQ(back.exitCode, 0) << back.err;
    const nlohmann::json rows = nlohmann::json::parse(back.out)["tables"][0]["rows"];
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][1], "123.45");
    EXPECT_TRUE(rows[1][1].is_null());
    EXPECT_EQ(rows[2][1], "-999.99");
    EXPECT_TRUE(rows[3][1].is_null());
}

}  // namespace
}  // namespace pw::testing
