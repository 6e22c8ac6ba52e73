#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/TableDesign.h"
#include "export/RejectLog.h"
#include "export/Recordset.h"
#include "pagestore/PageSource.h"
#include "records/RowWalk.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

struct RecordsetResult {
    WalkOutcome outcome = WalkOutcome::Completed;
    std::int64_t storedRows = 0;      // records the output accepted
    std::int64_t rejectedValues = 0;  // values (or whole records) it refused, each in the reject log
    TableTally walk;                  // what the walk over the rows met
};

// What the output table is made of: its columns, and for each the index of
// the recovered column it holds (see DesignForAccess).
struct OutputColumns {
    const std::vector<ColumnDesign>* columns = nullptr;
    const std::vector<std::size_t>* sources = nullptr;
};

// The value a recovered cell gives a column of the output: the typed value
// itself; a value that could not be read is NULL (its damage was reported
// when it was read); an OLE field the object's content cut out of its
// wrapper; a text column fed another kind (an extended date, an expression
// decimal, a lost definition's bytes) the value's text as a CSV field holds it.
TypedValue OutputValue(const ColumnDesign& column, std::int32_t sourceType, const CellValue& cell);

// Copies a table's rows into the output, one record per live row; a row that
// cannot be read is stored as an empty record so the row count still shows
// it, and deleted slots store nothing. A value the output refuses goes to
// `rejects` with the record's number, its place and the output's reason; a
// record it refuses whole is logged ("Update record failed for Row=") and
// rejected too. The walk goes on after each.
RecordsetResult ExportRowsToRecordset(const PageSource& pages, const TableInfo& table, const OutputColumns& output,
                                      const RunControl& run, RecordSink& sink, RejectLog& rejects);

}  // namespace pw
