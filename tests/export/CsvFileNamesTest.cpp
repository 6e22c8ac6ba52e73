#include <gtest/gtest.h>

#include "export/CsvFileNames.h"

namespace pw {
namespace {

TEST(CsvFileNames, NamesThatCouldLeaveTheFolderAreMadeSafe) {
    EXPECT_EQ(SanitizeCsvStem("Orders"), "Orders");
    EXPECT_EQ(SanitizeCsvStem("Заказы 2024"), "Заказы 2024");
    EXPECT_EQ(SanitizeCsvStem("../x"), ".._x");
    EXPECT_EQ(SanitizeCsvStem("a/b\\c"), "a_b_c");
    EXPECT_EQ(SanitizeCsvStem("."), "_");
    EXPECT_EQ(SanitizeCsvStem(".."), "__");
    EXPECT_EQ(SanitizeCsvStem(""), "_");
    EXPECT_EQ(SanitizeCsvStem(std::string("a\0b\x01\x7F", 5)), "a_b__");
    EXPECT_EQ(SanitizeCsvStem("what? <x>:y|z*\"q\""), "what_ _x__y_z__q_");
}

TEST(CsvFileNames, LongNamesAreCutAtACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 150; ++i) name += "ж";  // two bytes each
    const std::string stem = SanitizeCsvStem("x" + name);
    EXPECT_LE(stem.size(), kMaxCsvStemBytes);
    EXPECT_EQ(stem.size() % 2, 1u);  // "x" and whole characters
    EXPECT_EQ(stem.substr(0, 3), "xж");
}

TEST(CsvFileNames, EveryTableOfAnExportGetsItsOwnFiles) {
    CsvFileNamer namer;
    EXPECT_EQ(namer.Reserve("a/b"), "a_b");
    EXPECT_EQ(namer.Reserve("a_b"), "a_b (2)");
    EXPECT_EQ(namer.Reserve("A_B"), "A_B (3)");
    // "T_1.csv" would be the second part of "T".
    EXPECT_EQ(namer.Reserve("T"), "T");
    EXPECT_EQ(namer.Reserve("T_1"), "T_1 (2)");
    EXPECT_EQ(namer.Reserve("U_12"), "U_12");
    EXPECT_EQ(namer.Reserve("U"), "U (2)");
    EXPECT_EQ(namer.Reserve("U_x"), "U_x");
    EXPECT_EQ(namer.Reserve("."), "_");
    EXPECT_EQ(namer.Reserve(""), "_ (2)");
}

}  // namespace
}  // namespace pw
