// Page encoding is taken off while reading, and only where it is there: a
// header whose key is noise must not turn plain pages into noise.

#include <gtest/gtest.h>

#include <vector>

#include "pagestore/PageCipher.h"
#include "records/RowWalk.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/PageEncipher.h"

namespace pw {
namespace {

std::vector<std::uint8_t> People() {
    testing::DatabaseBuilder builder;
    const auto table = builder.AddTable(
        "People", {testing::Column("ID", testing::type::kLong), testing::Column("Name", testing::type::kText, 50)});
    for (int i = 1; i <= 30; ++i) builder.AddRow(table, {testing::Long(i), testing::Text("person " + std::to_string(i))});
    return builder.Build();
}

std::vector<std::string> Names(testing::AnalysedFile& file) {
    std::vector<std::string> names;
    const TableInfo* table = file.Find("People");
    if (table == nullptr) return names;
    RowWalker walker(file.analysis.pages(), *table, file.control());
    while (walker.Next())
        if (walker.row().IsRecord()) names.push_back(walker.row().cells.at(1).text);
    return names;
}

TEST(EncodedPages, AnEncipheredFileIsReadThroughItsKey) {
    testing::TempDir dir;
    std::vector<std::uint8_t> bytes = People();
    ASSERT_TRUE(testing::EncipherJet4Pages(bytes, 0x0BADF00D));
    testing::WriteFile(dir / "encoded.mdb", bytes);
    testing::AnalysedFile file(dir / "encoded.mdb");
    ASSERT_TRUE(file.ok) << file.analysis.refusalReason();
    EXPECT_TRUE(file.reader.pagesEncoded());
    const std::vector<std::string> names = Names(file);
    ASSERT_EQ(names.size(), 30u);
    EXPECT_EQ(names.back(), "person 30");
    EXPECT_EQ(file.damage.TotalEvents(), 0);
}

TEST(EncodedPages, AKeyInADamagedHeaderLeavesPlainPagesAlone) {
    testing::TempDir dir;
    std::vector<std::uint8_t> bytes = People();
    // Noise over the header's masked area: it now states a key.
    for (std::size_t i = kHeaderMaskOffset; i < kHeaderMaskOffset + kHeaderMaskLength; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    ASSERT_NE(ReadDatabaseKey(ByteView(bytes.data(), kPageSize)), 0u);
    testing::WriteFile(dir / "plain.mdb", bytes);
    testing::AnalysedFile file(dir / "plain.mdb");
    ASSERT_TRUE(file.ok) << file.analysis.refusalReason();
    EXPECT_FALSE(file.reader.pagesEncoded());
    EXPECT_EQ(Names(file).size(), 30u);
}

}  // namespace
}  // namespace pw
