#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

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
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"Damage Report.json", "Damage Report.txt",
                                                         "Export Statistics.log", "Notes.csv", "Orders.csv"}));
    EXPECT_EQ(ReadText(folder / "Orders.csv"), "id,item\r\n1,pen\r\n2,\"ink, blue\"\r\n");
    // The folder's own account equals the program's, and its damage report
    // counts what the tables held.
    EXPECT_EQ(ReadText(folder / "Export Statistics.log"), ReadText(dir_ / "app" / "Export Statistics.log"));
    EXPECT_EQ(ReadText(folder / "Damage Report.txt"), "No damage found.\n");
    const nlohmann::json damage = nlohmann::json::parse(ReadText(folder / "Damage Report.json"));
    EXPECT_EQ(damage["events"], 0);
    bool ordersCounted = false;
    for (const auto& table : damage["tables"])
        ordersCounted = ordersCounted || (table["name"] == "Orders" && table["rowsFound"] == 2);
    EXPECT_TRUE(ordersCounted) << damage.dump();

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
    EXPECT_EQ(FilesIn(dir_ / "dest" / folders[0]),
              (std::vector<std::string>{"Damage Report.json", "Damage Report.txt", "Export Statistics.log",
                                        "Notes.csv"}));
    EXPECT_EQ(ReadText(dir_ / "dest" / folders[0] / "Notes.csv"), "Text,TEXT,\r\n");
}

TEST_F(ExportCommandTest, OneTableToStandardOutputInTheFormAsked) {
    const CliResult plain =
        testing::RunPagewright(dir_.path(), "export " + Quoted(dir_ / "shop.mdb") + " --csv - --table orders");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    // Standard output carries the CSV and nothing else.
    EXPECT_EQ(plain.out, "id,item\r\n1,pen\r\n2,\"ink, blue\"\r\n");
    EXPECT_NE(plain.err.find("No damage found."), std::string::npos) << plain.err;

    const CliResult tuned = testing::RunPagewright(
        dir_.path(), "export " + Quoted(dir_ / "shop.mdb") + " --csv - --table Orders --delimiter ';' --no-header");
    ASSERT_EQ(tuned.exitCode, 0) << tuned.err;
    EXPECT_EQ(tuned.out, "1;pen\r\n2;ink, blue\r\n");

    EXPECT_EQ(RunPagewright(dir_, "export " + Quoted(dir_ / "shop.mdb") + " --csv -"), 64);
    EXPECT_EQ(RunPagewright(dir_, "export " + Quoted(dir_ / "shop.mdb") + " --csv - --table Orders --delimiter ab"), 64);
}

TEST_F(ExportCommandTest, DatesInAnAskedForm) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Days", {Column("At", type::kDate)});
    db.AddRow(t, {Date(39448.75)});
    WriteFile(dir_ / "days.mdb", db.Build());
    const CliResult iso = testing::RunPagewright(
        dir_.path(), "export " + Quoted(dir_ / "days.mdb") + " --csv - --table Days --date-format '%Y-%m-%dT%H:%M:%S'");
    ASSERT_EQ(iso.exitCode, 0) << iso.err;
    EXPECT_EQ(iso.out, "at\r\n2008-01-01T18:00:00\r\n");
    const CliResult plain =
        testing::RunPagewright(dir_.path(), "export " + Quoted(dir_ / "days.mdb") + " --csv - --table Days");
    EXPECT_EQ(plain.out, "at\r\n01/01/2008 18:00:00\r\n");
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

namespace pw::testing {
namespace {

using namespace exportsupport;

// Every file under `root` with its content, by path relative to it.
std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(root).string()] = ReadText(entry.path());
    return files;
}

TEST(ExportObjects, TwoExportsIntoOneDestinationKeepEachOthersObjects) {
    TempDir dir;
    for (const char* name : {"first", "second"}) {
        DatabaseBuilder db;
        const auto t = db.AddTable("Pictures", {Column("Id", type::kLong), Column("Picture", type::kOle)});
        const std::string content = std::string("picture of the ") + name + " database";
        db.AddRow(t, {Long(1), db.LongBinary(Bytes(content.begin(), content.end()))});
        db.AddRow(t, {Long(2), Null});
        WriteFile(dir / (std::string(name) + ".mdb"), db.Build());
    }
    ASSERT_EQ(testing::RunPagewright(dir.path(), "export " + ShellQuoted(dir / "first.mdb") + " --csv " +
                                                     ShellQuoted(dir / "dest"))
                  .exitCode,
              0);
    const std::map<std::string, std::string> afterFirst = Tree(dir / "dest");
    ASSERT_EQ(testing::RunPagewright(dir.path(), "export " + ShellQuoted(dir / "second.mdb") + " --csv " +
                                                     ShellQuoted(dir / "dest"))
                  .exitCode,
              0);
    const std::map<std::string, std::string> afterSecond = Tree(dir / "dest");

    // The first export's files are all still there, byte for byte.
    for (const auto& [path, content] : afterFirst) {
        ASSERT_EQ(afterSecond.count(path), 1u) << path;
        EXPECT_EQ(afterSecond.at(path), content) << path;
    }
    // Each export holds its CSV file and its object, which the CSV names by a
    // path relative to itself.
    std::vector<std::string> objects;
    for (const auto& [path, content] : afterSecond) {
        const std::filesystem::path p(path);
        if (p.parent_path().filename() == "Pictures_files") {
            objects.push_back(content);
            EXPECT_EQ(p.filename(), "Ole1.ole");
            const std::string csv = afterSecond.at((p.parent_path().parent_path() / "Pictures.csv").string());
            EXPECT_NE(csv.find("?{file 'Pictures_files/Ole1.ole'}"), std::string::npos) << csv;
        }
    }
    // Folder names follow the clock, so their order in a listing says nothing.
    std::sort(objects.begin(), objects.end());
    EXPECT_EQ(objects, (std::vector<std::string>{"picture of the first database", "picture of the second database"}));
    EXPECT_EQ(afterSecond.size(), 2u * 5u);  // per export: CSV, object, statistics, two damage reports
    // Beside the destination only the program's own folder and what the test wrote.
    std::vector<std::string> top = FilesIn(dir.path());
    top.erase(std::remove_if(top.begin(), top.end(),
                             [](const std::string& n) { return n == "stdout" || n == "stderr"; }),
              top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"app", "dest", "first.mdb", "second.mdb"}));
    for (const auto& [path, content] : Tree(dir / "app"))
        EXPECT_TRUE(path.rfind("Log Files", 0) == 0 || path == "Export Statistics.log") << path;
}

}  // namespace
}  // namespace pw::testing
