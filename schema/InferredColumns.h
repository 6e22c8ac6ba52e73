#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// What the rows of a table without a definition say about its columns.
struct InferredTable {
    std::vector<ColumnInfo> columns;  // in column-number order, named "Recovered Column N"
    std::int32_t maxColumns = 0;      // the most columns a row states
    std::int32_t varColumnCount = 0;  // the most variable values a row holds
    bool hasVariable = false;         // rows end in a variable-offset table
    std::int64_t rowsUsed = 0;        // live rows the columns were inferred from
    std::int64_t rowsSkipped = 0;     // live rows whose layout fits no reading
};

// Infers the columns of the table whose rows lie on these data pages:
//   - whether rows carry variable columns: the reading under which most rows
//     are well formed;
//   - one column per variable value: a number where every value has the
//     length of one and reads as one (some tables keep numbers there), else
//     InferredVariable (each value is told apart when it is decoded);
//   - the fixed area split into the readings every row agrees on (dates,
//     Currency, Doubles, Longs, Integers) that account for the most of its
//     bytes, the smaller values winning between two alignments; the rest kept
//     as binary runs; bytes only some rows have become one binary column of
//     their own;
//   - column numbers, which place each column's null-mask bit, chosen so
//     that a value that is there has its bit set in as many rows as can be;
//     a variable slot no row fills takes none of its own, and a number no
//     column with bytes took becomes a Yes/No column read from its bit.
// Rows that fit no reading are skipped and reported (RowRejected, under
// `tableName`). No live row gives no column.
InferredTable InferColumns(const PageSource& pages, const std::vector<std::int32_t>& dataPages,
                           const std::string& tableName, const RunControl& run);

}  // namespace pw
