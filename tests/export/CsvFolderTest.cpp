#include <gtest/gtest.h>

#include "export/CsvFolder.h"
#include "tests/export/ExportTestSupport.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

std::tm Moment(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(CsvFolder, NameCarriesTheUtcDateAndTheLocalTimeInPlainNumbers) {
    EXPECT_EQ(CsvFolderName(Moment(2026, 12, 7, 23, 59, 59), Moment(2026, 12, 8, 9, 5, 3)),
              "Pagewright_(DATE=12-7-2026)_(TIME=9hr.5m.3s)");
}

TEST(CsvFolder, AnEarlierExportOfTheSameSecondIsKept) {
    TempDir dir;
    const std::tm utc = Moment(2026, 1, 2, 3, 4, 5);
    const std::filesystem::path destination = dir / "dest";
    const std::filesystem::path first = MakeCsvFolder(destination, utc, utc);
    EXPECT_EQ(first, destination / "Pagewright_(DATE=1-2-2026)_(TIME=3hr.4m.5s)");
    ASSERT_TRUE(std::filesystem::is_directory(first));
    WriteFile(first / "Earlier.csv", {'x'});

    const std::filesystem::path second = MakeCsvFolder(destination, utc, utc);
    EXPECT_EQ(second, destination / "Pagewright_(DATE=1-2-2026)_(TIME=3hr.4m.5s)_2");
    EXPECT_TRUE(std::filesystem::is_directory(second));
    // A plain file in the way is passed over too.
    WriteFile(destination / "Pagewright_(DATE=1-2-2026)_(TIME=3hr.4m.5s)_3", {'y'});
    EXPECT_EQ(MakeCsvFolder(destination, utc, utc),
              destination / "Pagewright_(DATE=1-2-2026)_(TIME=3hr.4m.5s)_4");
    EXPECT_EQ(ReadText(first / "Earlier.csv"), "x");
}

TEST(CsvFolder, NoFolderUnderAFile) {
    TempDir dir;
    WriteFile(dir / "plain", {'x'});
    EXPECT_TRUE(MakeCsvFolder(dir / "plain").empty());
}

}  // namespace
}  // namespace pw::testing
