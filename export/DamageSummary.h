#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <ostream>

#include "status/DamageReport.h"

namespace pw {

inline constexpr std::size_t kSummaryJsonEvents = 20;  // in "firstEvents"
inline constexpr std::size_t kSummaryHumanEvents = 10;

// The report for a program:
// {"file": {...} (when known), "events": N, "byKind": {"row-rejected": 3, ...only kinds with a count...},
//  "tables": [{"name", "pagesOwned", "pagesUnreadable", "rowsFound", "rowsStated", "rowsUnreadable",
//              "rowsDamagedValues", "rowsDeleted", "rowsStale", "pagesStale", "events"}, ...],
//  "firstEvents": [{"kind", "page": n|null, "slot": n|null, "table": "..."|null, "reason"}, ... at most
//                  kSummaryJsonEvents],
//  "notes": [{"table", "text"}, ...]}
// Texts are made valid UTF-8 (a broken sequence becomes U+FFFD), so that any
// dump of the summary succeeds whatever the file held.
nlohmann::ordered_json DamageSummaryJson(const DamageReport& report);

// The report for a person, on stderr at the end of a command:
//   "No damage found." when nothing was lost; else "Damage found: N events"
//   (or "Damage found in the file's structure" when only the structure was),
//   the file's losses, one line per kind with a count (they add up to N), one
//   line per table with events or unreadable pages or rows, and up to
//   kSummaryHumanEvents first events ("  page P slot S (<table>): <kind>: <reason>");
//   then "Notes:" with what differs without being lost, and last "Not damage: ..."
//   with the deleted rows and rows of released pages that were withheld.
// Table names and reasons come from a damaged file: control characters are
// shown escaped as \xNN so a stored name cannot fake lines on a terminal.
void WriteDamageSummary(std::ostream& out, const DamageReport& report);

}  // namespace pw
