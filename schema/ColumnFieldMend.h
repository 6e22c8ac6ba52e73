#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "schema/TableInfo.h"

namespace pw {

// Every definition Access writes keeps its column records apart: column
// numbers below the definition's column limit and each used once, offset
// slots below its variable-column count and each used once, fixed columns
// that never share a byte. A record that breaks this was damaged, and one
// flipped bit is the damage seen most; undone, every row of the table reads
// right again, where the record as it stands would spoil a column of every
// row (or two, where it now overlaps another).
enum class ColumnField { ColumnNumber, VariableIndex, FixedOffset };

struct ColumnFieldMend {
    std::size_t column = 0;  // index into table.columns
    ColumnField field = ColumnField::ColumnNumber;
    std::int32_t stored = 0;  // the value the record holds
    std::int32_t mended = 0;  // the value read in its place
};

struct ColumnFieldCheck {
    std::vector<ColumnFieldMend> mended;
    // Fields still broken after the mending: no single flipped bit, or more
    // than one, would explain them.
    std::vector<ColumnField> broken;
};

// Checks the table's column records and undoes, field by field, the one
// single-bit flip that makes the field whole again where exactly one does
// (for fixed offsets: the one that leaves the fixed area tightest).
ColumnFieldCheck MendFlippedColumnFields(TableInfo& table);

// "column number", "offset slot", "fixed offset".
const char* ColumnFieldName(ColumnField field);

}  // namespace pw
