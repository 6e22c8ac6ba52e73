#include "export/DamageSummary.h"

#include <string>
#include <utility>

#include "status/DisplayText.h"

namespace pw {
namespace {

nlohmann::ordered_json FactsJson(const FileFacts& f) {
    nlohmann::ordered_json file;
    file["standardStart"] = f.standardStart;
    file["gridOffset"] = f.gridOffset;
    file["pageOneOffset"] = f.pageOneOffset < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(f.pageOneOffset);
    file["pagesMissingAtHead"] = f.pagesMissingAtHead;
    file["pagesLostAtTail"] = f.pagesLostAtTail;
    file["numbering"] = PageNumberingName(f.numbering);
    file["headerReadable"] = f.headerReadable;
    file["catalogReadable"] = f.catalogReadable;
    file["format"] = DatabaseFormatName(f.format);
    file["formatInferred"] = f.formatInferred;
    return file;
}

void WriteFacts(std::ostream& out, const FileFacts& f) {
    if (!f.known) return;
    if (!f.standardStart)
        out << "  pages found on a grid at byte " << f.gridOffset << " (numbered by "
            << PageNumberingName(f.numbering) << ")\n";
    if (f.pagesMissingAtHead > 0) out << "  pages missing at the head: " << f.pagesMissingAtHead << '\n';
    if (f.pagesLostAtTail > 0) out << "  pages lost at the tail: at least " << f.pagesLostAtTail << '\n';
    if (!f.headerReadable)
        out << "  database header lost: format " << (f.formatInferred ? "inferred as " : "")
            << DatabaseFormatName(f.format) << ", code page and sort order defaulted\n";
    if (!f.catalogReadable) out << "  catalog lost: table names recovered where possible\n";
}

void WriteEvent(std::ostream& out, const DamageEvent& event) {
    std::string where;
    if (event.page != -1) where += "page " + std::to_string(event.page);
    if (event.slot != -1) {
        if (!where.empty()) where += ' ';
        where += "slot " + std::to_string(event.slot);
    }
    if (!event.table.empty()) {
        if (!where.empty()) where += ' ';
        where += '(' + ForTerminal(event.table) + ')';
    }
    out << "  ";
    if (!where.empty()) out << where << ": ";
    out << DamageKindName(event.kind);
    if (!event.reason.empty()) out << ": " << ForTerminal(event.reason);
    out << '\n';
}

void WriteTableLosses(std::ostream& out, const DamageSnapshot& snap) {
    for (const TableDamage& entry : snap.tables) {
        const TableTally& t = entry.tally;
        if (entry.events == 0 && t.pagesUnreadable == 0 && t.rowsUnreadable == 0) continue;
        out << "  " << ForTerminal(entry.name) << ": rows found " << t.rowsFound << " of " << t.rowsStated
            << " stated, " << t.rowsUnreadable << " unreadable";
        if (t.rowsDamagedValues > 0) out << ", " << t.rowsDamagedValues << " with damaged values";
        out << ", pages " << t.pagesUnreadable << " of " << t.pagesOwned << " unreadable\n";
    }
}

void WriteNotes(std::ostream& out, const DamageSnapshot& snap) {
    if (snap.notes.empty()) return;
    out << "Notes:\n";
    for (const DamageNote& note : snap.notes) {
        out << "  ";
        if (!note.table.empty()) out << ForTerminal(note.table) << ": ";
        out << ForTerminal(note.text) << '\n';
    }
}

// The file's own history, kept apart from the damage so that nobody takes
// the deleted rows every Access file holds for a loss.
void WriteWithheld(std::ostream& out, const DamageSnapshot& snap) {
    std::int64_t deleted = 0, stale = 0, stalePages = 0;
    for (const TableDamage& entry : snap.tables) {
        deleted += entry.tally.rowsDeleted;
        stale += entry.tally.rowsStale;
        stalePages += entry.tally.pagesStale;
    }
    if (deleted == 0 && stale == 0) return;
    out << "Not damage: " << deleted << " deleted rows and " << stale << " rows of " << stalePages
        << " pages no longer in use withheld (--include-deleted shows them)\n";
    for (const TableDamage& entry : snap.tables) {
        const TableTally& t = entry.tally;
        if (t.rowsDeleted == 0 && t.rowsStale == 0) continue;
        out << "  " << ForTerminal(entry.name) << ": " << t.rowsDeleted << " deleted rows, " << t.rowsStale
            << " rows of " << t.pagesStale << " pages no longer in use\n";
    }
}

}  // namespace

nlohmann::ordered_json DamageSummaryJson(const DamageReport& report) {
    const DamageSnapshot snap = report.Snapshot(kSummaryJsonEvents);

    nlohmann::ordered_json byKind = nlohmann::ordered_json::object();
    for (int k = 0; k < kDamageKindCount; ++k) {
        const std::int64_t count = snap.byKind[static_cast<std::size_t>(k)];
        if (count != 0) byKind[DamageKindName(static_cast<DamageKind>(k))] = count;
    }

    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const TableDamage& entry : snap.tables) {
        nlohmann::ordered_json table;
        table["name"] = ValidUtf8(entry.name);
        table["pagesOwned"] = entry.tally.pagesOwned;
        table["pagesUnreadable"] = entry.tally.pagesUnreadable;
        table["rowsFound"] = entry.tally.rowsFound;
        table["rowsStated"] = entry.tally.rowsStated;
        table["rowsUnreadable"] = entry.tally.rowsUnreadable;
        table["rowsDamagedValues"] = entry.tally.rowsDamagedValues;
        table["rowsDeleted"] = entry.tally.rowsDeleted;
        table["rowsStale"] = entry.tally.rowsStale;
        table["pagesStale"] = entry.tally.pagesStale;
        table["events"] = entry.events;
        tables.push_back(std::move(table));
    }

