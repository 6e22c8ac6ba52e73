#include "salvage/TableDamage.h"

namespace pw {

void TallyTableWalk(DamageReport& report, const TableInfo& table, const WalkTally& tally) {
    report.SetTableFacts(table.name, static_cast<std::int64_t>(table.dataPages.size()), table.rowCount);
    report.AddTableRows(table.name, tally.records, tally.unreadable, tally.pagesUnreadable);
}

bool SurveyTables(const PageSource& pages, const std::vector<TableInfo>& tables, const RunControl& run,
                  DamageReport& report) {
    RunControl reporting = run;
    reporting.damage = &report;
    for (const TableInfo& table : tables) {
        WalkTally tally;
        const WalkOutcome outcome =
            ForEachRow(pages, table, reporting, [](const WalkedRow&) { return true; }, WalkOptions{false}, &tally);
        TallyTableWalk(report, table, tally);
        if (outcome == WalkOutcome::Stopped) return false;
    }
    return true;
}

}  // namespace pw
