#pragma once

#include <vector>

#include "pagestore/PageSource.h"
#include "records/RowWalk.h"
#include "schema/TableInfo.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw {

// Puts what a walk over a table found into the report's tally of that table.
// Unless the walk showed them (withheldShown), the deleted rows and the rows
// of stale pages are counted as withheld. Fewer rows than the definition
// states are rows lost with their pages, unless every page the usage map
// lists was read whole and nothing in the file is damaged: then the count is
// stale and the difference is a note.
void TallyTableWalk(const PageSource& pages, DamageReport& report, const TableInfo& table, const TableTally& tally,
                    bool withheldShown);

// Walks every row slot of the tables without decoding values, for a damage
// report that costs little more than reading the data pages. Damage goes to
// `report`; false when a stop came first.
bool SurveyTables(const PageSource& pages, const std::vector<TableInfo>& tables, const RunControl& run,
                  DamageReport& report);

}  // namespace pw
