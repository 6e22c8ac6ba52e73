// Deleted rows are left out unless asked for; asked for, `dump`, `export` and
// `preview` each give them apart from the live rows and say what they are.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CliRun.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

class WithheldRows : public ::testing::Test {
protected:
    WithheldRows() {
        DatabaseBuilder db;
        RowOptions deleted;
        deleted.deleted = true;
        const auto t = db.AddTable("Notes", {Column("Id", type::kLong), Column("Text", type::kText, 100)});
        db.AddRow(t, {Long(1), Text("kept one")});
        db.AddRow(t, {Long(2), Text("removed two")}, deleted);
        db.AddRow(t, {Long(3), Text("kept three")});
        db.AddRow(t, {Long(4), Text("removed four")}, deleted);
        WriteFile(dir / "notes.mdb", db.Build());
    }
    CliResult Run(const std::string& arguments) { return RunPagewright(dir.path(), arguments); }
    std::string File() { return ShellQuoted(dir / "notes.mdb"); }

    TempDir dir;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST_F(WithheldRows, DumpKeepsThemApartFromTheLiveRows) {
    const CliResult plain = Run("dump " + File());
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const auto table = nlohmann::json::parse(plain.out)["tables"][0];
    EXPECT_EQ(table["rows"].size(), 2u);
    EXPECT_FALSE(table.contains("withheldRows"));

    const CliResult asked = Run("dump --include-deleted " + File());
    ASSERT_EQ(asked.exitCode, 0) << asked.err;
    const auto withheld = nlohmann::json::parse(asked.out)["tables"][0];
    ASSERT_EQ(withheld["rows"].size(), 2u);
    ASSERT_EQ(withheld["withheldRows"].size(), 2u);
    EXPECT_EQ(withheld["withheldRows"][0]["_row"], "deleted");
    EXPECT_EQ(withheld["withheldRows"][0]["values"][0], 2);
    EXPECT_EQ(withheld["withheldRows"][1]["values"][1], "removed four");
}

TEST_F(WithheldRows, CsvMarksEachRowInALastColumn) {
    const CliResult csv = Run("export " + File() + " --csv - --table Notes --include-deleted");
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 5u) << csv.out;
    EXPECT_EQ(lines[0], "id,text,_row");
    EXPECT_EQ(lines[1], "1,kept one,");
    EXPECT_EQ(lines[2], "2,removed two,deleted");
    EXPECT_EQ(lines[4], "4,removed four,deleted");

    const CliResult plain = Run("export " + File() + " --csv - --table Notes");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(Lines(plain.out).size(), 3u) << plain.out;
}

TEST_F(WithheldRows, PreviewShowsThemInStoreOrderAndMarked) {
    const CliResult plain = Run("preview " + File() + " Notes");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(Lines(plain.out).size(), 3u) << plain.out;

    const CliResult asked = Run("preview --include-deleted " + File() + " Notes");
    ASSERT_EQ(asked.exitCode, 0) << asked.err;
    const std::vector<std::string> lines = Lines(asked.out);
    ASSERT_EQ(lines.size(), 5u) << asked.out;
    EXPECT_EQ(lines[0], "Id\tText\t_row");
    EXPECT_EQ(lines[1], "1\tkept one\t");
    EXPECT_EQ(lines[2], "2\tremoved two\tdeleted");
    EXPECT_EQ(lines[3], "3\tkept three\t");

    // A second page of a four-row table holds nothing.
    const CliResult second = Run("preview --include-deleted --page 2 " + File() + " Notes");
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(Lines(second.out).size(), 1u) << second.out;
}

}  // namespace
}  // namespace pw::testing
