#include "records/RowWalk.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotRepair.h"
#include "pagestore/TextDecoding.h"
#include "records/CalendarDate.h"
#include "records/DateText.h"
#include "records/NumberText.h"
#include "records/ValueBounds.h"
#include "schema/ColumnTypes.h"
#include "schema/RowShape.h"
#include "status/DamageReport.h"

namespace pw {

// A row's layout as the walk accepts it, against the table's definition.
// Positions are page offsets unless said otherwise.
struct WalkLayout : RowFrame {
    std::int32_t varCount = 0;  // the variable count, 0 for a table without variable columns
    std::int32_t dataEnd = 0;   // row-relative end of the variable data
    std::int32_t varStart = 0;  // row-relative start of the first variable value
};

namespace {

// The row frame's readers, inlined: the walk reads these words for every
// row, most of all when it only counts them.
inline std::int32_t VarOffsetAt(ByteView page, const RowFrame& row, std::int32_t k) {
    return ReadUInt16(page, row.VarCountPosition() - 2 - 2 * k);
}
inline std::int32_t VarCountOf(ByteView page, const RowFrame& row) { return ReadUInt16(page, row.VarCountPosition()); }
inline bool MaskBitOf(ByteView page, const RowFrame& row, std::int32_t columnNumber) {
    if (columnNumber < 0 || columnNumber / 8 >= row.maskLength) return false;
    const std::int32_t at = row.end - row.maskLength + 1 + columnNumber / 8;
    return ((ReadInt8(page, at) >> (columnNumber % 8)) & 1) != 0;
}

std::size_t ColumnsInUse(const TableInfo& table) {
    return std::min(table.columns.size(), static_cast<std::size_t>(std::max(table.columnCount, 0)));
}

bool SchemaHasVariableColumns(const TableInfo& table) {
    const std::size_t count = ColumnsInUse(table);
    for (std::size_t i = 0; i < count; ++i)
        if (table.columns[i].isFixed == 0) return true;
    return false;
}

// Checks the row's counts and offsets; anything but None rejects the row.
RowProblem ReadRowLayout(ByteView page, const TableInfo& table, bool hasVariable, const SlotEntry& slot,
                         WalkLayout& row) {
    row.start = slot.start;
    row.end = slot.end;
    if (slot.start < 0 || slot.end >= static_cast<std::int32_t>(page.size()) || slot.end < slot.start)
        return RowProblem::SlotOutsidePage;
    static_cast<RowFrame&>(row) = ReadRowFrame(page, slot.start, slot.end);
    if (row.storedColumns > table.maxColumns || row.storedColumns > kMaxRowColumns)
        return RowProblem::TooManyColumns;
    row.varCount = hasVariable ? VarCountOf(page, row) : 0;
    if (row.varCount > row.storedColumns) return RowProblem::MoreVariableThanColumns;
    const std::int32_t afterData = row.end - row.maskLength - row.start + 1;
    row.dataEnd = row.varCount > 0 ? VarOffsetAt(page, row, row.varCount) : afterData;
    if (row.dataEnd < 0 || row.dataEnd > row.end - row.start) return RowProblem::DataOutsideRow;
    row.varStart = row.varCount > 0 ? VarOffsetAt(page, row, 0) : afterData;
    const std::int32_t lastFixedByte = row.varStart != 0 ? row.varStart - 1 : 0;
    if (lastFixedByte > row.dataEnd) return RowProblem::FixedAreaPastData;
    // Access writes the variable values one after another: an offset out of
    // that order is damage, and would cost the values on both sides of it.
    for (std::int32_t k = 1, previous = row.varStart; k < row.varCount; ++k) {
        const std::int32_t offset = VarOffsetAt(page, row, k);
        if (offset < previous || offset > row.dataEnd) return RowProblem::OffsetsBackwards;
        previous = offset;
    }
    return RowProblem::None;
}

// For each stored column count, the fixed bytes the columns a row of that
// many columns stores take. A table rebuilt from its rows has no fixed layout
// every row shares: none is asked of it.
std::vector<std::int32_t> FixedBytesByStoredColumns(const TableInfo& table) {
    std::vector<std::int32_t> bytes(static_cast<std::size_t>(kMaxRowColumns) + 1, 0);
    if (table.columnsInferred) return bytes;
    const std::size_t count = ColumnsInUse(table);
    for (std::size_t i = 0; i < count; ++i) {
        const ColumnInfo& c = table.columns[i];
        if (c.isFixed == 0 || c.typeCode == ColumnType::Bit || c.columnNumber < 0 ||
            c.columnNumber >= kMaxRowColumns)
            continue;
        std::int32_t& at = bytes[static_cast<std::size_t>(c.columnNumber) + 1];
        at = std::max(at, c.fixedOffset + c.length);
    }
    // A row of n columns stores every column numbered below n.
    for (std::size_t n = 1; n < bytes.size(); ++n) bytes[n] = std::max(bytes[n], bytes[n - 1]);
    return bytes;
}

// For each stored column count, how many offset slots a row of that many
// columns holds at least: one past the highest slot of a variable column
// numbered below it. Rows written before a column was added store fewer
// columns, and ask fewer slots. Nothing is asked of a table rebuilt from its
// rows.
std::vector<std::int32_t> VariableSlotsByStoredColumns(const TableInfo& table) {
    std::vector<std::int32_t> slots(static_cast<std::size_t>(kMaxRowColumns) + 1, 0);
    if (table.columnsInferred) return slots;
    const std::size_t count = ColumnsInUse(table);
    for (std::size_t i = 0; i < count; ++i) {
        const ColumnInfo& c = table.columns[i];
        if (c.isFixed != 0 || c.columnNumber < 0 || c.columnNumber >= kMaxRowColumns || c.varIndex < 0 ||
            c.varIndex >= kMaxRowColumns)
            continue;
        std::int32_t& at = slots[static_cast<std::size_t>(c.columnNumber) + 1];
        at = std::max(at, c.varIndex + 1);
    }
    for (std::size_t n = 1; n < slots.size(); ++n) slots[n] = std::max(slots[n], slots[n - 1]);
    return slots;
}

// Whether a layout the walk accepts is the whole row as Access writes it:
// variable data that ends where the offset table begins, and a fixed area
// as long as the columns the row stores take.
bool LayoutFillsRow(const TableInfo& table, bool hasVariable, const std::vector<std::int32_t>& fixedBytes,
                    const WalkLayout& row) {
    if (row.storedColumns == 0) return false;
    const std::int32_t fixed = fixedBytes[static_cast<std::size_t>(row.storedColumns)];
    const std::int32_t length = row.end - row.start + 1;
    if (!hasVariable) return table.columnsInferred || length == 2 + fixed + row.maskLength;
    const std::int32_t offsetTable = length - row.maskLength - 4 - 2 * row.varCount;
    return DataMeetsOffsetTable(offsetTable - row.dataEnd) && row.varStart >= 2 + fixed;
}

// Whether the bytes read as a whole row of the table. Used to place rows
// whose slot entry is lost.
bool FitsAsRow(ByteView page, const TableInfo& table, bool hasVariable, const std::vector<std::int32_t>& fixedBytes,
               std::int32_t start, std::int32_t end) {
    SlotEntry slot;
    slot.start = start;
    slot.end = end;
    WalkLayout row;
    return ReadRowLayout(page, table, hasVariable, slot, row) == RowProblem::None &&
           LayoutFillsRow(table, hasVariable, fixedBytes, row);
}

// A row stating fewer offset slots than its columns use: either a row of an
// older shape of the table or a damaged count.
bool StatesTooFewSlots(bool hasVariable, const std::vector<std::int32_t>& variableSlots, const WalkLayout& row) {
    return hasVariable && row.varCount < variableSlots[static_cast<std::size_t>(row.storedColumns)];
}

// Which part of a row's layout a mended bit belonged to.
enum class MendedField { None, ColumnCount, VariableCount, Offsets };

const char* MendedFieldText(MendedField field) {
    switch (field) {
        case MendedField::ColumnCount: return "row layout mended: a flipped bit of its column count undone";
        case MendedField::VariableCount: return "row layout mended: a flipped bit of its variable count undone";
        case MendedField::Offsets: return "row layout mended: a flipped bit of its variable offsets undone";
        case MendedField::None: break;
    }
    return "";
}

// A single flipped bit in the words that lay out a row (its column count,
// variable count and offsets) makes a whole row unreadable, or empties the
// values beside it. When exactly one bit of those words, flipped back, gives
// a layout that fills the row as Access writes it, the row is read with
// that bit undone; `mended` then holds the page with it. The null mask is
// left alone: any of its bits gives a layout as good as another.
MendedField MendOneFlippedBit(ByteView page, const TableInfo& table, bool hasVariable,
                              const std::vector<std::int32_t>& fixedBytes,
                              const std::vector<std::int32_t>& variableSlots, const SlotEntry& slot,
                              PageBuffer& mended, WalkLayout& layout) {
    if (slot.start < 0 || slot.end >= static_cast<std::int32_t>(page.size()) || slot.end - slot.start < 3)
        return MendedField::None;
    RowFrame frame = ReadRowFrame(page, slot.start, slot.end);
    const std::int32_t stated = std::clamp<std::int32_t>(frame.storedColumns, 1, kMaxRowColumns);
    frame.maskLength = MaskLengthFor(stated);
    const std::int32_t countWord = frame.VarCountPosition();
    const std::int32_t lowest = std::max(slot.start + 2, countWord - 2 - 2 * stated);

    std::vector<std::int32_t> bytes{slot.start, slot.start + 1};
    if (hasVariable)
        for (std::int32_t at = lowest; at <= countWord + 1; ++at) bytes.push_back(at);

    std::memcpy(mended.data(), page.data(), kPageSize);
    const ByteView view(mended);
    std::int32_t foundAt = -1;
    int foundBit = -1;
    WalkLayout candidate;
    for (std::int32_t at : bytes) {
        if (at < slot.start || at > slot.end) continue;
        for (int bit = 0; bit < 8; ++bit) {
            mended[static_cast<std::size_t>(at)] ^= static_cast<std::uint8_t>(1u << bit);
            const bool fits = ReadRowLayout(view, table, hasVariable, slot, candidate) == RowProblem::None &&
                              LayoutFillsRow(table, hasVariable, fixedBytes, candidate) &&
                              !StatesTooFewSlots(hasVariable, variableSlots, candidate);
            mended[static_cast<std::size_t>(at)] ^= static_cast<std::uint8_t>(1u << bit);
            if (!fits) continue;
            if (foundAt >= 0) return MendedField::None;  // two ways to mend it: neither is sure
            foundAt = at;
            foundBit = bit;
            layout = candidate;
        }
    }
    if (foundAt < 0) return MendedField::None;
    mended[static_cast<std::size_t>(foundAt)] ^= static_cast<std::uint8_t>(1u << foundBit);
    if (foundAt < slot.start + 2) return MendedField::ColumnCount;
    return foundAt >= countWord ? MendedField::VariableCount : MendedField::Offsets;
}

// Resets the cell in place: the row's cells are reused row after row, and
// their strings keep the room they had.
void SetNull(CellValue& cell) {
    cell.present = false;
    cell.text.assign(kNullCell);
    TypedValue& v = cell.value;
    v.kind = TypedValue::Kind::Null;
    v.boolean = false;
    v.integer = 0;
    v.real = 0.0;
    v.isSingle = false;
    v.decimalMagnitude = 0;
    v.decimalScale = 0;
    v.decimalNegative = false;
    v.text.clear();
    v.guid.fill(0);
    v.items.clear();
    v.name.clear();
    cell.problem = ValueProblem::None;
}

// The commonest values decoded straight into the reused cell, as DecodeValue
// would decode them: a decoder's result moved through two temporaries costs
// more than the value. False leaves the cell untouched for DecodeValue, which
// alone handles every value that is damaged or of another type.
bool DecodeCommonValue(ByteView page, const ColumnInfo& column, std::int64_t position, std::int64_t length,
                       bool displayText, CellValue& cell) {
    if (column.calculated) return false;
    TypedValue& value = cell.value;
    const auto setInteger = [&](std::int64_t number) {
        if (displayText) {
            char digits[24];
            const auto result = std::to_chars(digits, digits + sizeof digits, number);
            cell.text.assign(digits, result.ptr);
        }
        value.kind = TypedValue::Kind::Integer;
        value.integer = number;
    };
    switch (column.typeCode) {
        case ColumnType::Byte:
            if (!StartsAndEndsBefore(page, position, 0)) return false;
            setInteger(ReadInt8(page, position) & 0xFF);
            return true;
        case ColumnType::Int:
            if (!StartsAndEndsBefore(page, position, 2)) return false;
            setInteger(static_cast<std::int16_t>(ReadUInt16(page, position)));
            return true;
        case ColumnType::Long:
            if (!StartsAndEndsBefore(page, position, 4)) return false;
            setInteger(ReadInt32(page, position));
            return true;
        case ColumnType::Currency: {
            if (!StartsAndEndsBefore(page, position, 8)) return false;
            const std::int64_t number = ReadInt64(page, position);
            cell.text = FormatCurrency(number);
            value.kind = TypedValue::Kind::Currency;
            value.integer = number;
            return true;
        }
        case ColumnType::Date: {
            const double serial = std::bit_cast<double>(static_cast<std::uint64_t>(ReadInt64(page, position)));
            if (displayText) {
                std::string text = FormatDateSerial(serial);
                if (text.empty()) return false;
                cell.text = std::move(text);
            } else if (!DateTimeFromSerial(serial)) {
                // The same serials as an empty FormatDateSerial: DecodeValue reports them.
                return false;
            }
            value.kind = TypedValue::Kind::Date;
            value.real = serial;
            return true;
        }
        case ColumnType::Text: {
            const bool startsInside = position < static_cast<std::int64_t>(page.size());
            if (startsInside)
                DecodeJetTextInto(page, position, length, value.text);
            else
                value.text.clear();
            if (!displayText || value.text.empty() || value.text == "#TEXT")
                cell.text.assign(kNullCell);
            else
                cell.text = value.text;
            value.kind = TypedValue::Kind::Text;
            return true;
        }
        default: return false;
    }
}

// The cells of a row that passed its layout checks, in the order of the
// table's columns.
void DecodeCells(ByteView page, const TableInfo& table, const WalkLayout& row, const ValueContext& context,
                 bool displayText, std::vector<CellValue>& cells) {
    const std::size_t columns = ColumnsInUse(table);
    cells.resize(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        const ColumnInfo& column = table.columns[i];
        CellValue& cell = cells[i];
        SetNull(cell);
        const bool hasValue = MaskBitOf(page, row, column.columnNumber);
        if (column.typeCode == ColumnType::Bit) {
            // The mask bit is the value itself.
            cell.present = hasValue;
            cell.text.assign(1, hasValue ? '1' : '0');
            cell.value = TypedValue::Boolean(hasValue);
            continue;
        }
        if (!hasValue) continue;
        DecodedCell decoded;
        if (column.isFixed != 0) {
            // A fixed value is read where the definition places it, and only
            // while it lies inside the row's fixed area.
            const std::int64_t at = 2 + static_cast<std::int64_t>(column.fixedOffset);
            const bool inside = column.fixedOffset >= 0 && at + column.length <= row.varStart;
            if (!inside || column.columnNumber >= row.storedColumns) continue;
            if (DecodeCommonValue(page, column, row.start + at, column.length, displayText, cell)) {
                cell.present = true;
                continue;
            }
            DecodeFixedValue(context, page, column, row.start + at, decoded);
        } else {
            // A variable value is found through the column's own slot in the
            // offset table, so deleted and added columns keep their values.
            const std::int32_t k = column.varIndex;
            if (k < 0 || k >= row.varCount) continue;
            const std::int32_t p = VarOffsetAt(page, row, k);
            const std::int32_t q = k + 1 == row.varCount ? row.dataEnd : VarOffsetAt(page, row, k + 1);
            const std::int32_t lastFixedByte = row.varStart != 0 ? row.varStart - 1 : 0;
            if (p <= lastFixedByte || p > row.dataEnd || q < p || q > row.dataEnd) continue;
            if (table.columnsInferred && column.typeCode != ColumnType::InferredVariable && q - p != column.length) {
                // The sampled rows gave the column one length; a value of
                // another is no value of that type, and is told apart alone.
                ColumnInfo untyped = column;
                untyped.typeCode = ColumnType::InferredVariable;
                DecodeValue(context, page, untyped, row.start + p, q - p, decoded);
            } else if (DecodeCommonValue(page, column, row.start + p, q - p, displayText, cell)) {
                cell.present = true;
                continue;
            } else {
                DecodeValue(context, page, column, row.start + p, q - p, decoded);
            }
        }
        cell.present = true;
        cell.text = std::move(decoded.text);
        cell.value = std::move(decoded.value);
        cell.problem = decoded.problem;
    }
}

bool AnyValueDamaged(const std::vector<CellValue>& cells) {
    return std::any_of(cells.begin(), cells.end(),
                       [](const CellValue& cell) { return cell.problem != ValueProblem::None; });
}

}  // namespace

const char* RowProblemText(RowProblem problem) {
    switch (problem) {
        case RowProblem::None: return "";
        case RowProblem::SlotOutsidePage: return "slot puts the row outside its page";
        case RowProblem::TooManyColumns: return "row states more columns than the table has";
        case RowProblem::MoreVariableThanColumns: return "row states more variable values than columns";
        case RowProblem::DataOutsideRow: return "variable data ends outside the row";
        case RowProblem::FixedAreaPastData: return "fixed area reaches past the variable data";
        case RowProblem::NoStoredColumns: return "row states no column";
        case RowProblem::OffsetsBackwards: return "variable offsets run backwards";
    }
    return "";
}

void SanitizeCellText(std::string& text) {
    const bool clean = std::none_of(text.begin(), text.end(), [](char c) {
        return c == '\n' || c == '\r' || c == '"' || c == '\\' || c == '\'';
    });
    if (clean) return;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '"') {
            out.push_back(';');
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\'') {
            out.push_back('`');
        } else {
            out.push_back(c);
        }
    }
    text = std::move(out);
}

