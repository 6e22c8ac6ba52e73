// Definitions whose index count or column count has a flipped bit: every
// column record is read from the wrong place until the count is mended; a
// table with types Access alone knows is no damage.

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

struct Flip {
    const char* what;
    std::size_t byte;  // from the start of the definition page
    std::uint8_t mask;
};

TEST(DefinitionHeaderMend, AFlippedIndexOrColumnCountIsUndoneAndEveryRowReadsWhole) {
    const Flip flips[] = {
        {"index count, high byte", kIndexCountOffset + 3, 0x01},
        {"index count, low bit", kIndexCountOffset, 0x02},
        {"column count", kColumnCountOffset, 0x08},
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
        std::vector<std::string> cities;
        ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
            if (row.IsRecord()) cities.push_back(row.cells[3].value.text);
            return true;
        });
        EXPECT_EQ(cities, (std::vector<std::string>{"city 1", "city 2", "city 3", "city 4"}));
    }
}

}  // namespace
}  // namespace pw
