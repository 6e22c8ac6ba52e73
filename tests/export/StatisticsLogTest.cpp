#include <gtest/gtest.h>

#include "export/StatisticsLog.h"
#include "tests/export/ExportTestSupport.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

TEST(StatisticsLog, LayoutIsFixedWidthWithCrLf) {
    const std::string longName(40, 'L');
    const std::string content =
        FormatStatistics("/out/csv", {{"Customers", 91}, {"Заказы", 7}, {longName, 0}, {"Neg", -1}});
    const std::string expected =
        "Database Path : /out/csv\r\n"
        "\r\n"
        "            Table name             :          No of Records\r\n"
        "                          Customers:                  91\r\n"
        "                             Заказы:                   7\r\n" +
        longName + ":                   0\r\n" +
        "                                Neg:                  -1\r\n";
    EXPECT_EQ(content, expected);
}

TEST(StatisticsLog, FileIsTruncatedOnEveryWrite) {
    TempDir dir;
    ASSERT_TRUE(WriteStatisticsFile(dir / "s.log", "first, longer content"));
    ASSERT_TRUE(WriteStatisticsFile(dir / "s.log", "second"));
    EXPECT_EQ(ReadText(dir / "s.log"), "second");
    EXPECT_FALSE(WriteStatisticsFile(dir / "missing" / "s.log", "x"));
}

}  // namespace
}  // namespace pw::testing
