#pragma once

#include <cstdint>
#include <optional>

#include "pagestore/ByteView.h"
#include "pagestore/PageMap.h"
#include "schema/TableInfo.h"

namespace pw {

// The column records of a definition start after its index entries and
// number as many as its column count says: one flipped bit in either count
// sets every record (and every name after them) off its place, and the
// whole table reads as nothing. Records set off their place read mostly as
// types Access does not know (a type of its own here and there is no
// damage), or clash in a way no flipped bit of one record explains, and
// names read off their place come out empty. (The records' index field
// tells nothing: Access leaves it out of order, even shared.)
bool ColumnRecordsLookMisplaced(const TableInfo& table);

enum class DefinitionCount { IndexCount, ColumnCount };

struct DefinitionCountMend {
    DefinitionCount count = DefinitionCount::IndexCount;
    std::int32_t stored = 0;
    std::int32_t mended = 0;
};

// For a definition whose records look misplaced: the one flip of a bit of
// its index count or column count after which every record reads in place
// (known types, no clash, every name there), when
// exactly one does; the table is then parsed again with that count.
std::optional<DefinitionCountMend> MendDefinitionCounts(ByteView definition, TableInfo& table, const PageMap& map);

// "index count", "column count".
const char* DefinitionCountName(DefinitionCount count);

}  // namespace pw
