#pragma once

#include <cstdint>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/SlotRepair.h"
#include "pagestore/SlotTable.h"

namespace pw {

// A Jet 4 row lays itself out from its two ends: the stored column count in
// its first word; the null mask in its last bytes, before it the variable
// count, and before that the offsets of the variable values (last to first,
// after the end-of-data offset). Every reader of rows finds those words
// here; what it accepts of them is its own affair.
struct RowFrame {
    std::int32_t start = 0;  // first byte of the row on its page
    std::int32_t end = -1;   // last byte
    std::int32_t storedColumns = 0;
    std::int32_t maskLength = 0;

    std::int32_t Length() const { return end - start + 1; }
    // The null-mask bit of a column number; false beyond the mask.
    bool MaskBit(ByteView page, std::int32_t columnNumber) const;
    // Page position of the variable count.
    std::int32_t VarCountPosition() const { return end - maskLength - 1; }
    std::int32_t StoredVarCount(ByteView page) const;
    // Row-relative start of variable value k as stored; k equal to the
    // variable count gives the end of the variable data.
    std::int32_t StoredVarOffset(ByteView page, std::int32_t k) const;
};

// The bytes of the null mask of a row that stores this many columns (one
// for a row that states none).
inline std::int32_t MaskLengthFor(std::int32_t storedColumns) {
    return storedColumns <= 0 ? 1 : (storedColumns - 1) / 8 + 1;
}

// The column count of the row from start to end (page positions) and the
// mask length it gives; nothing is checked.
RowFrame ReadRowFrame(ByteView page, std::int32_t start, std::int32_t end);

// What a Jet 4 row says about its own layout, checked the way the schema
// needs it where no definition tells what the rows hold: to infer the
// columns of a table whose definition was lost, and to read the few columns
// of a system table it needs before the row walk exists.
struct RowShape : RowFrame {
    bool hasVariable = false;
    // Row-relative starts of the variable values; one entry more than the
    // variable count, the last being the end of the variable data.
    std::vector<std::int32_t> varOffsets;
    // Row-relative end (exclusive) of the fixed area, which starts at 2.
    std::int32_t fixedEnd = 2;
    // The variable data ends where the offset table begins (or a word or two
    // before it), as rows written by Access do; a fixed-only row rarely looks
    // like this by chance.
    bool tight = false;

    std::int32_t FixedLength() const { return fixedEnd - 2; }
    std::int32_t VarCount() const { return static_cast<std::int32_t>(varOffsets.size()) - 1; }
    std::int32_t VarLength(std::int32_t k) const { return varOffsets[k + 1] - varOffsets[k]; }
};

inline constexpr std::int32_t kMaxRowColumns = 256;

// Whether variable data that ends this many bytes before the row's offset
// table ends where Access ends it: right there, or a word or two before
// (Access leaves those unused now and then).
inline bool DataMeetsOffsetTable(std::int32_t spareBytes) {
    return spareBytes >= 0 && spareBytes <= 4 && spareBytes % 2 == 0;
}

// Reads the row of the slot as a row with (or without) variable columns.
// False when the row cannot have that layout: outside its page, no column
// or more than kMaxRowColumns, more variable values than columns, offsets
// that run backwards or leave the row.
bool ReadRowShape(ByteView page, const SlotEntry& slot, bool hasVariable, RowShape& shape);

// The slot table of a page whose rows are read without a definition: a
// damaged entry's row is placed where the rows read as whole rows with
// variable columns, their data ending right at their offset tables.
SlotTableRead ReadSlotsByShape(ByteView page, std::int32_t rowCount);

}  // namespace pw
