#pragma once

#include <cstdint>
#include <vector>

#include "engine/FieldEncoding.h"
#include "engine/LongValueStore.h"
#include "engine/TableDesign.h"

namespace pw {

// Where each column of a table lives in a row: fixed columns at an offset of
// the fixed area (BIT columns take no room there: the null mask holds them),
// the others in the variable area in column order.
struct ColumnPlace {
    bool fixed = false;
    std::int32_t fixedOffset = 0;
    std::int32_t varIndex = 0;
};

struct RowLayout {
    std::vector<ColumnDesign> columns;  // column number = position
    std::vector<ColumnPlace> places;
    std::int32_t fixedSize = 0;
    std::int32_t variableCount = 0;
};

bool IsFixedType(std::int32_t typeCode);
RowLayout LayOutColumns(const std::vector<ColumnDesign>& columns);

// Long values at most this long stay inline in the row when the row has room.
inline constexpr std::size_t kInlineLongValueLimit = 64;

// Assembles a row: column count, fixed area, variable data, the variable
// offsets (last first), their count and the null mask. Memo and OLE data go
// to `longValues` unless they are short and the row has room. Throws
// EngineError when the row cannot fit a page even with every long value
// stored out of line.
StoredBytes BuildRow(const RowLayout& layout, const std::vector<EncodedField>& fields, LongValueStore& longValues);

}  // namespace pw
