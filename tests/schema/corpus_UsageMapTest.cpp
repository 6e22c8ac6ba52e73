// Usage maps of real files: the pages Access released are set apart, a page
// the map lists that is gone is reported, and a damaged map loses nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "pagestore/FieldReaders.h"
#include "status/DamageReport.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using testing::AnalysedFile;

constexpr std::int64_t kMapPointerOffset = 55;

std::set<std::int32_t> Owned(const TableInfo& t) {
    std::set<std::int32_t> pages(t.dataPages.begin(), t.dataPages.end());
    pages.insert(t.stalePages.begin(), t.stalePages.end());
    return pages;
}

TEST(CorpusUsageMap, IntactFilesListEveryPageTheyUseAndLoseNone) {
    PW_REQUIRE_CORPUS();
    int listed = 0;
    int withStale = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format == "JET3" || file.format == "error") continue;
        SCOPED_TRACE(file.name);
        AnalysedFile intact(file.path);
        ASSERT_TRUE(intact.ok);
        for (const TableInfo& t : intact.tables()) {
            EXPECT_TRUE(t.lostPages.empty()) << t.name;
            if (t.usageMap == UsageMapState::Listed) ++listed;
            if (!t.stalePages.empty()) ++withStale;
            EXPECT_NE(t.usageMap, UsageMapState::Inconsistent) << t.name;
        }
        EXPECT_EQ(intact.damage.Count(DamageKind::PageUnreadable), 0);
    }
    EXPECT_GT(listed, 200);
    EXPECT_GT(withStale, 5);
}

class UsageMapDamage : public ::testing::Test {
protected:
    // The first corpus table with at least three live data pages and a readable map.
    void SetUp() override {
        PW_REQUIRE_CORPUS();
        for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
            if (file.format != "JET4") continue;
            auto analysed = std::make_unique<AnalysedFile>(file.path);
            if (!analysed->ok) continue;
            for (const TableInfo& t : analysed->tables())
                if (t.usageMap == UsageMapState::Listed && t.dataPages.size() >= 3) {
                    path = file.path;
                    table = t.name;
                    intact = std::move(analysed);
                    return;
                }
        }
        FAIL() << "no corpus table with three listed data pages";
    }
    std::filesystem::path Write(const std::vector<std::uint8_t>& bytes) {
        const auto out = dir / path.filename();
        testing::WriteFile(out, bytes);
        return out;
    }

    testing::TempDir dir;
    std::filesystem::path path;
    std::string table;
    std::unique_ptr<AnalysedFile> intact;
};

TEST_F(UsageMapDamage, AListedPageThatIsWipedIsReportedAsLost) {
    const TableInfo& before = intact->Table(table);
    const std::int32_t wiped = before.dataPages[1];
    auto bytes = testing::ReadFile(path);
    testing::ZeroPage(bytes, wiped);
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    const TableInfo& after = damaged.Table(table);
    EXPECT_EQ(after.usageMap, UsageMapState::Listed);
    EXPECT_EQ(after.lostPages, std::vector<std::int32_t>{wiped});
    EXPECT_EQ(after.stalePages, before.stalePages);
    bool reported = false;
    for (const DamageEvent& e : damaged.damage.KeptEvents())
        if (e.kind == DamageKind::PageUnreadable && e.page == wiped && e.table == table) reported = true;
    EXPECT_TRUE(reported);
    EXPECT_TRUE(damaged.damage.LostAnything());
}

TEST_F(UsageMapDamage, AMapPageThatIsWipedLeavesEveryOwnedPageInUse) {
    const TableInfo& before = intact->Table(table);
    auto bytes = testing::ReadFile(path);
    const std::size_t at = static_cast<std::size_t>(before.tdefPage) * kPageSize + kMapPointerOffset;
    const auto pointer = static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                                    (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
    const auto mapPage = static_cast<std::int32_t>(pointer >> 8);
    ASSERT_GT(mapPage, 0);
    testing::ZeroPage(bytes, mapPage);
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    const TableInfo& after = damaged.Table(table);
    EXPECT_NE(after.usageMap, UsageMapState::Listed);
    EXPECT_TRUE(after.stalePages.empty());
    EXPECT_TRUE(after.lostPages.empty());
    EXPECT_EQ(Owned(after), Owned(before));
}

TEST_F(UsageMapDamage, APageWhoseOwnerWordHasAFlippedBitStaysWithTheTableItsMapListsItFor) {
    const TableInfo& before = intact->Table(table);
    const std::int32_t flipped = before.dataPages[1];
    auto bytes = testing::ReadFile(path);
    // The owner word follows the page type and free-space words.
    bytes[static_cast<std::size_t>(flipped) * kPageSize + 6] ^= 0x10;
    AnalysedFile damaged(Write(bytes));
    ASSERT_TRUE(damaged.ok);
    const TableInfo& after = damaged.Table(table);
    EXPECT_EQ(after.usageMap, UsageMapState::Listed);
    EXPECT_EQ(after.dataPages, before.dataPages);
    EXPECT_EQ(after.stalePages, before.stalePages);
    for (const TableInfo& t : damaged.tables()) EXPECT_FALSE(t.columnsInferred) << t.name;
    EXPECT_EQ(damaged.damage.Count(DamageKind::PageRepaired), 1);
    EXPECT_EQ(damaged.damage.Count(DamageKind::DefinitionRejected), 0);
}

// A cut tail takes the pages at the end of the file, often most of a table:
// the map is right about them, and says how much of the tail is gone.
TEST(CorpusUsageMap, AMapWhosePagesWereMostlyCutOffWithTheTailIsBelieved) {
    PW_REQUIRE_CORPUS();
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format != "JET4" && file.format != "ACE") continue;
        AnalysedFile intact(file.path);
        if (!intact.ok) continue;
        for (const TableInfo& t : intact.tables()) {
            if (t.usageMap != UsageMapState::Listed || t.dataPages.size() < 3 || !t.stalePages.empty()) continue;
            std::vector<std::int32_t> pages = t.dataPages;
            std::sort(pages.begin(), pages.end());
            // Only the first of three pages or more is left: most are gone.
            const std::int32_t cut = pages[0] + 1;
            if (t.tdefPage >= cut) continue;
            auto bytes = testing::ReadFile(file.path);
            bytes.resize(static_cast<std::size_t>(cut) * kPageSize);
            testing::TempDir dir;
            const auto out = dir / file.path.filename();
            testing::WriteFile(out, bytes);
            AnalysedFile damaged(out);
            ASSERT_TRUE(damaged.ok);
            const TableInfo* after = damaged.Find(t.name);
            // The map itself may lie past the cut; then nothing is listed.
            if (after == nullptr || after->usageMap == UsageMapState::Unreadable) continue;
            SCOPED_TRACE(file.name + " / " + t.name);
            EXPECT_EQ(after->usageMap, UsageMapState::Listed);
            EXPECT_EQ(after->lostPages, std::vector<std::int32_t>(pages.begin() + 1, pages.end()));
            EXPECT_GE(damaged.analysis.fileFacts().pagesLostAtTail, pages.back() - (cut - 1));
            EXPECT_TRUE(damaged.damage.LostAnything());
            return;
        }
    }
    FAIL() << "no corpus table to cut";
}

}  // namespace
}  // namespace pw
