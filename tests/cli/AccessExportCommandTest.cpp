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

}  // namespace
}  // namespace pw::testing
