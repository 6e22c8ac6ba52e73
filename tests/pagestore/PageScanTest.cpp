#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "pagestore/DbReader.h"
#include "status/RunControl.h"
#include "tests/support/Analysis.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using pw::testing::TempDir;

std::string WriteFile(const fs::path& path, const Bytes& bytes) {
    pw::testing::WriteFile(path, bytes);
    return path.string();
}

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Page n of a file carries its number at byte 8, so every page differs and a
// page read from the wrong place shows.
Bytes NumberedPages(int count) {
    Bytes b(static_cast<std::size_t>(count) * kPageSize, 0);
    for (int n = 0; n < count; ++n) {
        const std::size_t at = static_cast<std::size_t>(n) * kPageSize;
        b[at] = 1;
        Put32(b, at + 4, 2);
        Put32(b, at + 8, static_cast<std::uint32_t>(n));
        Put16(b, at + 12, static_cast<std::uint16_t>(n));
    }
    return b;
}

// The first six pages of a 4096-byte file as the recognition expects them.
Bytes ValidStart() {
    Bytes b(6 * kPageSize, 0);
    const std::uint16_t word2[6] = {0x0000, 0x1234, 0x0BDE, 0x0EA9, 0x0DEB, 0x0CCB};
    for (int n = 0; n < 6; ++n) {
        const std::size_t at = static_cast<std::size_t>(n) * kPageSize;
        Put16(b, at, n == 0 ? 0x0100 : n == 1 ? 0x0101 : 0x0102);
        Put16(b, at + 2, word2[n]);
    }
    return b;
}

// Keeps every page count the scan tells, and raises the stop flag once the
// count reaches stopAt, as a Stop button pressed between two blocks would.
class PageCounts : public ProgressSink {
public:
    explicit PageCounts(StopFlag& stop) : stop_(stop) {}

    std::int64_t stopAt = -1;
    std::vector<std::pair<std::int64_t, std::int64_t>> told;  // (done, total)
    std::vector<std::string> lines;

    void OnStatusLine(const std::string& line) override { lines.push_back(line); }
    void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) override {
        if (stage != ProgressStage::Pages) return;
        told.emplace_back(done, total);
        if (stopAt >= 0 && done >= stopAt) stop_.Request();
    }
    std::int64_t pagesDone() const { return told.empty() ? 0 : told.back().first; }
    std::int64_t pagesTotal() const { return told.empty() ? 0 : told.back().second; }

private:
    StopFlag& stop_;
};

struct ScanFixture : ::testing::Test {
    StopFlag stop;
    PageCounts counts{stop};
    RunControl run{&stop, &counts, nullptr};
    CDbReader reader;
    TempDir dir;
};

// The scan reads and reports in blocks of this many pages.
constexpr int kBlock = 256;

using PageScan = ScanFixture;

TEST_F(PageScan, AShortLastPageIsPaddedAndCountsInTheMapButNotInTheTotal) {
    Bytes file(10000, 0);
    // Page 0: the header word. Page 1: a data page. Page 2: a definition page
    // that ends after 1808 bytes.
    Put16(file, 0, 0x0100);
    file[4096] = 1;
    Put16(file, 4096 + 2, 0x0123);
    Put32(file, 4096 + 4, 77);
    Put16(file, 4096 + 12, 3);
    Put16(file, 4096 + 16, 0x7777);  // not a data page's field
    file[8192] = 2;
    Put16(file, 8192 + 2, 0x0456);
    Put32(file, 8192 + 4, 0);  // no next page
    Put16(file, 8192 + 12, 0x7777);
    Put32(file, 8192 + 16, 0x00010005);  // only the low 16 bits count
    const std::string path = WriteFile(dir / "short.mdb", file);

    ASSERT_TRUE(reader.OpenDatabaseFile(path));
    EXPECT_EQ(reader.ScanPages(run), 3);

    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(counts.pagesTotal(), 2);
    EXPECT_EQ(counts.pagesDone(), 2);
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(map[n].pageNumber, static_cast<std::int32_t>(n));
        EXPECT_EQ(map[n].fileOffset, static_cast<std::int64_t>(n) * kPageSize);
    }
    EXPECT_EQ(map[0].pageType, 0);
    EXPECT_EQ(map[0].link, -1);
    EXPECT_EQ(map[1].pageType, 1);
    EXPECT_EQ(map[1].freeSpace, 0x0123);
    EXPECT_EQ(map[1].link, 77);
    EXPECT_EQ(map[1].rowCount, 3);
    EXPECT_EQ(map[2].pageType, 2);
    EXPECT_EQ(map[2].freeSpace, 0x0456);
    EXPECT_EQ(map[2].link, 0);
    EXPECT_EQ(map[2].rowCount, 5);

    PageBuffer page;
    EXPECT_EQ(reader.ReadPage(page, 2).bytes, 10000 - 8192);
    EXPECT_EQ(page[0], 2);
    EXPECT_TRUE(std::all_of(page.begin() + (10000 - 8192), page.end(), [](std::uint8_t c) { return c == 0; }));
}

