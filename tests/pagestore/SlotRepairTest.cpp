#include "pagestore/SlotRepair.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace pw {
namespace {

// A page whose rows have the given starts (each ending where the one before
// it starts), and a fits test that knows exactly those rows.
struct Page {
    std::array<std::uint8_t, kPageSize> bytes{};
    std::set<std::pair<std::int32_t, std::int32_t>> rows;

    explicit Page(const std::vector<std::int32_t>& starts) {
        bytes[12] = static_cast<std::uint8_t>(starts.size());
        std::int32_t above = kPageSize;
        for (std::size_t i = 0; i < starts.size(); ++i) {
            SetEntry(i, starts[i]);
            if (starts[i] < above) rows.insert({starts[i], above - 1});
            above = starts[i];
        }
    }
    void SetEntry(std::size_t slot, std::int32_t word) {
        bytes[kSlotTableOffset + 2 * slot] = static_cast<std::uint8_t>(word);
        bytes[kSlotTableOffset + 2 * slot + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    SlotTableRead Read(std::int32_t count) const {
        return ReadSlotTable(ByteView(bytes.data(), bytes.size()), count,
                             [this](std::int32_t start, std::int32_t end) { return rows.count({start, end}) != 0; });
    }
};

void ExpectRow(const SlotTableRead& read, std::size_t slot, std::int32_t start, std::int32_t end) {
    ASSERT_LT(slot, read.slots.size());
    EXPECT_EQ(read.slots[slot].start, start) << "slot " << slot;
    EXPECT_EQ(read.slots[slot].end, end) << "slot " << slot;
}

TEST(SlotRepair, AnIntactSlotTableIsReadAsItStands) {
    Page page({4000, 3900, 3900, 3700});
    page.SetEntry(2, 3900 | kSlotDeletedFlag);
    const SlotTableRead read = page.Read(4);
    EXPECT_TRUE(read.repairs.empty());
    EXPECT_EQ(read.outOfOrder, 0);
    ExpectRow(read, 0, 4000, 4095);
    ExpectRow(read, 2, 3900, 3899);
    EXPECT_TRUE(read.slots[2].deleted);
    ExpectRow(read, 3, 3700, 3899);
}

TEST(SlotRepair, DamagedEntriesInsideAndAtTheEndOfTheTableArePlaced) {
    Page page({4000, 3900, 3800, 3700, 3650, 3500});
    page.SetEntry(1, 0x1FF0);  // beyond the page
    page.SetEntry(2, 0x0004);  // inside the slot table
    page.SetEntry(5, 0x1234);  // the last entry: no row below to anchor it
    const SlotTableRead read = page.Read(6);
    EXPECT_EQ(read.outOfOrder, 3);
    EXPECT_EQ(read.unplaced, 0);
    ExpectRow(read, 0, 4000, 4095);
    ExpectRow(read, 1, 3900, 3999);
    ExpectRow(read, 2, 3800, 3899);
    ExpectRow(read, 3, 3700, 3799);
    ExpectRow(read, 5, 3500, 3649);
    EXPECT_EQ(read.repairs[1], SlotRepair::Placed);
    EXPECT_EQ(read.repairs[3], SlotRepair::None);
}

TEST(SlotRepair, AnEntryThatRisesAboveItsPredecessorLosesToTheRowsThatRead) {
    // Slot 1 now points above slot 0: one of the two must go, and slot 0's
    // row reads where it stands.
    Page page({3000, 2900, 2800});
    page.SetEntry(1, 3050);
    const SlotTableRead read = page.Read(3);
    EXPECT_EQ(read.repairs[0], SlotRepair::None);
    EXPECT_EQ(read.repairs[1], SlotRepair::Placed);
    ExpectRow(read, 0, 3000, 4095);
    ExpectRow(read, 1, 2900, 2999);
    ExpectRow(read, 2, 2800, 2899);
}

TEST(SlotRepair, AnEntryThatKeepsTheOrderButCutsTwoRowsWronglyIsPlacedAgain) {
    Page page({4000, 3900, 3800, 3700});
    page.SetEntry(1, 3950);  // still between its neighbours
    const SlotTableRead read = page.Read(4);
    ASSERT_FALSE(read.repairs.empty());
    EXPECT_EQ(read.repairs[1], SlotRepair::Placed);
    ExpectRow(read, 1, 3900, 3999);
    ExpectRow(read, 2, 3800, 3899);

    // Two rows that do not read, with no boundary that makes both read, stay
    // as their entries cut them.
    Page odd({4000, 3900, 3800});
    odd.rows.erase({3900, 3999});
    odd.rows.erase({3800, 3899});
    const SlotTableRead kept = odd.Read(3);
    EXPECT_TRUE(kept.repairs.empty());
    ExpectRow(kept, 1, 3900, 3999);
}

TEST(SlotRepair, RowsThatReadNowhereStayUnplacedAndMakeNothingUp) {
    Page page({4000, 3900, 3800});
    page.SetEntry(1, 0x1FF0);
    page.rows.clear();  // nothing on the page reads as a row
    const SlotTableRead read = page.Read(3);
    EXPECT_EQ(read.unplaced, 1);
    EXPECT_EQ(read.repairs[1], SlotRepair::Unplaced);
    EXPECT_LT(read.slots[1].end, read.slots[1].start);
    EXPECT_LT(read.slots[2].end, read.slots[2].start);
    ExpectRow(read, 0, 4000, 4095);
}

TEST(SlotRepair, ARunIsPlacedBelowABelievedRowThatWasLeftWithoutBytes) {
    Page page({4000, 3900, 3800, 3700, 3600});
    page.SetEntry(0, 0x1FF0);
    page.SetEntry(2, 0x1FF0);
    // Neither row 0 nor row 1 reads anywhere, so slot 1 keeps no bytes; it
    // still starts at 3900, which bounds row 2.
    page.rows.erase({4000, 4095});
    page.rows.erase({3900, 3999});
    const SlotTableRead read = page.Read(5);
    EXPECT_EQ(read.repairs[0], SlotRepair::Unplaced);
    EXPECT_EQ(read.repairs[2], SlotRepair::Placed);
    ExpectRow(read, 2, 3800, 3899);
    ExpectRow(read, 3, 3700, 3799);
}

TEST(SlotRepair, ADamagedEntryThatSaysDeletedIsLiveUnlessItsPageHoldsDeletions) {
    // The damaged word of slot 1 carries the deleted flag as noise.
    Page page({4000, 3900, 3800, 3700});
    page.SetEntry(1, 0x1F00 | kSlotDeletedFlag);
    const SlotTableRead read = page.Read(4);
    ASSERT_EQ(read.repairs[1], SlotRepair::Placed);
    ExpectRow(read, 1, 3900, 3999);
    EXPECT_FALSE(read.slots[1].deleted);

    // A page with a believed deletion keeps what the damaged entry says.
    Page deletions({4000, 3900, 3800, 3700});
    deletions.SetEntry(1, 0x1F00 | kSlotDeletedFlag);
    deletions.SetEntry(3, 3700 | kSlotDeletedFlag);
    const SlotTableRead kept = deletions.Read(4);
    ASSERT_EQ(kept.repairs[1], SlotRepair::Placed);
    EXPECT_TRUE(kept.slots[1].deleted);
    EXPECT_TRUE(kept.slots[3].deleted);
}

TEST(SlotRepair, ASlotTableOfNoiseEndsWithinItsBudget) {
    Page page({});
    page.bytes[12] = 200;
    for (std::size_t i = 0; i < 200; ++i) page.SetEntry(i, static_cast<std::int32_t>((i * 7919) % 8192));
    // Everything fits: the search has the most ways to go and must still stop.
    const SlotTableRead read = ReadSlotTable(ByteView(page.bytes.data(), page.bytes.size()), 200,
                                             [](std::int32_t, std::int32_t) { return true; });
    EXPECT_EQ(read.slots.size(), 200u);
    EXPECT_GT(read.outOfOrder, 0);
}

}  // namespace
}  // namespace pw
