#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/OutputFile.h"
#include "engine/StoredBytes.h"

namespace pw {

using PageRuns = std::vector<std::pair<std::int32_t, std::int32_t>>;

// The map row listing a table's data pages. Pages that lie close together
// are listed inline: a start page and a bitmap. A table spread wider gets a
// row naming bitmap pages (type 5) that cover the file in fixed ranges; those
// pages are allocated from `file` and written at once.
StoredBytes UsedPagesMapRow(const PageRuns& runs, OutputFile& file);

// The map of pages with free space: always empty, the writer fills pages as
// it goes.
StoredBytes EmptyMapRow();

}  // namespace pw
