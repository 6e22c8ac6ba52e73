#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/TypedValue.h"
#include "pagestore/SlotRepair.h"
#include "pagestore/SlotTable.h"
#include "records/ValueDispatch.h"
#include "schema/TableInfo.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw {

// The text of a cell without a value.
inline constexpr const char* kNullCell = "NULL";

// Texts that mark a row slot that holds no record, where a person sees them.
inline constexpr const char* kUnreadableLookupRow = "Could not read lookup row.";
inline constexpr const char* kDeletedRowMark = " This row was deleted in Original database";
inline constexpr const char* kErrorReadingRecord = "ERROR Reading Record";

// Where rows withheld from the live ones are shown beside them: the column
// that says what each row is, and its values (empty for a live row).
inline constexpr const char* kRowKindColumn = "_row";
inline constexpr const char* kLiveRowMark = "";
inline constexpr const char* kDeletedRowLabel = "deleted";
inline constexpr const char* kStaleRowLabel = "stale";

// Line feeds, carriage returns and double quotes become ";", backslashes are
// doubled, apostrophes become "`".
void SanitizeCellText(std::string& text);

// What a row slot holds.
enum class SlotKind {
    Live,            // a record; its cells are decoded
    Deleted,         // flagged deleted; not decoded
    LookupOverflow,  // flagged as an overflow pointer and not readable as a row
    Unreadable,      // the row does not fit its slot or its own layout (see RowProblem)
};

// Why a row could not be read.
enum class RowProblem {
    None,
    SlotOutsidePage,          // the slot puts the row outside its page
    TooManyColumns,           // the row states more columns than the table may have
    MoreVariableThanColumns,  // more variable values than columns
    DataOutsideRow,           // the variable data ends outside the row
    FixedAreaPastData,        // the fixed area reaches past the variable data
    NoStoredColumns,          // the row states no column at all (its cells are still decoded)
    OffsetsBackwards,         // a variable value starts before the one ahead of it or past the data's end
};
const char* RowProblemText(RowProblem problem);

// One decoded cell.
struct CellValue {
    bool present = false;   // the null mask says the value is there
    std::string text;       // the display text ("NULL" when there is no value)
    TypedValue value;
    ValueProblem problem = ValueProblem::None;  // why the value could not be read in full
};

// One slot of a data page as the walk met it.
struct WalkedRow {
    std::int32_t page = -1;       // page number
    std::size_t pageIndex = 0;    // index into the walk's pages (the table's dataPages, then its stalePages)
    // The page is one the table's usage map no longer lists.
    bool stalePage = false;
    std::int32_t slot = -1;       // slot on that page
    SlotKind kind = SlotKind::Unreadable;
    RowProblem problem = RowProblem::None;
    bool lookupFlag = false;
    // For a deleted slot: the page its bytes 1 to 3 name (where the record
    // moved to), else -1.
    std::int32_t movedToPage = -1;
    // In the order of the table's columns; filled for Live rows and for rows
    // without stored columns.
    std::vector<CellValue> cells;

    bool IsRecord() const { return kind == SlotKind::Live && !stalePage; }
    // A deleted row whose bytes still read as a row (decoded only on request).
    bool IsDeletedRecord() const { return kind == SlotKind::Deleted && !cells.empty(); }
    // A row from a page no longer in use (walked only on request).
    bool IsStaleRecord() const { return kind == SlotKind::Live && stalePage; }
    bool HasCells() const { return kind == SlotKind::Live || problem == RowProblem::NoStoredColumns; }
};

struct WalkOptions {
    // False: slots are only classified, no value is decoded (a count of the
    // rows costs little then).
    bool decodeValues = true;
    // True: deleted rows are decoded where their bytes still read as a row,
    // and the table's stale pages are walked after its data pages.
    bool includeDeleted = false;
    // False: whole numbers, dates and texts read by the common path keep
    // "NULL" as their CellValue::text, for readers that take those kinds from
    // the typed value alone (a display string per cell costs more than the
    // value); every other kind keeps its text.
    bool displayText = true;
};


// Walks the rows of one table over its data pages in list order and, on each
// page, its slots from 0 up. Each walker owns its page buffer and cursor, so
// any number of walks over the same table may run at once. Damage met on the
// way (an unreadable page, a row that does not fit, a broken long value) is
// reported to the run control, and the walk goes on.
struct WalkLayout;

class RowWalker {
public:
    RowWalker(const PageSource& pages, const TableInfo& table, const RunControl& run, WalkOptions options = {});

    const TableInfo& table() const { return table_; }
    std::size_t pageCount() const { return pageList_.size(); }

    // Loads the index-th page of the walk; returns its slot count (0 for an index beyond
    // the list or a page the map does not know).
    std::int32_t LoadPage(std::size_t index);
    std::size_t loadedPage() const { return pageIndex_; }
    std::int32_t slotsOnPage() const { return slots_; }
    // Reads slot `slot` of the loaded page.
    const WalkedRow& ReadSlot(std::int32_t slot);

    // Sequential walk: the next slot of the table, across pages. False at the
    // end of the last page or when a stop was requested.
    bool Next();
    const WalkedRow& row() const { return row_; }
    bool stopped() const { return stopped_; }
    const TableTally& tally() const { return tally_; }

private:
    // The phases of reading a slot, in their order.
    SlotEntry SlotAt(std::int32_t slotIndex) const;
    void StartRow(std::int32_t slotIndex, const SlotEntry& slot);
    void ReadDeletedRow(const SlotEntry& slot);
    // Reads the row's layout, mending one flipped bit of it where that alone
    // makes it whole (`page` then views the mended copy).
    RowProblem ReadLayout(const SlotEntry& slot, ByteView& page, WalkLayout& layout);
    void SetAsideRow(const SlotEntry& slot);
    void AcceptRow(ByteView page, const WalkLayout& layout);

    const PageSource& pages_;
    const TableInfo& table_;
    RunControl run_;
    WalkOptions options_;
    bool hasVariable_ = false;
    std::vector<std::int32_t> fixedBytes_;  // per stored column count, for placing rows of damaged slots
    std::vector<std::int32_t> variableSlots_;  // per stored column count, the offset slots its columns use
    // A copy of the loaded page in which one bit of a row's layout was undone.
    PageBuffer mended_{};
    ValueContext context_;
    std::vector<std::int32_t> pageList_;
    PageBuffer buffer_{};
    // Pages read ahead: a run of the table's pages that lie one after another
    // is read at once and handed out page by page.
    bool TakeFromRun(std::size_t index, PageRead& got);
    std::vector<std::uint8_t> runBytes_;
    std::vector<PageRead> runGot_;
    std::size_t runFirst_ = 0;   // index into dataPages of the run's first page
    std::size_t runCount_ = 0;
    std::size_t pageIndex_ = 0;
    bool pageLoaded_ = false;
    std::int32_t slots_ = 0;
    SlotTableRead slotTable_;  // the loaded page's slots, bounds set where entries were damaged
    std::int32_t nextSlot_ = 0;
    bool stopped_ = false;
    WalkedRow row_;
    TableTally tally_;
};

enum class WalkOutcome { Completed, Stopped, NoDataPages };

// Calls visit for every slot of every data page of the table; visit returns
// false to end the walk early (the outcome is then Completed).
WalkOutcome ForEachRow(const PageSource& pages, const TableInfo& table, const RunControl& run,
                       const std::function<bool(const WalkedRow&)>& visit, WalkOptions options = {},
                       TableTally* tally = nullptr);

}  // namespace pw