RowWalker::RowWalker(const PageSource& pages, const TableInfo& table, const RunControl& run, WalkOptions options)
    : pages_(pages),
      table_(table),
      run_(run),
      options_(options),
      hasVariable_(SchemaHasVariableColumns(table)),
      fixedBytes_(FixedBytesByStoredColumns(table)),
      variableSlots_(VariableSlotsByStoredColumns(table)) {
    context_.pages = &pages_;
    context_.run = &run_;
    context_.table = &table_.name;
    pageList_ = table_.dataPages;
    if (options_.includeDeleted) pageList_.insert(pageList_.end(), table_.stalePages.begin(), table_.stalePages.end());
}

bool RowWalker::TakeFromRun(std::size_t index, PageRead& got) {
    if (index < runFirst_ || index >= runFirst_ + runCount_) {
        // The pages from here on whose numbers follow one another, up to a
        // run's worth; a single page is read on its own.
        constexpr std::size_t kRunPages = 64;
        const std::vector<std::int32_t>& pages = pageList_;
        std::size_t count = 1;
        while (count < kRunPages && index + count < pages.size() &&
               pages[index + count] == pages[index] + static_cast<std::int32_t>(count))
            ++count;
        if (count == 1) return false;
        runBytes_.resize(kRunPages * kPageSize);
        runGot_.resize(kRunPages);
        pages_.ReadPageRun(pages[index], static_cast<std::int32_t>(count), runBytes_.data(), runGot_.data());
        runFirst_ = index;
        runCount_ = count;
    }
    const std::size_t k = index - runFirst_;
    std::memcpy(buffer_.data(), runBytes_.data() + k * kPageSize, kPageSize);
    got = runGot_[k];
    return true;
}

