#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pagestore/DbReader.h"
#include "status/StatusConsumer.h"
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

// Answers every hand-shake of the reader's own status object while alive.
struct ScanFixture : ::testing::Test {
    RecoveryStatus status;
    CDbReader reader{status};
    RecordingNotifier notifier;
    TempDir dir;
    ScanFixture() { reader.SetNotifier(&notifier); }
};

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
    StatusConsumer consumer(status, nullptr, nullptr);
    EXPECT_EQ(reader.ScanPages(), 3);
    consumer.Shutdown();

    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(status.pagesTotal, 2);
    EXPECT_EQ(status.pagesRead, 2);
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
    EXPECT_EQ(reader.ReadPage(page, 2), 10000 - 8192);
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
    StatusConsumer consumer(status, nullptr, nullptr);
    ASSERT_EQ(reader.ScanPages(), 4);
    consumer.Shutdown();

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

// A consumer that answers k posts and raises stop on the last of them, as the
// Stop button would between two pages.
void StopAfter(RecoveryStatus& status, int k) {
    for (int i = 1; i <= k; ++i) {
        status.WaitUpdateProgStatus();
        status.ResetUpdateProgStatus();
        if (i == k) status.RequestStop();
        status.SetReadPage();
    }
}

TEST_F(PageScan, AStopKeepsTheMapCompleteUpToTheLastAcknowledgedPage) {
    constexpr int kPages = 20;
    constexpr int kAcknowledged = 7;
    const std::string path = WriteFile(dir / "stop.mdb", NumberedPages(kPages));
    ASSERT_TRUE(reader.OpenDatabaseFile(path));

    std::thread consumer([&] { StopAfter(status, kAcknowledged); });
    const int entries = reader.ScanPages();
    consumer.join();

    EXPECT_EQ(entries, kAcknowledged);
    EXPECT_EQ(status.pagesTotal, kPages);
    EXPECT_EQ(status.pagesRead, kAcknowledged);  // not raised to the total
    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), static_cast<std::size_t>(kAcknowledged));
    for (int n = 0; n < kAcknowledged; ++n) {
        EXPECT_EQ(map[n].pageNumber, n);
        EXPECT_EQ(map[n].fileOffset, static_cast<std::int64_t>(n) * kPageSize);
        EXPECT_EQ(map[n].rowCount, n);
    }
}

TEST_F(PageScan, AStopDuringTheShiftedScanKeepsTheAbsentPageZero) {
    constexpr int kAcknowledged = 4;
    Bytes file = NumberedPages(12);
    file.erase(file.begin(), file.begin() + 1000);
    const std::string path = WriteFile(dir / "stop-shifted.mdb", file);
    ASSERT_TRUE(reader.OpenDatabaseFile(path));

    std::thread consumer([&] { StopAfter(status, kAcknowledged); });
    const int entries = reader.ScanShiftedPages(3096);
    consumer.join();

    EXPECT_EQ(entries, 1 + kAcknowledged);
    EXPECT_EQ(status.pagesRead, 1 + kAcknowledged);
    const PageMap& map = reader.Map();
    ASSERT_EQ(map.size(), static_cast<std::size_t>(1 + kAcknowledged));
    EXPECT_EQ(map[0].fileOffset, -1);
    for (int n = 1; n <= kAcknowledged; ++n) {
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

    StatusConsumer consumer(status, nullptr, nullptr);
    ASSERT_TRUE(reader.AnalyseDatabase(path));
    consumer.Shutdown();
    ASSERT_EQ(reader.scanKind(), ScanKind::Shifted);
    ASSERT_EQ(reader.pageOneOffset(), 3096);
    ASSERT_EQ(reader.Map().size(), 10u);

    PageBuffer page;
    page.fill(0xAA);
    EXPECT_EQ(reader.ReadPage(page, 0), -1);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; }));

    for (int n = 1; n < 10; ++n) {
        ASSERT_EQ(reader.ReadPage(page, n), kPageSize) << n;
        EXPECT_TRUE(std::equal(page.begin(), page.end(), intact.begin() + n * kPageSize)) << "page " << n;
    }

    // A number the map does not hold reads the start of the file.
    for (int n : {10, 5000, -1}) {
        page.fill(0xAA);
        ASSERT_EQ(reader.ReadPage(page, n), kPageSize) << n;
        EXPECT_TRUE(std::equal(page.begin(), page.end(), file.begin())) << n;
    }
}

TEST_F(PageScan, NothingIsReadWithoutAnOpenFile) {
    PageBuffer page;
    page.fill(0xAA);
    EXPECT_EQ(reader.ScanPages(), -1);
    EXPECT_EQ(reader.ReadPage(page, 0), -1);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t c) { return c == 0; }));
    EXPECT_EQ(reader.ReadAt(page, 0), -1);
    EXPECT_EQ(reader.ScanShiftedPages(3096), -1);
    EXPECT_EQ(status.pagesTotal, 0);
}

}  // namespace
}  // namespace pw
