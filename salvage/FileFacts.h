#pragma once

#include "pagestore/DbReader.h"
#include "pagestore/PageGrid.h"
#include "schema/TableInfo.h"
#include "status/DamageReport.h"

namespace pw {

// What the scanned file says about itself as a whole: where its pages were
// found, what is missing at either end, whether its header and its catalog
// survived, and its format (from the header, else from the file's name).
FileFacts DescribeFile(const CDbReader& reader, FormatCheck format, const PageGrid& grid);

// A usage map that lists pages past the end of the file tells of a tail cut
// off as surely as data pages naming an owner there: the tail is at least as
// long as the furthest such page says.
void CountTablePagesLostAtTail(FileFacts& facts, std::int64_t pageCount, const std::vector<TableInfo>& tables);

}  // namespace pw