std::int32_t RowWalker::LoadPage(std::size_t index) {
    pageIndex_ = index;
    pageLoaded_ = true;
    nextSlot_ = 0;
    slots_ = 0;
    if (index >= pageList_.size()) {
        buffer_.fill(0);
        return 0;
    }
    const std::int32_t pageNumber = pageList_[index];
    PageRead got;
    if (!TakeFromRun(index, got)) got = pages_.ReadPage(buffer_, pageNumber);
    const PageMap& map = pages_.Map();
    if (pageNumber < 0 || static_cast<std::size_t>(pageNumber) >= map.size()) return 0;
    ++tally_.pagesRead;
    if (!got.whole()) {
        // What could be read is still walked: rows sit at the page's end, and
        // a short read only loses what lies beyond it.
        ++tally_.pagesUnreadable;
        run_.Report({DamageKind::PageUnreadable, pageNumber, -1, table_.name,
                     got.outcome == PageReadOutcome::Absent ? "page cannot be read"
                                                            : "page is cut short by the end of the file"});
    }
    // Told once a block of pages and at the last page: often enough for a
    // screen, rarely enough to cost nothing.
    const std::size_t done = index + 1;
    if (done % 256 == 0 || done == pageList_.size())
        run_.Progress(ProgressStage::Rows, static_cast<std::int64_t>(done),
                      static_cast<std::int64_t>(pageList_.size()));
    slots_ = map[static_cast<std::size_t>(pageNumber)].rowCount;
    const ByteView page(buffer_);
    slotTable_ = ReadSlotTable(page, slots_, [&](std::int32_t start, std::int32_t end) {
        return FitsAsRow(page, table_, hasVariable_, fixedBytes_, start, end);
    });
    // An entry whose row could not be placed is reported when its slot is read.
    for (std::size_t i = 0; i < slotTable_.repairs.size(); ++i)
        if (slotTable_.repairs[i] == SlotRepair::Placed)
            run_.Report({DamageKind::SlotOutsidePage, pageNumber, static_cast<std::int32_t>(i), table_.name,
                         "slot entry out of order: its row was placed between the rows around it"});
    return slots_;
}

