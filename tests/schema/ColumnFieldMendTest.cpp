// Column records with one flipped bit: the mend that undoes it where only one
// explains the damage, and the damage left alone (and told) where several
// would.

#include <gtest/gtest.h>

#include "schema/ColumnFieldMend.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

ColumnInfo Fixed(const char* name, std::int32_t type, std::int32_t number, std::int32_t offset, std::int32_t length) {
    ColumnInfo c;
    c.name = name;
    c.typeCode = type;
    c.columnNumber = number;
    c.isFixed = 1;
    c.fixedOffset = offset;
    c.length = length;
    return c;
}

ColumnInfo Variable(const char* name, std::int32_t number, std::int32_t slot) {
    ColumnInfo c;
    c.name = name;
    c.typeCode = ColumnType::Text;
    c.columnNumber = number;
    c.varIndex = slot;
    c.length = 100;
    return c;
}

// Three fixed columns packed one after another, two variable ones and a
// Yes/No column, numbered in the order they were made.
TableInfo Sound() {
    TableInfo t;
    t.name = "T";
    t.columns = {Fixed("A", ColumnType::Long, 0, 0, 4),     Variable("Name", 1, 0),
                 Fixed("B", ColumnType::Long, 2, 4, 4),     Variable("Note", 3, 1),
                 Fixed("C", ColumnType::Double, 4, 8, 8),   Fixed("Done", ColumnType::Bit, 5, 0, 0)};
    t.maxColumns = 6;
    t.varColumnCount = 2;
    t.columnCount = 6;
    return t;
}

TEST(ColumnFieldMend, ASoundDefinitionIsLeftAsItIs) {
    TableInfo t = Sound();
    const ColumnFieldCheck check = MendFlippedColumnFields(t);
    EXPECT_TRUE(check.mended.empty());
    EXPECT_TRUE(check.broken.empty());
}

TEST(ColumnFieldMend, OneFlippedBitOfEachFieldIsUndoneWhereOnlyOneExplainsIt) {
    struct Case {
        ColumnField field;
        std::size_t column;
        std::int32_t flipped;
        std::int32_t sound;
    };
    const Case cases[] = {
        {ColumnField::ColumnNumber, 2, 2 | 0x10, 2},    // out of range
        {ColumnField::ColumnNumber, 5, 5 ^ 0x100, 5},   // far out of range
        {ColumnField::VariableIndex, 3, 1 | 4, 1},      // slot past the variable count
        {ColumnField::FixedOffset, 4, 8 ^ 8, 8},        // C over A and B
        {ColumnField::FixedOffset, 2, 4 ^ 0x1000, 4},   // B past the page
    };
    for (const Case& c : cases) {
        TableInfo t = Sound();
        ColumnInfo& column = t.columns[c.column];
        std::int32_t& field = c.field == ColumnField::ColumnNumber    ? column.columnNumber
                              : c.field == ColumnField::VariableIndex ? column.varIndex
                                                                      : column.fixedOffset;
        field = c.flipped;
        const ColumnFieldCheck check = MendFlippedColumnFields(t);
        ASSERT_EQ(check.mended.size(), 1u) << ColumnFieldName(c.field) << " " << c.flipped;
        EXPECT_EQ(check.mended[0].column, c.column);
        EXPECT_EQ(check.mended[0].field, c.field);
        EXPECT_EQ(check.mended[0].stored, c.flipped);
        EXPECT_EQ(check.mended[0].mended, c.sound);
        EXPECT_EQ(field, c.sound);
        EXPECT_TRUE(check.broken.empty());
    }
}

TEST(ColumnFieldMend, DamageSeveralFlipsWouldExplainIsToldAndLeftAlone) {
    // Two columns share a number: either may be the damaged one.
    TableInfo shared = Sound();
    shared.columns[3].columnNumber = 1;
    ColumnFieldCheck check = MendFlippedColumnFields(shared);
    EXPECT_TRUE(check.mended.empty());
    ASSERT_EQ(check.broken.size(), 1u);
    EXPECT_EQ(check.broken[0], ColumnField::ColumnNumber);
    EXPECT_EQ(shared.columns[3].columnNumber, 1);

    // Two Longs on one offset: putting either back leaves the area as tight.
    TableInfo swapped = Sound();
    swapped.columns[2].fixedOffset = 0;
    check = MendFlippedColumnFields(swapped);
    EXPECT_TRUE(check.mended.empty());
    ASSERT_EQ(check.broken.size(), 1u);
    EXPECT_EQ(check.broken[0], ColumnField::FixedOffset);

    // A column limit below the columns held is itself damaged: numbers are
    // not judged by it.
    TableInfo limit = Sound();
    limit.maxColumns = 2;
    check = MendFlippedColumnFields(limit);
    EXPECT_TRUE(check.mended.empty());
    EXPECT_TRUE(check.broken.empty());
}

// Found by fuzzing: a definition whose records all clash was tried flip by
// flip, each try checking every pair of columns again, and a few thousand
// columns took hours. Clashes in many places are no single flip's doing.
TEST(ColumnFieldMend, ClashesInManyPlacesAreToldWithoutTryingEveryFlip) {
    TableInfo t;
    t.name = "T";
    for (int i = 0; i < 4000; ++i) {
        t.columns.push_back(Fixed("F", ColumnType::Long, i % 7, 4 * (i % 3), 4));
        t.columns.push_back(Variable("V", 7 + i % 5, i % 2));
    }
    t.maxColumns = 9000;
    t.varColumnCount = 4000;
    t.columnCount = 8000;
    const ColumnFieldCheck check = MendFlippedColumnFields(t);
    EXPECT_TRUE(check.mended.empty());
    EXPECT_EQ(check.broken.size(), 3u);
}

}  // namespace
}  // namespace pw
