#include "salvage/TableDamage.h"

#include <string>

namespace pw {

namespace {

// Live rows on the pages the usage map no longer lists: counted, not decoded.
std::int64_t CountStaleRows(const PageSource& pages, const TableInfo& table) {
    if (table.stalePages.empty()) return 0;
    TableInfo stale = table;
    stale.dataPages = table.stalePages;
    stale.stalePages.clear();
    TableTally tally;
    ForEachRow(pages, stale, RunControl{}, [](const WalkedRow&) { return true; }, WalkOptions{false}, &tally);
    return tally.rowsFound;
}

// Whether every page that could hold the table's rows was read whole and
// nothing else is damaged: then a definition that states more rows than its
// pages hold is stale (files never compacted, or not closed properly, often
// are), not a sign of pages lost. Checked before this walk's counts join the report.
bool EveryPageReadCleanly(const DamageReport& report, const TableInfo& table, const TableTally& tally) {
    return table.usageMap == UsageMapState::Listed && table.lostPages.empty() && !table.columnsInferred &&
           tally.pagesUnreadable == 0 && tally.rowsUnreadable == 0 &&
           tally.pagesRead == static_cast<std::int64_t>(table.dataPages.size()) &&
           report.TableEvents(table.name) == 0 && !report.fileFacts().AnyLoss() &&
           report.Count(DamageKind::PageUnreadable) == 0 && report.Count(DamageKind::DefinitionRejected) == 0;
}

}  // namespace

void TallyTableWalk(const PageSource& pages, DamageReport& report, const TableInfo& table, const TableTally& tally,
                    bool withheldShown) {
    const bool clean = EveryPageReadCleanly(report, table, tally);
    report.SetTableFacts(table.name, static_cast<std::int64_t>(table.dataPages.size()), table.rowCount);
    report.AddTableRows(table.name, tally.rowsFound, tally.rowsUnreadable, tally.pagesUnreadable, tally.rowsDamagedValues);
    // An intact table holds at least the rows its definition counts (Access
    // may count fewer, never more); rows short of that were on pages that
    // are gone, even where no map or link says which.
    // Rows that were there but could not be read are reported already.
    const std::int64_t seen = tally.rowsFound + tally.rowsUnreadable;
    if (clean && seen < table.rowCount) {
        report.AddNote(table.name, "the definition states " + std::to_string(table.rowCount) + " rows; " +
                                       std::to_string(seen) + " found on its pages, every one of which read whole");
    } else if (!table.columnsInferred && seen < table.rowCount) {
        const std::int64_t missing = table.rowCount - seen;
        report.Report({DamageKind::RowsMissing, table.tdefPage, -1, table.name,
                       "the definition states " + std::to_string(table.rowCount) + " rows, " +
                           std::to_string(seen) + " were found: " + std::to_string(missing) +
                           " lost with their pages"});
    }
    if (!withheldShown)
        report.AddWithheldRows(table.name, tally.rowsDeleted, CountStaleRows(pages, table),
                               static_cast<std::int64_t>(table.stalePages.size()));
}

bool SurveyTables(const PageSource& pages, const std::vector<TableInfo>& tables, const RunControl& run,
                  DamageReport& report) {
    RunControl reporting = run;
    reporting.damage = &report;
    for (const TableInfo& table : tables) {
        TableTally tally;
        const WalkOutcome outcome =
            ForEachRow(pages, table, reporting, [](const WalkedRow&) { return true; }, WalkOptions{false}, &tally);
        TallyTableWalk(pages, report, table, tally, false);
        if (outcome == WalkOutcome::Stopped) return false;
    }
    return true;
}

}  // namespace pw
