#include "records/RecordWindow.h"

#include <algorithm>

namespace pw {

RecordWindow::RecordWindow(const PageSource& pages, const TableInfo& table, const RunControl& run)
    : pages_(pages), table_(table), run_(run), walker_(pages, table, run), rowCount_(table.rowCount) {}

bool RecordWindow::IsLastPage() const {
    return pageCursor_ >= static_cast<std::int32_t>(table_.dataPages.size()) - 1;
}

bool RecordWindow::AdvanceToSlot() {
    while (slot_ >= slots_) {
        if (IsLastPage()) return false;
        ++pageCursor_;
        slots_ = walker_.LoadPage(static_cast<std::size_t>(pageCursor_));
        slot_ = 0;
    }
    return true;
}

bool RecordWindow::ReadOne(std::vector<WalkedRow>& records) {
    const WalkedRow& row = walker_.ReadSlot(slot_);
    if (row.kind == SlotKind::Deleted && row.movedToPage >= 0) {
        // The rows of the page a removed record moved to count towards the
        // table's total.
        const std::vector<std::int32_t>& owned = table_.dataPages;
        const PageMap& map = pages_.Map();
        if (std::find(owned.begin(), owned.end(), row.movedToPage) != owned.end() &&
            static_cast<std::size_t>(row.movedToPage) < map.size())
            rowCount_ += map[static_cast<std::size_t>(row.movedToPage)].rowCount;
    }
    if (!row.IsRecord()) return false;
    records.push_back(row);
    return true;
}

RecordWindow::Outcome RecordWindow::ReadNext(std::vector<WalkedRow>& records) {
    records.clear();
    if (table_.dataPages.empty()) return Outcome::NoDataPages;
    const std::int32_t startRecord = recordCursor_;
    const std::int32_t startSlot = slotCursor_;
    const std::int32_t startPage = pageCursor_;
    const std::int32_t startCount = rowCount_;

    std::int32_t i = recordCursor_;
    slot_ = slotCursor_;
    std::int32_t bound = i < rowCount_ - kWindowSize ? i + kWindowSize : rowCount_;
    if (pageCursor_ < 0 || pageCursor_ >= static_cast<std::int32_t>(table_.dataPages.size())) pageCursor_ = 0;
    slots_ = walker_.LoadPage(static_cast<std::size_t>(pageCursor_));
    std::int32_t used = 0;  // window places taken

    while (i < bound && used < kWindowSize) {
        if (!AdvanceToSlot()) break;
        if (run_.StopRequested()) return Outcome::Stopped;
        // A slot without a record does not use up the window, nor the
        // table's row count: the count is of records, the walk goes by slots.
        // Without this a deleted row would hide the last record of the table.
        if (ReadOne(records)) {
            ++used;
        } else {
            ++rowCount_;
            ++bound;
        }
        ++slot_;
        ++i;
    }
    if (run_.StopRequested()) return Outcome::Stopped;

    // The definition's row count was too small for the rows actually stored:
    // the first window is filled up from the pages that follow.
    if (i < kWindowSize && i >= bound && !IsLastPage()) {
        if (slot_ == 0) {
            slot_ = slotCursor_;
            slots_ = walker_.LoadPage(static_cast<std::size_t>(pageCursor_));
        }
        while (slot_ < kWindowSize && !IsLastPage() && i - recordCursor_ < kWindowSize && used < kWindowSize) {
            ++rowCount_;
            if (!AdvanceToSlot()) break;
            if (run_.StopRequested()) return Outcome::Stopped;
            ReadOne(records);
            ++used;
            ++slot_;
            ++i;
        }
    }
    recordCursor_ = i;
    slotCursor_ = slot_;
    // A window that moved nothing leaves the same state behind, so every
    // later window would read the same nothing.
    exhausted_ = recordCursor_ == startRecord && slotCursor_ == startSlot && pageCursor_ == startPage &&
                 rowCount_ == startCount;
    return Outcome::Read;
}

}  // namespace pw
