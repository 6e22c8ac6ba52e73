#pragma once

#include "pagestore/DbReader.h"
#include "pagestore/PageGrid.h"
#include "status/DamageReport.h"

namespace pw {

// What the scanned file says about itself as a whole: where its pages were
// found, what is missing at either end, whether its header and its catalog
// survived, and its format (from the header, else from the file's name).
FileFacts DescribeFile(const CDbReader& reader, FormatCheck format, const PageGrid& grid);

}  // namespace pw
