#pragma once

#include <mutex>
#include <set>
#include <string>

#include "status/DamageReport.h"

namespace pw::app {

// The recovery's survey reads rows without their values, so broken memo
// chains, dates outside the calendar and values cut short are met first by
// an export, which decodes them. This adds those events to the recovery's
// report, once a table: a second export of a table meets the same events
// again and must not count them twice. Events of another kind were met by
// the survey already. Thread-safe; one per recovery, shared by its exports.
class ValueDamage final : public DamageReporter {
public:
    explicit ValueDamage(DamageReport& report) : report_(report) {}

    // The export walks this table next (by its name, as events name it).
    // False when an earlier walk added its events.
    bool BeginTable(const std::string& table);
    // The rows of the table the export found with a value read in part, for
    // the table's tally; only for the walk BeginTable returned true for.
    void AddDamagedRows(const std::string& table, std::int64_t rows);
    void Report(const DamageEvent& event) override;

    DamageReport& report() { return report_; }

private:
    static bool MetOnlyByDecoding(DamageKind kind);

    DamageReport& report_;
    std::mutex mutex_;
    std::set<std::string> walked_;
    std::string current_;
    bool adding_ = false;
};

}  // namespace pw::app
