// Definition pages with one flipped bit, mended: an index count or column
// count that sets every column record off its place, and a column number
// that clashes. Every row then reads whole.

#include <gtest/gtest.h>

#include "records/RowWalk.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/RowEncoder.h"

namespace pw {
namespace {

using testing::Column;
namespace type = testing::type;

constexpr std::size_t kColumnCountOffset = 45;
constexpr std::size_t kIndexCountOffset = 51;
constexpr std::size_t kFirstRecordOffset = 63 + 12;
constexpr std::size_t kRecordSize = 25;

struct Flip {
    const char* what;
    std::size_t byte;  // from the start of the definition page
    std::uint8_t mask;
};

TEST(FlippedDefinition, AFlippedCountOrColumnNumberIsUndoneAndEveryRowReadsWhole) {
    const Flip flips[] = {
        {"index count, high byte", kIndexCountOffset + 3, 0x01},
        {"index count, low bit", kIndexCountOffset, 0x02},
        {"column count", kColumnCountOffset, 0x08},
        // Past the header and the one index entry, Age's record (the third,
        // 25 bytes each) holds its number at +5: 2 becomes 18.
        {"column number", kFirstRecordOffset + 2 * kRecordSize + 5, 0x10},
    };
    for (const Flip& flip : flips) {
        SCOPED_TRACE(flip.what);
        testing::DatabaseBuilder b;
        testing::TableOptions options;
        options.realIndexCount = 1;
        // Room left by dropped columns: a column count flipped up stays
        // within the limit and passes for a count.
        options.maxColumns = 16;
        const auto t = b.AddTable("People",
                                  {Column("Id", type::kLong), Column("Name", type::kText, 50),
                                   Column("Age", type::kLong), Column("City", type::kText, 50)},
                                  options);
        for (int i = 1; i <= 4; ++i)
            b.AddRow(t, {testing::Long(i), testing::Text("name " + std::to_string(i)), testing::Long(30 + i),
                         testing::Text("city " + std::to_string(i))});
        std::vector<std::uint8_t> bytes = b.Build();
        bytes[static_cast<std::size_t>(b.DefinitionPage(t)) * 4096 + flip.byte] ^= flip.mask;
        testing::TempDir dir;
        const auto path = dir / "flipped.mdb";
        testing::WriteFile(path, bytes);
        testing::AnalysedFile file(path);
        ASSERT_TRUE(file.ok);
        EXPECT_EQ(file.damage.Count(DamageKind::DefinitionRepaired), 1);
        const TableInfo& table = file.Table("People");
        ASSERT_EQ(table.columns.size(), 4u);
        EXPECT_EQ(table.columns[3].name, "City");
        std::vector<std::int64_t> ages;
        std::vector<std::string> cities;
        ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
            if (!row.IsRecord()) return true;
            ages.push_back(row.cells[2].value.integer);
            cities.push_back(row.cells[3].value.text);
            return true;
        });
        EXPECT_EQ(ages, (std::vector<std::int64_t>{31, 32, 33, 34}));
        EXPECT_EQ(cities, (std::vector<std::string>{"city 1", "city 2", "city 3", "city 4"}));
    }
}

}  // namespace
}  // namespace pw
