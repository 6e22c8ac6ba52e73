// Names that Access holds for the same name fold to the same text, whatever
// letters they are written in; bytes that are no UTF-8 survive the folding.

#include <gtest/gtest.h>

#include <string>

#include "pagestore/CaseFolding.h"

namespace pw {
namespace {

TEST(CaseFolding, NamesDifferingOnlyInCaseFoldAlike) {
    EXPECT_EQ(CaseFolded("Orders"), CaseFolded("ORDERS"));
    EXPECT_EQ(CaseFolded("Überweisungen"), CaseFolded("überweisungen"));
    EXPECT_EQ(CaseFolded("Заказы"), CaseFolded("ЗАКАЗЫ"));
    EXPECT_NE(CaseFolded("Orders"), CaseFolded("Order"));
}

TEST(CaseFolding, BytesThatAreNoUtf8AreKept) {
    EXPECT_EQ(CaseFolded(std::string("\xC3(A\xFF", 4)), std::string("\xC3(a\xFF", 4));
}

}  // namespace
}  // namespace pw
