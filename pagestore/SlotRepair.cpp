#include "pagestore/SlotRepair.h"

#include <algorithm>

namespace pw {
namespace {

// A damaged run longer than this is not searched: its rows stay unplaced.
constexpr std::int32_t kLongestRun = 8;
// Row readings one page may spend on placing rows; a page of noise must not
// cost more than a few milliseconds.
constexpr std::int64_t kFitsPerPage = 20000;
// The smallest row: a column count and one byte of null mask.
constexpr std::int32_t kShortestRow = 3;

bool InOrder(const std::vector<SlotEntry>& slots, std::int32_t low) {
    std::int32_t previous = kPageSize;
    for (const SlotEntry& s : slots) {
        if (s.start < low || s.start > previous) return false;
        previous = s.start;
    }
    return true;
}

// The most slots whose starts never rise from one to the next and lie
// between the slot table and the page end. Between sets of one size, the one
// in which the most rows read as rows where two believed neighbours put them
// (a damaged entry that happens to keep the order cuts rows that do not).
std::vector<bool> BelievedSlots(const std::vector<SlotEntry>& slots, std::int32_t low, const RowFits& fits) {
    const std::size_t n = slots.size();
    const auto count = static_cast<std::int64_t>(n) + 1;  // one slot more outweighs every tie-break
    std::vector<std::int64_t> best(n, -1);
    std::vector<std::ptrdiff_t> parent(n, -1);
    std::ptrdiff_t top = -1;
    auto readsBelow = [&](std::size_t i, std::int32_t above) { return fits(slots[i].start, above - 1) ? 1 : 0; };
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t start = slots[i].start;
        if (start < low || start > kPageSize) continue;
        best[i] = count + (i == 0 ? readsBelow(i, kPageSize) : 0);
        for (std::size_t j = 0; j < i; ++j) {
            if (best[j] < 0 || slots[j].start < start) continue;
            const std::int64_t through = best[j] + count + (j + 1 == i ? readsBelow(i, slots[j].start) : 0);
            if (through > best[i]) {
                best[i] = through;
                parent[i] = static_cast<std::ptrdiff_t>(j);
            }
        }
        if (top < 0 || best[i] > best[static_cast<std::size_t>(top)]) top = static_cast<std::ptrdiff_t>(i);
    }
    std::vector<bool> believed(n, false);
    for (std::ptrdiff_t i = top; i >= 0; i = parent[static_cast<std::size_t>(i)]) believed[static_cast<std::size_t>(i)] = true;
    return believed;
}

class RunPlacer {
public:
    RunPlacer(const RowFits& fits, std::int64_t& budget) : fits_(fits), budget_(budget) {}

    // Places rows first..last below `top` (the start of the row before them,
    // or the page end), the row after them starting at `anchor` (-1 when
    // the run ends the slot table; rows then reach down to `lowest`).
    bool Place(std::int32_t row, std::int32_t last, std::int32_t top, std::int32_t anchor, std::int32_t lowest,
               std::vector<std::int32_t>& starts) {
        if (row > last) {
            if (anchor < 0) return true;
            return top == anchor || Fits(anchor, top - 1);
        }
        const std::int32_t floor = anchor >= 0 ? anchor + kShortestRow : lowest;
        auto& start = starts[static_cast<std::size_t>(row)];
        for (std::int32_t x = top - kShortestRow; x >= floor; --x) {
            if (budget_ <= 0) return false;
            if (!Fits(x, top - 1)) continue;
            start = x;
            if (Place(row + 1, last, x, anchor, lowest, starts)) return true;
        }
        // A row without bytes: a deleted row whose space was taken back.
        start = top;
        return Place(row + 1, last, top, anchor, lowest, starts);
    }