SlotEntry RowWalker::SlotAt(std::int32_t slotIndex) const {
    return slotIndex >= 0 && static_cast<std::size_t>(slotIndex) < slotTable_.slots.size()
               ? slotTable_.slots[static_cast<std::size_t>(slotIndex)]
               : pw::ReadSlot(ByteView(buffer_), slotIndex);
}

void RowWalker::StartRow(std::int32_t slotIndex, const SlotEntry& slot) {
    WalkedRow& row = row_;
    row.page = pageIndex_ < pageList_.size() ? pageList_[pageIndex_] : -1;
    row.pageIndex = pageIndex_;
    row.stalePage = pageIndex_ >= table_.dataPages.size();
    row.slot = slotIndex;
    row.problem = RowProblem::None;
    row.lookupFlag = slot.lookup;
    row.movedToPage = -1;
    ++tally_.slots;
}

void RowWalker::ReadDeletedRow(const SlotEntry& slot) {
    const ByteView page(buffer_);
    WalkedRow& row = row_;
    row.kind = SlotKind::Deleted;
    row.cells.clear();
    // A removed row may still name the page its record moved to.
    row.movedToPage = ReadUInt24(page, static_cast<std::int64_t>(slot.start) + 1);
    ++tally_.rowsDeleted;
    if (!options_.includeDeleted || !options_.decodeValues || slot.lookup) return;
    // Its bytes are decoded where they still have the shape of a row; a
    // deleted row that does not is no damage, only gone.
    WalkLayout layout;
    if (ReadRowLayout(page, table_, hasVariable_, slot, layout) != RowProblem::None ||
        layout.storedColumns == 0)
        return;
    context_.page = row.page;
    context_.slot = row.slot;
    const RunControl quiet{run_.stop, run_.progress, nullptr};
    ValueContext context = context_;
    context.run = &quiet;
    DecodeCells(page, table_, layout, context, options_.displayText, row.cells);
}

