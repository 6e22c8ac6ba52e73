// A column count can only be as large as the definition has room for: a
// damaged count of thousands builds no column records out of bytes the
// definition does not hold.

#include <gtest/gtest.h>

#include <vector>

#include "pagestore/PageMap.h"
#include "schema/TableDefinitionParser.h"

namespace pw {
namespace {

TEST(DefinitionSize, AColumnCountPastTheDefinitionsEndBuildsOnlyTheRecordsThatFit) {
    // One page: header, then room for (4096 - 63) / 25 records.
    std::vector<std::uint8_t> page(4096, 0);
    page[0] = 0x02;
    page[1] = 0x01;
    page[41] = 0xFF;  // column limit
    page[42] = 0xFF;
    page[45] = 0xFF;  // column count
    page[46] = 0xFF;
    for (std::size_t at = 63; at + 25 <= page.size(); at += 25) page[at] = 4;  // LONG records
    TableInfo table;
    const PageMap map;
    ASSERT_EQ(ParseTableDefinition(ByteView(page), table, map), 1);
    EXPECT_EQ(table.columnCount, 0xFFFF);
    EXPECT_EQ(table.columns.size(), (4096u - 63u) / 25u);

    // Index entries that push the records past the end leave none.
    page[51] = 0xFF;
    page[52] = 0xFF;
    TableInfo none;
    ParseTableDefinition(ByteView(page), none, map);
    EXPECT_TRUE(none.columns.empty());
}

}  // namespace
}  // namespace pw
