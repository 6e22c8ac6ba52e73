#pragma once

#include <cstdint>

#include "pagestore/PageSource.h"
#include "records/Recordset.h"
#include "records/RowWalk.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

enum class RecordsetOutcome {
    Completed,    // every slot of every data page was offered
    Stopped,      // a stop was requested; the records stored so far stay
    NoDataPages,  // the table owns no data page
};

struct RecordsetResult {
    RecordsetOutcome outcome = RecordsetOutcome::Completed;
    std::int64_t storedRows = 0;  // records the recordset accepted
    WalkTally walk;               // what the walk over the rows met
};

// Copies a table's rows into an output recordset. A pending record is opened
// per slot and reused while slots give it nothing (deleted slots, rows whose
// fields the output all refused); a row that cannot be read is stored as an
// empty record so the row count still shows it. An OLE field receives the
// object's content, cut out of its wrapper. Failures of AddNew and Update
// are written to the execution log and the walk goes on.
RecordsetResult ExportRowsToRecordset(const PageSource& pages, const TableInfo& table, const RunControl& run,
                                      Recordset& recordset);

}  // namespace pw
