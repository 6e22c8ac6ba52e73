#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/TableDesign.h"
#include "schema/TableInfo.h"

namespace pw {

// The table a recovered table becomes in a new Access database, and where
// each of its columns comes from.
struct AccessTableDesign {
    TableDesign design;
    // Per column of the design, the index of the recovered column it holds.
    std::vector<std::size_t> sourceColumns;
};

// Each recovered column becomes the nearest type the file format holds
// without loss, noted in design.notes where it differs: BIGINT as
// DECIMAL(19,0), Date/Time Extended as its text, a text column that states no
// size as TEXT(255), decimal columns with their own precision and scale (the
// widest where a damaged record states an impossible one), expression
// decimals (which state none) as text. Attachment columns are left out (their
// files live in hidden tables). A column name used twice (a damaged file may
// hold that) gets " (2)", … and a note. Nothing when a column has a type
// that no Access type holds.
std::optional<AccessTableDesign> DesignForAccess(const TableInfo& table);

}  // namespace pw
