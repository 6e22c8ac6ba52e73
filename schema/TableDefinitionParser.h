#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageMap.h"
#include "schema/TableInfo.h"

namespace pw {

// Reads a whole table definition (first page followed by its continuation
// pages without their 8-byte headers) into the table: counts, columns with
// cleaned names, and the data pages the page map assigns to it.
// Returns 1 when the table has at least one column, 0 otherwise.
int ParseTableDefinition(ByteView definition, TableInfo& table, const PageMap& map);

// Appends the column of the 25-byte record at position. Returns 1.
int ParseColumnRecord(ByteView definition, TableInfo& table, std::int64_t position);

// The name as stored, in UTF-8, except that control characters (below 0x20,
// and 0x7F) become "_": a name may be shown anywhere, and a name of any
// script is kept whole. The result holds at most 259 bytes, cut between
// characters.
std::string CleanColumnName(const std::string& utf8);

}  // namespace pw
