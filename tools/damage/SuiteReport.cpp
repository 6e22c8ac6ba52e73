#include "tools/damage/SuiteReport.h"

#include <cstdio>
#include <set>

#include "tools/damage/DamageKinds.h"

namespace pw::damage {
namespace {

double Percent(std::int64_t part, std::int64_t whole) {
    return whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

std::string Fixed(double value, int digits = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

void Add(KindTotals& t, const RunRecord& r) {
    ++t.runs;
    t.rowsExpected += r.score.rowsExpected;
    t.rowsRecovered += r.score.rowsRecovered;
    t.rowsDumped += r.score.rowsDumped;
    t.garbageRows += r.score.garbageRows;
    t.alteredRows += r.score.alteredRows;
    t.textExpected += r.score.textExpected;
    t.textRecovered += r.score.textRecovered;
    t.refused += r.outcome == RunOutcome::Refused;
    t.saidLosses += r.outcome == RunOutcome::DumpedWithLosses;
    t.hangs += r.outcome == RunOutcome::Hang;
    t.crashes += r.outcome == RunOutcome::Crash;
    t.otherFindings += r.outcome == RunOutcome::BadJson || r.outcome == RunOutcome::OtherExit;
    t.unchanged += r.unchanged;
    t.seconds += r.seconds;
}

}  // namespace

double KindTotals::recoveredPercent() const { return Percent(rowsRecovered, rowsExpected); }
double KindTotals::garbagePercent() const { return rowsDumped == 0 ? 0.0 : Percent(garbageRows, rowsDumped); }
double KindTotals::alteredPercent() const { return rowsDumped == 0 ? 0.0 : Percent(alteredRows, rowsDumped); }
double KindTotals::textPercent() const { return Percent(textRecovered, textExpected); }

std::vector<std::pair<std::string, KindTotals>> TotalsByKind(const std::vector<RunRecord>& records) {
    std::vector<std::pair<std::string, KindTotals>> totals;
    for (const DamageKind& kind : AllDamageKinds()) {
        KindTotals t;
        std::set<std::string> files;
        for (const RunRecord& r : records) {
            if (r.kind != kind.name) continue;
            files.insert(r.file);
            Add(t, r);
        }
        if (t.runs == 0) continue;
        t.files = static_cast<std::int64_t>(files.size());
        totals.emplace_back(kind.name, t);
    }
    return totals;
}

KindTotals TotalOfDamage(const std::vector<RunRecord>& records) {
    KindTotals t;
    std::set<std::string> files;
    for (const RunRecord& r : records) {
        if (r.kind == "intact") continue;
        files.insert(r.file);
        Add(t, r);
    }
    t.files = static_cast<std::int64_t>(files.size());
    return t;
}

namespace {

void WriteSummaryLine(std::ostream& out, const std::string& name, const KindTotals& t) {
    out << "| " << name << " | " << t.files << " | " << t.runs << " | " << t.rowsExpected << " | "
        << Fixed(t.recoveredPercent(), 2) << " | " << t.rowsLost() << " | " << Fixed(t.garbagePercent(), 2) << " | "
        << Fixed(t.alteredPercent(), 2) << " | " << t.saidLosses << " | " << t.refused << " | " << t.hangs << " | "
        << t.crashes + t.otherFindings << " | "
        << (t.textExpected > 0 ? Fixed(t.textPercent(), 1) : std::string("–")) << " | " << t.unchanged << " | "
        << Fixed(t.seconds, 0) << " |\n";
}

}  // namespace

void WriteSummary(std::ostream& out, const std::vector<RunRecord>& records) {
    out << "| kind | files | runs | rows expected | recovered % | lost | garbage % | one value changed % | exit 3 | "
           "refused | hangs | crashes | text recovered % | unchanged | seconds |\n"
        << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const auto& [name, t] : TotalsByKind(records)) WriteSummaryLine(out, name, t);
    WriteSummaryLine(out, "**every damage kind**", TotalOfDamage(records));
}

void WriteFindings(std::ostream& out, const std::vector<RunRecord>& records) {
    bool any = false;
    for (const RunRecord& r : records) {
        if (!IsFinding(r.outcome)) continue;
        if (!any) out << "Findings (copies kept under findings/):\n\n";
        any = true;
        out << "- " << RunOutcomeName(r.outcome) << ": " << r.kind << " seed " << r.seed << " " << r.file;
        if (r.outcome == RunOutcome::Hang) out << " (killed after " << Fixed(r.seconds, 0) << " s)";
        if (r.outcome == RunOutcome::Crash && r.signal != 0) out << " (signal " << r.signal << ")";
        if (r.outcome == RunOutcome::OtherExit || r.outcome == RunOutcome::Crash) out << " exit " << r.exitCode;
        out << "\n";
    }
    if (!any) out << "No hang, crash or unreadable dump.\n";
}

void WriteReport(std::ostream& out, const ReportHeader& header, const SuiteResult& result) {
    out << "# Damage suite\n\n"
        << "- measured: " << header.when << "\n"
        << "- pagewright: " << header.pagewright << "\n"
        << "- seeds:";
    for (std::uint64_t s : header.seeds) out << " " << s;
    out << " (kinds without randomness run once)\n"
        << "- time limit per dump: " << Fixed(header.timeoutSeconds, 0) << " s\n"
        << "- files: " << result.filesRun.size() << " run, " << result.filesSkipped.size()
        << " skipped (JET3, unreadable by the reference)\n\n"
        << "Rows count as recovered when they equal an expected row of the same table (a multiset per "
           "table; a table whose name was lost is matched by content; the rows of a table whose columns were "
           "inferred from its rows match by value, whatever column holds each: a row holding every value of an "
           "expected row counts, numbers compared by value, since rows keep the values of columns dropped since). "
           "Garbage: dumped rows that match no "
           "expected row, rows of tables the intact dump holds beyond the expected ones aside; \"one value "
           "changed\": the part of them (again a share of the rows dumped) that differ from an unmatched expected "
           "row of their table in a single value, real rows with a damaged value such as a flipped bit. A hang, a "
           "crash or a refusal loses all rows of its file. \"exit 3\": dumps that said they lost something; "
           "\"unchanged\": runs where the kind found nothing to damage (no such page).\n\n";
    WriteSummary(out, result.records);
    out << "\n";
    WriteFindings(out, result.records);

    for (const DamageKind& kind : AllDamageKinds()) {
        bool any = false;
        for (const RunRecord& r : result.records) {
            if (r.kind != kind.name) continue;
            if (r.score.rowsLost() == 0 && r.score.garbageRows == 0 &&
                (r.outcome == RunOutcome::Dumped || r.outcome == RunOutcome::DumpedWithLosses) &&
                r.score.textRecovered == r.score.textExpected)
                continue;
            if (!any) {
                out << "\n## " << kind.name << ": " << kind.description << "\n\n"
                    << "Files that lost rows, dumped garbage or did not dump (the others came back whole).\n\n"
                    << "| file | seed | outcome | rows expected | recovered | lost | dumped | garbage |"
                    << (kind.name == "zero-one-definition" ? " table | text values | text recovered |" : "")
                    << "\n|---|---:|---|---:|---:|---:|---:|---:|"
                    << (kind.name == "zero-one-definition" ? "---|---:|---:|" : "") << "\n";
            }
            any = true;
            out << "| " << r.file << " | " << r.seed << " | " << RunOutcomeName(r.outcome) << " | "
                << r.score.rowsExpected << " | " << r.score.rowsRecovered << " | " << r.score.rowsLost() << " | "
                << r.score.rowsDumped << " | " << r.score.garbageRows << " |";
            if (kind.name == "zero-one-definition")
                out << " " << r.textTable << " | " << r.score.textExpected << " | " << r.score.textRecovered << " |";
            out << "\n";
        }
    }
    out << "\nSkipped files:\n\n";
    for (const std::string& s : result.filesSkipped) out << "- " << s << "\n";
}

}  // namespace pw::damage
