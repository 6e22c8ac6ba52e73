// A definition often states more rows than its pages hold (a file never
// compacted, or not closed properly). Where every page of the table read
// whole and nothing else is damaged, that is a note and the exit is 0; where
// a page of the table is gone, the same shortfall is a loss and the exit 3.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"
#include "engine/Database.h"
#include "schema/ColumnTypes.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

// "Notes" as Access leaves it: usage maps that list its two data pages, 11
// live rows and 10 deleted ones, and a definition that states `stated` rows.
// Written by our engine, then the count and the deleted flags set by hand.
class StatedRowCount : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Build(std::int32_t stated) {
        const std::filesystem::path path = dir / ("built-" + std::to_string(stated) + ".mdb");
        std::int32_t definition = 0;
        std::vector<std::int32_t> dataPages;
        {
            Database db;
            db.Create(path);
            TableDesign design;
            design.name = "Notes";
            ColumnDesign id, text;
            id.name = "Id";
            id.typeCode = ColumnType::Long;
            id.length = 4;
            text.name = "Text";
            text.typeCode = ColumnType::Text;
            text.length = 510;
            design.columns = {id, text};
            TableWriter& t = db.CreateTable(design);
            for (int i = 1; i <= 21; ++i)
                t.Append({TypedValue::Integer(i), TypedValue::Text("row " + std::to_string(i) + std::string(240, '.'))});
            definition = t.definitionPage();
            db.Finish();
        }
        std::vector<std::uint8_t> bytes = ReadFile(path);
        const auto at = [&](std::int32_t page, std::size_t offset) -> std::uint8_t& {
            return bytes[static_cast<std::size_t>(page) * 4096 + offset];
        };
        // The table's data pages: type 1, owned by its definition.
        for (std::int32_t p = 1; p < static_cast<std::int32_t>(bytes.size() / 4096); ++p)
            if (at(p, 0) == 0x01 && (at(p, 4) | (at(p, 5) << 8) | (at(p, 6) << 16)) == definition) dataPages.push_back(p);
        EXPECT_EQ(dataPages.size(), 2u);
        for (int k = 0; k < 4; ++k) at(definition, 16 + k) = static_cast<std::uint8_t>(stated >> (8 * k));
        // Every second row deleted: rows 2, 4, ... 20 by their number.
        int row = 0;
        for (const std::int32_t page : dataPages) {
            const int slots = at(page, 12) | (at(page, 13) << 8);
            for (int s = 0; s < slots; ++s)
                if (++row % 2 == 0) at(page, 14 + 2 * s + 1) |= 0x40;
        }
        lastDataPage = dataPages.back();
        return bytes;
    }
    CliResult Run(const std::string& command, const std::vector<std::uint8_t>& bytes) {
        WriteFile(dir / "notes.mdb", bytes);
        return RunPagewright(dir.path(), command + " " + ShellQuoted(dir / "notes.mdb"));
    }

    TempDir dir;
    std::int32_t lastDataPage = 0;
};

TEST_F(StatedRowCount, AStaleCountOnAnIntactFileIsANoteAndTheExitIsZero) {
    const std::vector<std::uint8_t> file = Build(30);
    for (const std::string command : {"info", "dump", "tables"}) {
        const CliResult r = Run(command, file);
        EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    }
    const CliResult info = Run("info", file);
    EXPECT_NE(info.err.find("No damage found.\n"), std::string::npos) << info.err;
    EXPECT_NE(info.err.find("\nNotes:\n  Notes: the definition states 30 rows; 11 found on its pages"),
              std::string::npos)
        << info.err;
    EXPECT_NE(info.err.find("Not damage: 10 deleted rows"), std::string::npos) << info.err;
    EXPECT_EQ(info.err.find("rows-missing"), std::string::npos) << info.err;

    const CliResult json = Run("info --json", file);
    const nlohmann::json damage = nlohmann::json::parse(json.out)["damage"];
    EXPECT_EQ(damage["events"], 0);
    ASSERT_EQ(damage["notes"].size(), 1u);
    EXPECT_EQ(damage["notes"][0]["table"], "Notes");
}

TEST_F(StatedRowCount, DeletedRowsAloneAreNoDamage) {
    const CliResult r = Run("info", Build(11));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("No damage found.\nNot damage: 10 deleted rows"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("\nNotes:\n"), std::string::npos) << r.err;
}

TEST_F(StatedRowCount, TheSameShortfallWithAPageOfTheTableGoneIsALoss) {
    std::vector<std::uint8_t> file = Build(30);
    std::fill(file.begin() + lastDataPage * 4096, file.begin() + (lastDataPage + 1) * 4096, 0);
    const CliResult r = Run("info", file);
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("rows-missing"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("\nNotes:\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace pw::testing