    nlohmann::ordered_json firstEvents = nlohmann::ordered_json::array();
    for (const DamageEvent& event : snap.firstEvents) {
        nlohmann::ordered_json item;
        item["kind"] = DamageKindName(event.kind);
        item["page"] = event.page == -1 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(event.page);
        item["slot"] = event.slot == -1 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(event.slot);
        item["table"] =
            event.table.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ValidUtf8(event.table));
        item["reason"] = ValidUtf8(event.reason);
        firstEvents.push_back(std::move(item));
    }

    nlohmann::ordered_json notes = nlohmann::ordered_json::array();
    for (const DamageNote& note : snap.notes) {
        nlohmann::ordered_json item;
        item["table"] = note.table.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ValidUtf8(note.table));
        item["text"] = ValidUtf8(note.text);
        notes.push_back(std::move(item));
    }

    nlohmann::ordered_json summary;
    if (snap.facts.known) summary["file"] = FactsJson(snap.facts);
    summary["events"] = snap.total;
    summary["byKind"] = std::move(byKind);
    summary["tables"] = std::move(tables);
    summary["firstEvents"] = std::move(firstEvents);
    summary["notes"] = std::move(notes);
    return summary;
}

void WriteDamageSummary(std::ostream& out, const DamageReport& report) {
    const DamageSnapshot snap = report.Snapshot(kSummaryHumanEvents);
    if (snap.total == 0 && !snap.facts.AnyLoss()) {
        out << "No damage found.\n";
    } else {
        if (snap.total > 0) out << "Damage found: " << snap.total << " events\n";
        else out << "Damage found in the file's structure\n";
        WriteFacts(out, snap.facts);
        for (int k = 0; k < kDamageKindCount; ++k) {
            const std::int64_t count = snap.byKind[static_cast<std::size_t>(k)];
            if (count != 0) out << "  " << DamageKindName(static_cast<DamageKind>(k)) << ": " << count << '\n';
        }
        WriteTableLosses(out, snap);
        for (const DamageEvent& event : snap.firstEvents) WriteEvent(out, event);
    }
    WriteNotes(out, snap);
    WriteWithheld(out, snap);
}

}  // namespace pw