    bool Fits(std::int32_t start, std::int32_t end) {
        --budget_;
        return fits_(start, end);
    }
    bool Exhausted() const { return budget_ <= 0; }

private:
    const RowFits& fits_;
    std::int64_t& budget_;
};

// An entry that keeps the order can still be wrong: it then cuts its own row
// and the next one where neither reads as a row. Such an entry is doubted
// when a boundary between its neighbours makes both rows read.
void DoubtMiscutEntries(const std::vector<SlotEntry>& slots, std::vector<bool>& believed, RunPlacer& placer,
                        std::int32_t low) {
    const auto n = static_cast<std::int32_t>(slots.size());
    std::vector<std::int32_t> starts(slots.size(), 0);
    for (std::int32_t i = 0; i + 1 < n && !placer.Exhausted(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (!believed[at] || !believed[at + 1] || (i > 0 && !believed[at - 1])) continue;
        const std::int32_t top = i == 0 ? kPageSize : slots[at - 1].start;
        const std::int32_t start = slots[at].start;
        const std::int32_t next = slots[at + 1].start;
        // A row without bytes on either side cuts nothing.
        if (start >= top || next >= start) continue;
        if (placer.Fits(start, top - 1) || placer.Fits(next, start - 1)) continue;
        if (placer.Place(i, i, top, next, low, starts) && starts[at] != start && starts[at] < top) believed[at] = false;
    }
}

// A damaged entry's flags are as doubtful as its offset. Deletions come in
// runs and whole pages; on a page where no believed entry is deleted, the
// row of a damaged entry that says deleted is far likelier live, and is read
// as live.
void KeepPlacedRowsLive(SlotTableRead& read) {
    for (std::size_t k = 0; k < read.slots.size(); ++k)
        if (read.repairs[k] == SlotRepair::None && read.slots[k].deleted) return;
    for (std::size_t k = 0; k < read.slots.size(); ++k)
        if (read.repairs[k] == SlotRepair::Placed) read.slots[k].deleted = false;
}

}  // namespace

SlotTableRead ReadSlotTable(ByteView page, std::int32_t rowCount, const RowFits& fits) {
    SlotTableRead read;
    const std::int32_t n = std::clamp<std::int32_t>(rowCount, 0, (kPageSize - kSlotTableOffset) / 2);
    read.slots.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) read.slots.push_back(ReadSlot(page, i));
    const std::int32_t low = kSlotTableOffset + 2 * n;
    std::int64_t budget = kFitsPerPage;
    RunPlacer placer(fits, budget);
    std::vector<bool> believed =
        InOrder(read.slots, low) ? std::vector<bool>(read.slots.size(), true) : BelievedSlots(read.slots, low, fits);
    DoubtMiscutEntries(read.slots, believed, placer, low);
    if (std::all_of(believed.begin(), believed.end(), [](bool b) { return b; })) return read;

    read.repairs.assign(static_cast<std::size_t>(n), SlotRepair::None);
    // Where the believed entries start, kept apart from the bounds set below:
    // a believed row left without bytes still bounds the run after it.
    std::vector<std::int32_t> believedStart(static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < believedStart.size(); ++k) believedStart[k] = read.slots[k].start;
    auto unplace = [&](SlotEntry& slot) {
        slot.start = 0;
        slot.end = -1;
    };
    std::int32_t i = 0;
    while (i < n) {
        if (believed[static_cast<std::size_t>(i)]) {
            ++i;
            continue;
        }
        std::int32_t last = i;
        while (last + 1 < n && !believed[static_cast<std::size_t>(last) + 1]) ++last;
        read.outOfOrder += last - i + 1;
        const std::int32_t top = i == 0 ? kPageSize : believedStart[static_cast<std::size_t>(i) - 1];
        const bool anchored = last + 1 < n;
        const std::int32_t anchor = anchored ? believedStart[static_cast<std::size_t>(last) + 1] : -1;

        std::vector<std::int32_t> starts(static_cast<std::size_t>(n), 0);
        const bool placed = last - i + 1 <= kLongestRun && placer.Place(i, last, top, anchor, low, starts);
        if (placed) {
            for (std::int32_t r = i; r <= last; ++r) {
                read.repairs[static_cast<std::size_t>(r)] = SlotRepair::Placed;
                SlotEntry& slot = read.slots[static_cast<std::size_t>(r)];
                slot.start = starts[static_cast<std::size_t>(r)];
                slot.end = (r == i ? top : starts[static_cast<std::size_t>(r) - 1]) - 1;
            }
            if (anchored) read.slots[static_cast<std::size_t>(last) + 1].end = starts[static_cast<std::size_t>(last)] - 1;
        } else {
            read.unplaced += last - i + 1;
            for (std::int32_t r = i; r <= last; ++r) {
                read.repairs[static_cast<std::size_t>(r)] = SlotRepair::Unplaced;
                unplace(read.slots[static_cast<std::size_t>(r)]);
            }
            if (anchored) {
                // The row after the run still starts where its slot says; its
                // end is the first at which it reads as a row.
                SlotEntry& after = read.slots[static_cast<std::size_t>(last) + 1];
                after.end = -1;
                for (std::int32_t y = anchor + kShortestRow - 1; y < top && !placer.Exhausted(); ++y)
                    if (placer.Fits(anchor, y)) {
                        after.end = y;
                        break;
                    }
                if (after.end < 0) unplace(after);
            }
        }
        i = last + 1;
    }
    KeepPlacedRowsLive(read);
    return read;
}

}  // namespace pw