TEST_F(PageScan, PagesOfOtherTypesAreRecordedButNotInterpreted) {
    Bytes file = NumberedPages(4);
    // 0x80: a signed type, whatever the rest says.
    file[kPageSize] = 0x80;
    // A data page whose link is "LVAL" and whose row count has the top bit set.
    Put32(file, 2 * kPageSize + 4, static_cast<std::uint32_t>(kLongValueLink));
    Put16(file, 2 * kPageSize + 12, 0x8001);
    file[3 * kPageSize] = 0xFF;
    const std::string path = WriteFile(dir / "types.mdb", file);

    ASSERT_TRUE(reader.OpenDatabaseFile(path));
    ASSERT_EQ(reader.ScanPages(run), 4);

    const PageMap& map = reader.Map();
    EXPECT_EQ(map[1].pageType, -128);
    EXPECT_EQ(map[1].freeSpace, 0);
    EXPECT_EQ(map[1].link, -1);
    EXPECT_EQ(map[1].rowCount, 0);
    EXPECT_EQ(map[2].pageType, 1);
    EXPECT_EQ(map[2].link, kLongValueLink);
    EXPECT_EQ(map[2].rowCount, -32767);
    EXPECT_EQ(map[3].pageType, -1);
    EXPECT_EQ(map[3].link, -1);
}

TEST_F(PageScan, ProgressIsToldOnceABlockAndEndsAtTheTotal) {
    constexpr int kPages = 2 * kBlock + 88;
    const std::string path = WriteFile(dir / "blocks.mdb", NumberedPages(kPages));
    ASSERT_TRUE(reader.OpenDatabaseFile(path));
    ASSERT_EQ(reader.ScanPages(run), kPages);

    const std::vector<std::pair<std::int64_t, std::int64_t>> expected = {
        {0, kPages}, {kBlock, kPages}, {2 * kBlock, kPages}, {kPages, kPages}};
    EXPECT_EQ(counts.told, expected);
    EXPECT_TRUE(counts.lines.empty());  // the scan tells counts, never lines
}

TEST_F(PageScan, AStopKeepsTheMapCompleteUpToThePageWhereItWasSeen) {
    constexpr int kPages = 2 * kBlock + 88;
    const std::string path = WriteFile(dir / "stop.mdb", NumberedPages(kPages));
    ASSERT_TRUE(reader.OpenDatabaseFile(path));

    counts.stopAt = kBlock;
    const std::int64_t entries = reader.ScanPages(run);

    EXPECT_EQ(entries, kBlock);
    EXPECT_EQ(counts.pagesTotal(), kPages);
    EXPECT_EQ(counts.pagesDone(), kBlock);  // not raised to the total
    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), static_cast<std::size_t>(kBlock));
    for (int n = 0; n < kBlock; ++n) {
        EXPECT_EQ(map[n].pageNumber, n);
        EXPECT_EQ(map[n].fileOffset, static_cast<std::int64_t>(n) * kPageSize);
        EXPECT_EQ(map[n].rowCount, n);
    }
}

TEST_F(PageScan, AStopBeforeTheScanLeavesTheMapEmpty) {
    const std::string path = WriteFile(dir / "stopped.mdb", NumberedPages(12));
    ASSERT_TRUE(reader.OpenDatabaseFile(path));
    stop.Request();

    EXPECT_EQ(reader.ScanPages(run), 0);
    EXPECT_TRUE(reader.Map().empty());
    EXPECT_EQ(counts.pagesDone(), 0);

    // The shifted scan keeps only its absent page 0.
    EXPECT_EQ(reader.ScanShiftedPages(3096, run), 1);
    ASSERT_EQ(reader.Map().size(), 1u);
    EXPECT_EQ(reader.Map()[0].fileOffset, -1);
}

