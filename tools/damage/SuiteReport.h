#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tools/damage/SuiteRun.h"

namespace pw::damage {

// The counts of one kind over every file and seed it ran on.
struct KindTotals {
    std::int64_t files = 0;
    std::int64_t runs = 0;
    std::int64_t rowsExpected = 0;
    std::int64_t rowsRecovered = 0;
    std::int64_t rowsDumped = 0;
    std::int64_t garbageRows = 0;
    std::int64_t alteredRows = 0;  // garbage rows with one value changed
    std::int64_t textExpected = 0;
    std::int64_t textRecovered = 0;
    std::int64_t refused = 0;
    std::int64_t saidLosses = 0;     // dumps that exited 3: recovered, with losses
    std::int64_t hangs = 0;
    std::int64_t crashes = 0;
    std::int64_t otherFindings = 0;  // bad JSON, unexpected exit codes
    std::int64_t unchanged = 0;      // runs where the kind changed no byte
    double seconds = 0;

    std::int64_t rowsLost() const { return rowsExpected - rowsRecovered; }
    double recoveredPercent() const;
    double garbagePercent() const;
    double alteredPercent() const;
    double textPercent() const;
};

// In the order of the kinds' list.
std::vector<std::pair<std::string, KindTotals>> TotalsByKind(const std::vector<RunRecord>& records);
// Every damaging kind together (the intact runs aside).
KindTotals TotalOfDamage(const std::vector<RunRecord>& records);

struct ReportHeader {
    std::string when;        // UTC time of the measurement
    std::string pagewright;  // the binary measured
    std::vector<std::uint64_t> seeds;
    double timeoutSeconds = 0;
};

// The summary table: one line per kind.
void WriteSummary(std::ostream& out, const std::vector<RunRecord>& records);
// Hangs, crashes and other findings, one line each.
void WriteFindings(std::ostream& out, const std::vector<RunRecord>& records);
// Header, summary, findings, then per kind a table of the files that lost
// rows, dumped garbage or did not dump.
void WriteReport(std::ostream& out, const ReportHeader& header, const SuiteResult& result);

}  // namespace pw::damage
