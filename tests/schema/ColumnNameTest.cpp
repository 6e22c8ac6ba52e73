#include <gtest/gtest.h>

#include <string>

#include "schema/TableDefinitionParser.h"

namespace pw {
namespace {

TEST(ColumnName, NamesOfEveryScriptAreKeptWhole) {
    EXPECT_EQ(CleanColumnName("Название"), "Название");
    EXPECT_EQ(CleanColumnName("客户编号"), "客户编号");
    EXPECT_EQ(CleanColumnName("Όνομα πελάτη"), "Όνομα πελάτη");
    EXPECT_EQ(CleanColumnName("ชื่อ"), "ชื่อ");
    EXPECT_EQ(CleanColumnName("Số điện thoại"), "Số điện thoại");
    EXPECT_EQ(CleanColumnName("Price (€)"), "Price (€)");
    EXPECT_EQ(CleanColumnName("a\xC2\xA0" "b"), "a\xC2\xA0" "b");
}

TEST(ColumnName, ControlCharactersBecomeUnderscores) {
    EXPECT_EQ(CleanColumnName("a\nb\tc"), "a_b_c");
    EXPECT_EQ(CleanColumnName(std::string("x\x1b[2J\x7F", 6)), "x_[2J_");
    EXPECT_EQ(CleanColumnName(""), "");
}

TEST(ColumnName, LongNamesAreCutBetweenCharacters) {
    std::string name;
    for (int i = 0; i < 200; ++i) name += "Ж";  // two bytes each
    const std::string cleaned = CleanColumnName("a" + name);
    EXPECT_EQ(cleaned.size(), 259u);  // "a" and 129 whole characters
    EXPECT_EQ(cleaned.substr(cleaned.size() - 2), "Ж");
    const std::string even = CleanColumnName(name);
    EXPECT_EQ(even.size(), 258u);
}

}  // namespace
}  // namespace pw
