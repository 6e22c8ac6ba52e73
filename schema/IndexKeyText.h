#pragma once

#include <optional>
#include <string>

#include "pagestore/ByteView.h"

namespace pw {

// Reads a name back from the key an index stores for a text column under
// Access's General sort order: the sort weights of its characters, a 0x01,
// the accent marks by position, a 0x00. Two weight tables are in use: the
// one of Access 2000-2007 (one byte a letter) and the one of later versions
// (two bytes a character). Keys carry no case, so the name comes back in
// lower case.
//
// `key` holds the bytes after the column's 0x7F flag up to the row pointer.
// Returns nothing when a weight or mark is not one we can map back, or the
// key does not end as keys end: a name half read back is no name.
std::optional<std::string> ReadIndexKeyText(ByteView key);

}  // namespace pw
