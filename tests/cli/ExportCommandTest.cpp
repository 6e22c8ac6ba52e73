#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/export/ExportTestSupport.h"
#include "tests/support/CliRun.h"
#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

std::string Quoted(const std::filesystem::path& path) { return ShellQuoted(path); }

// The exit code; standard output stays in <dir>/stdout.
int RunPagewright(const TempDir& dir, const std::string& arguments) {
    return testing::RunPagewright(dir.path(), arguments).exitCode;
}

class ExportCommandTest : public ::testing::Test {
protected:
    ExportCommandTest() {
        DatabaseBuilder db;
        const auto orders = db.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText)});
        db.AddRow(orders, {Long(1), Text("pen")});
        db.AddRow(orders, {Long(2), Text("ink, blue")});
        const auto notes = db.AddTable("Notes", {Column("Text", type::kText)});
        db.AddRow(notes, {Text("hello")});
        WriteFile(dir_ / "shop.mdb", db.Build());
    }
    TempDir dir_;
};

TEST_F(ExportCommandTest, ExportsEveryTableIntoANewStampedFolder) {
    ASSERT_EQ(RunPagewright(dir_, "export " + Quoted(dir_ / "shop.mdb") + " --csv " + Quoted(dir_ / "dest")),
              0)
        << ReadText(dir_ / "stderr");
    const std::vector<std::string> folders = FilesIn(dir_ / "dest");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].rfind("Pagewright_(DATE=", 0), 0u);
    const std::filesystem::path folder = dir_ / "dest" / folders[0];
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"Notes.csv", "Orders.csv"}));
    EXPECT_EQ(ReadText(folder / "Orders.csv"), "id, item\r\n1, pen\r\n2, \"ink, blue\"\r\n");

    const std::string out = ReadText(dir_ / "stdout");
    EXPECT_NE(out.find("Export started  : Orders\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Export completed Successfully...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("CSV folder: " + folder.string() + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("                             Orders:                   2\n"), std::string::npos)
        << out;
    EXPECT_TRUE(std::filesystem::exists(dir_ / "app" / "Export Statistics.log"));
}

TEST_F(ExportCommandTest, ChosenTablesOnlyAndSchemaOnly) {
    ASSERT_EQ(RunPagewright(dir_, "export " + Quoted(dir_ / "shop.mdb") + " --csv " + Quoted(dir_ / "dest") +
                                      " --schema-only --table Notes"),
              0);
    const std::vector<std::string> folders = FilesIn(dir_ / "dest");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(FilesIn(dir_ / "dest" / folders[0]), std::vector<std::string>{"Notes.csv"});
    EXPECT_EQ(ReadText(dir_ / "dest" / folders[0] / "Notes.csv"), "Text,TEXT,\r\n");
}

TEST_F(ExportCommandTest, UnknownTableIsAnErrorAndWritesNothing) {
    EXPECT_EQ(RunPagewright(dir_, "export " + Quoted(dir_ / "shop.mdb") + " --csv " + Quoted(dir_ / "dest") +
                                      " --table Orders --table nope"),
              1);
    EXPECT_NE(ReadText(dir_ / "stderr").find("'nope'"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "dest"));
}

}  // namespace
}  // namespace pw::testing