RowProblem RowWalker::ReadLayout(const SlotEntry& slot, ByteView& page, WalkLayout& layout) {
    RowProblem problem = ReadRowLayout(page, table_, hasVariable_, slot, layout);
    // A layout that fails, or one stating too few offset slots, may be one
    // flipped bit away from the row Access wrote.
    const bool doubtful = problem != RowProblem::None
                              ? problem != RowProblem::SlotOutsidePage && !slot.lookup
                              : StatesTooFewSlots(hasVariable_, variableSlots_, layout);
    if (!doubtful) return problem;
    WalkLayout mendedLayout;
    const MendedField mended = MendOneFlippedBit(page, table_, hasVariable_, fixedBytes_, variableSlots_,
                                                 slot, mended_, mendedLayout);
    if (mended == MendedField::None) return problem;
    page = ByteView(mended_);
    layout = mendedLayout;
    run_.Report({DamageKind::RowRepaired, row_.page, row_.slot, table_.name, MendedFieldText(mended)});
    return RowProblem::None;
}

void RowWalker::SetAsideRow(const SlotEntry& slot) {
    WalkedRow& row = row_;
    row.cells.clear();
    if (slot.lookup) {
        // A slot flagged as an overflow pointer holds no row of its own.
        row.kind = SlotKind::LookupOverflow;
        ++tally_.lookupRows;
        return;
    }
    row.kind = SlotKind::Unreadable;
    ++tally_.rowsUnreadable;
    run_.Report(
        {row.problem == RowProblem::SlotOutsidePage ? DamageKind::SlotOutsidePage : DamageKind::RowRejected,
         row.page, row.slot, table_.name, RowProblemText(row.problem)});
}

