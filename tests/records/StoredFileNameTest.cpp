#include <gtest/gtest.h>

#include <string>

#include "records/StoredFileName.h"

namespace pw {
namespace {

TEST(StoredFileName, OrdinaryNamesAreKept) {
    EXPECT_EQ(SafeStoredFileName("Office Theme.thmx"), "Office Theme.thmx");
    EXPECT_EQ(SafeStoredFileName("Фото 1.jpg"), "Фото 1.jpg");
    EXPECT_EQ(SafeStoredFileName("README"), "README");
}

TEST(StoredFileName, NoPathSurvives) {
    EXPECT_EQ(SafeStoredFileName("../../x"), "x");
    EXPECT_EQ(SafeStoredFileName("/etc/x"), "x");
    EXPECT_EQ(SafeStoredFileName("..\\..\\windows\\x.dll"), "x.dll");
    EXPECT_EQ(SafeStoredFileName(".."), "attachment");
    EXPECT_EQ(SafeStoredFileName("."), "attachment");
    EXPECT_EQ(SafeStoredFileName("dir/"), "attachment");
    EXPECT_EQ(SafeStoredFileName(""), "attachment");
    EXPECT_EQ(SafeStoredFileName(".bashrc"), "bashrc");
}

TEST(StoredFileName, RefusedCharactersBecomeUnderscores) {
    EXPECT_EQ(SafeStoredFileName(std::string("a\0b\n:c*?.txt", 12)), "a_b__c__.txt");
    EXPECT_EQ(SafeStoredFileName("bad\xFF\xFEutf8.txt"), "bad__utf8.txt");
}

TEST(StoredFileName, ExtensionsPassTheExtensionRule) {
    EXPECT_EQ(SafeStoredFileName("a.t x t"), "a.ole");
    EXPECT_EQ(SafeStoredFileName("a.verylongextension"), "a.ole");
}

TEST(StoredFileName, LongNamesAreCutBetweenCharacters) {
    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "é";
    const std::string safe = SafeStoredFileName(longName + ".pdf");
    EXPECT_LE(safe.size(), 200u);
    EXPECT_EQ(safe.substr(safe.size() - 4), ".pdf");
    EXPECT_EQ((safe.size() - 4) % 2, 0u);  // whole two-byte characters only
}

}  // namespace
}  // namespace pw