TEST_F(PageScan, AStopDuringTheShiftedScanKeepsTheAbsentPageZero) {
    Bytes file = NumberedPages(2 * kBlock + 12);
    file.erase(file.begin(), file.begin() + 1000);
    const std::string path = WriteFile(dir / "stop-shifted.mdb", file);
    ASSERT_TRUE(reader.OpenDatabaseFile(path));

    counts.stopAt = kBlock;
    const std::int64_t entries = reader.ScanShiftedPages(3096, run);

    EXPECT_EQ(entries, 1 + kBlock);
    EXPECT_EQ(counts.pagesDone(), kBlock);  // the absent page 0 is not counted as read
    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), static_cast<std::size_t>(1 + kBlock));
    EXPECT_EQ(map[0].fileOffset, -1);
    for (int n = 1; n <= kBlock; ++n) {
        EXPECT_EQ(map[n].pageNumber, n);
        EXPECT_EQ(map[n].fileOffset, 3096 + static_cast<std::int64_t>(n - 1) * kPageSize);
        EXPECT_EQ(map[n].rowCount, n);
    }
}

TEST_F(PageScan, ReadPageGoesThroughTheMapOfAShiftedFile) {
    Bytes intact = ValidStart();
    const Bytes more = NumberedPages(4);
    intact.insert(intact.end(), more.begin(), more.end());
    Bytes file(intact.begin() + 1000, intact.end());
    const std::string path = WriteFile(dir / "shifted.mdb", file);

    const pw::testing::AnalysedFile analysed(path);
    ASSERT_TRUE(analysed.ok);
    const CDbReader& shifted = analysed.reader;
    ASSERT_EQ(shifted.scanKind(), ScanKind::Shifted);
    ASSERT_EQ(shifted.pageOneOffset(), 3096);
    ASSERT_EQ(shifted.Map().size(), 10u);

    PageBuffer page;
    page.fill(0xAA);
    EXPECT_EQ(shifted.ReadPage(page, 0).outcome, PageReadOutcome::Absent);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; }));

    for (int n = 1; n < 10; ++n) {
        ASSERT_EQ(shifted.ReadPage(page, n).outcome, PageReadOutcome::Whole) << n;
        EXPECT_TRUE(std::equal(page.begin(), page.end(), intact.begin() + n * kPageSize)) << "page " << n;
    }

    // A number the map does not hold is no page of the file.
    for (int n : {10, 5000, -1}) {
        page.fill(0xAA);
        EXPECT_EQ(shifted.ReadPage(page, n).outcome, PageReadOutcome::Absent) << n;
        EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; })) << n;
    }
}

TEST_F(PageScan, APageOutsideTheMapReadsAsMissing) {
    const std::string path = WriteFile(dir / "outside.mdb", NumberedPages(4));
    ASSERT_TRUE(reader.OpenDatabaseFile(path));
    PageBuffer page;

    // Before the scan the map is empty: not even page 0 can be read.
    page.fill(0xAA);
    EXPECT_EQ(reader.ReadPage(page, 0).outcome, PageReadOutcome::Absent);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; }));

    ASSERT_EQ(reader.ScanPages(run), 4);
    ASSERT_EQ(reader.ReadPage(page, 3).outcome, PageReadOutcome::Whole);
    EXPECT_EQ(page[8], 3);
    for (int n : {4, 5000, -1}) {
        page.fill(0xAA);
        EXPECT_EQ(reader.ReadPage(page, n).outcome, PageReadOutcome::Absent) << n;
        EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; })) << n;
    }
}

TEST_F(PageScan, NothingIsReadWithoutAnOpenFile) {
    PageBuffer page;
    page.fill(0xAA);
    EXPECT_EQ(reader.ScanPages(run), -1);
    EXPECT_EQ(reader.ReadPage(page, 0).outcome, PageReadOutcome::Absent);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; }));
    EXPECT_EQ(reader.ReadAt(page, 0), -1);
    EXPECT_EQ(reader.ScanShiftedPages(3096, run), -1);
    EXPECT_TRUE(counts.told.empty());
}

}  // namespace
}  // namespace pw