void RowWalker::AcceptRow(ByteView page, const WalkLayout& layout) {
    WalkedRow& row = row_;
    if (layout.storedColumns == 0) {
        row.kind = SlotKind::Unreadable;
        row.problem = RowProblem::NoStoredColumns;
        ++tally_.rowsUnreadable;
        run_.Report({DamageKind::RowRejected, row.page, row.slot, table_.name, RowProblemText(row.problem)});
    } else {
        row.kind = SlotKind::Live;
        ++(row.stalePage ? tally_.rowsStale : tally_.rowsFound);
    }
    if (!options_.decodeValues) {
        row.cells.clear();
        return;
    }
    context_.page = row.page;
    context_.slot = row.slot;
    DecodeCells(page, table_, layout, context_, options_.displayText, row.cells);
    if (row.IsRecord() && AnyValueDamaged(row.cells)) ++tally_.rowsDamagedValues;
}

const WalkedRow& RowWalker::ReadSlot(std::int32_t slotIndex) {
    const SlotEntry slot = SlotAt(slotIndex);
    StartRow(slotIndex, slot);
    if (slot.deleted) {
        ReadDeletedRow(slot);
        return row_;
    }
    ByteView page(buffer_);
    WalkLayout layout;
    row_.problem = ReadLayout(slot, page, layout);
    if (row_.problem != RowProblem::None)
        SetAsideRow(slot);
    else
        AcceptRow(page, layout);
    return row_;
}

bool RowWalker::Next() {
    for (;;) {
        if (run_.StopRequested()) {
            stopped_ = true;
            return false;
        }
        if (!pageLoaded_) {
            if (pageIndex_ >= pageList_.size()) return false;
            LoadPage(pageIndex_);
        }
        if (nextSlot_ < slots_) {
            const std::int32_t slot = nextSlot_++;
            ReadSlot(slot);
            return true;
        }
        ++pageIndex_;
        pageLoaded_ = false;
    }
}

WalkOutcome ForEachRow(const PageSource& pages, const TableInfo& table, const RunControl& run,
                       const std::function<bool(const WalkedRow&)>& visit, WalkOptions options, TableTally* tally) {
    if (table.dataPages.empty() && (!options.includeDeleted || table.stalePages.empty()))
        return WalkOutcome::NoDataPages;
    RowWalker walker(pages, table, run, options);
    WalkOutcome outcome = WalkOutcome::Completed;
    while (walker.Next()) {
        if (!visit(walker.row())) break;
    }
    if (walker.stopped()) outcome = WalkOutcome::Stopped;
    if (tally != nullptr) *tally = walker.tally();
    return outcome;
}

}  // namespace pw
