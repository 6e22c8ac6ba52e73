#pragma once

#include <cstdint>
#include <vector>

#include "pagestore/PageSource.h"
#include "records/RowWalk.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// Pages through a table's records a window at a time, as the record preview
// shows them: each window continues where the one before it stopped. The
// definition's row count bounds the walk; it grows by the rows of pages that
// deleted rows say their records moved to, and the first window is topped up
// from the pages that follow when the definition states too few rows. The
// cursor is the window's own, so previews and exports of one table may run
// side by side.
class RecordWindow {
public:
    static constexpr std::int32_t kWindowSize = 100;

    RecordWindow(const PageSource& pages, const TableInfo& table, const RunControl& run);

    enum class Outcome {
        Read,         // the window holds what the next stretch of the table had (maybe nothing)
        Stopped,      // a stop was requested; the window may be partly filled
        NoDataPages,  // the table owns no data page
    };
    // Replaces `records` with the records of the next window (live rows only).
    Outcome ReadNext(std::vector<WalkedRow>& records);

    // True once a window read nothing new: every later window would be empty.
    bool exhausted() const { return exhausted_; }
    std::int32_t rowBound() const { return rowCount_; }
    std::int32_t slotsPassed() const { return recordCursor_; }

private:
    bool AdvanceToSlot();
    bool IsLastPage() const;
    // Reads the slot in hand, keeps it when it is a record; false for a slot
    // that is not one.
    bool ReadOne(std::vector<WalkedRow>& records);

    const PageSource& pages_;
    const TableInfo& table_;
    RunControl run_;
    RowWalker walker_;
    std::int32_t rowCount_;
    std::int32_t recordCursor_ = 0;
    std::int32_t slotCursor_ = 0;
    std::int32_t pageCursor_ = 0;
    std::int32_t slot_ = 0;
    std::int32_t slots_ = 0;
    bool exhausted_ = false;
};

}  // namespace pw
