#include "status/DamageReport.h"

#include <string_view>
#include <utility>

#include "status/DisplayText.h"

namespace pw {

namespace {

bool KnownKind(DamageKind kind) {
    const int index = static_cast<int>(kind);
    return index >= 0 && index < kDamageKindCount;
}

}  // namespace

const char* DamageKindName(DamageKind kind) {
    switch (kind) {
        case DamageKind::PageUnreadable: return "page-unreadable";
        case DamageKind::DefinitionRejected: return "definition-rejected";
        case DamageKind::CatalogRowUnreadable: return "catalog-row-unreadable";
        case DamageKind::SlotOutsidePage: return "slot-outside-page";
        case DamageKind::RowRejected: return "row-rejected";
        case DamageKind::LongValueBroken: return "long-value-broken";
        case DamageKind::LongValueLoop: return "long-value-loop";
        case DamageKind::ValueOutOfRange: return "value-out-of-range";
        case DamageKind::RowsMissing: return "rows-missing";
        case DamageKind::RowRepaired: return "row-repaired";
        case DamageKind::DefinitionRepaired: return "definition-repaired";
        case DamageKind::PageRepaired: return "page-repaired";
        case DamageKind::ValueUnreadable: return "value-unreadable";
    }
    return "unknown";
}

NullDamageReporter& DiscardDamage() {
    static NullDamageReporter instance;
    return instance;
}

void DamageReport::Report(const DamageEvent& event) {
    std::lock_guard lock(mutex_);
    ++total_;
    if (KnownKind(event.kind)) ++byKind_[static_cast<std::size_t>(event.kind)];
    // Reporters are called from deep inside walks that must carry on; running out of
    // memory while noting one event should cost that event's detail, not the salvage.
    try {
        if (TableEntry* entry = EntryFor(event.table)) ++entry->events;
        if (kept_.size() < kKeptEvents) kept_.push_back(event);
    } catch (...) {
    }
}

void DamageReport::SetTableFacts(const std::string& table, std::int64_t pagesOwned,
                                 std::int64_t rowsStated) {
    std::lock_guard lock(mutex_);
    if (TableEntry* entry = EntryFor(table)) {
        entry->tally.pagesOwned = pagesOwned;
        entry->tally.rowsStated = rowsStated;
    }
}

void DamageReport::AddTableRows(const std::string& table, std::int64_t rowsFound,
                                std::int64_t rowsUnreadable, std::int64_t pagesUnreadable,
                                std::int64_t rowsDamagedValues) {
    std::lock_guard lock(mutex_);
    if (TableEntry* entry = EntryFor(table)) {
        entry->tally.rowsFound += rowsFound;
        entry->tally.rowsDamagedValues += rowsDamagedValues;
        entry->tally.rowsUnreadable += rowsUnreadable;
        entry->tally.pagesUnreadable += pagesUnreadable;
    }
}

void DamageReport::AddWithheldRows(const std::string& table, std::int64_t rowsDeleted, std::int64_t rowsStale,
                                   std::int64_t pagesStale) {
    std::lock_guard lock(mutex_);
    if (TableEntry* entry = EntryFor(table)) {
        entry->tally.rowsDeleted += rowsDeleted;
        entry->tally.rowsStale += rowsStale;
        entry->tally.pagesStale += pagesStale;
    }
}

void DamageReport::SetFileFacts(const FileFacts& facts) {
    std::lock_guard lock(mutex_);
    facts_ = facts;
}

FileFacts DamageReport::fileFacts() const {
    std::lock_guard lock(mutex_);
    return facts_;
}

bool DamageReport::LostAnything() const {
    std::lock_guard lock(mutex_);
    return total_ > 0 || facts_.AnyLoss();
}

std::int64_t DamageReport::TotalEvents() const {
    std::lock_guard lock(mutex_);
    return total_;
}

std::int64_t DamageReport::Count(DamageKind kind) const {
    if (!KnownKind(kind)) return 0;
    std::lock_guard lock(mutex_);
    return byKind_[static_cast<std::size_t>(kind)];
}

std::int64_t DamageReport::TableEvents(const std::string& table) const {
    std::lock_guard lock(mutex_);
    const TableEntry* entry = FindEntry(table);
    return entry ? entry->events : 0;
}

std::vector<DamageEvent> DamageReport::KeptEvents() const {
    std::lock_guard lock(mutex_);
    return kept_;
}

TableTally DamageReport::Tally(const std::string& table) const {
    std::lock_guard lock(mutex_);
    const TableEntry* entry = FindEntry(table);
    return entry ? entry->tally : TableTally{};
}

std::vector<std::string> DamageReport::TableNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(tables_.size());
    for (const TableEntry& entry : tables_) names.push_back(entry.name);
    return names;
}

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

void WriteFactsHuman(std::ostream& out, const FileFacts& f) {
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

}  // namespace

nlohmann::ordered_json DamageReport::SummaryJson() const {
    const Snapshot snap = Take(kSummaryEvents);

    nlohmann::ordered_json byKind = nlohmann::ordered_json::object();
    for (int k = 0; k < kDamageKindCount; ++k) {
        const std::int64_t count = snap.byKind[static_cast<std::size_t>(k)];
        if (count != 0) byKind[DamageKindName(static_cast<DamageKind>(k))] = count;
    }

    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const TableEntry& entry : snap.tables) {
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
        item["page"] = event.page == -1 ? nlohmann::ordered_json(nullptr)
                                        : nlohmann::ordered_json(event.page);
        item["slot"] = event.slot == -1 ? nlohmann::ordered_json(nullptr)
                                        : nlohmann::ordered_json(event.slot);
        item["table"] = event.table.empty() ? nlohmann::ordered_json(nullptr)
                                            : nlohmann::ordered_json(ValidUtf8(event.table));
        item["reason"] = ValidUtf8(event.reason);
        firstEvents.push_back(std::move(item));
    }

    nlohmann::ordered_json summary;
    if (snap.facts.known) summary["file"] = FactsJson(snap.facts);
    summary["events"] = snap.total;
    summary["byKind"] = std::move(byKind);
    summary["tables"] = std::move(tables);
    summary["firstEvents"] = std::move(firstEvents);
    return summary;
}

void DamageReport::WriteHuman(std::ostream& out) const {
    const Snapshot snap = Take(kHumanEvents);
    const auto writeWithheld = [&out, &snap] {
        for (const TableEntry& entry : snap.tables) {
            const TableTally& t = entry.tally;
            if (t.rowsDeleted == 0 && t.rowsStale == 0) continue;
            out << "  " << ForTerminal(entry.name) << ": withheld " << t.rowsDeleted << " deleted rows and "
                << t.rowsStale << " rows of " << t.pagesStale << " pages no longer in use (--include-deleted shows them)\n";
        }
    };
    if (snap.total == 0 && !snap.facts.AnyLoss()) {
        out << "No damage found.\n";
        writeWithheld();
        return;
    }
    out << "Damage found: " << snap.total << " events\n";
    WriteFactsHuman(out, snap.facts);
    for (int k = 0; k < kDamageKindCount; ++k) {
        const std::int64_t count = snap.byKind[static_cast<std::size_t>(k)];
        if (count != 0) out << "  " << DamageKindName(static_cast<DamageKind>(k)) << ": " << count << '\n';
    }
    for (const TableEntry& entry : snap.tables) {
        const TableTally& t = entry.tally;
        if (entry.events == 0 && t.pagesUnreadable == 0 && t.rowsUnreadable == 0) continue;
        out << "  " << ForTerminal(entry.name) << ": rows found " << t.rowsFound << " of "
            << t.rowsStated << " stated, " << t.rowsUnreadable << " unreadable, pages "
            << t.pagesUnreadable << " of " << t.pagesOwned << " unreadable\n";
    }
    for (const DamageEvent& event : snap.firstEvents) {
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
    writeWithheld();
}

DamageReport::TableEntry* DamageReport::EntryFor(const std::string& table) {
    if (table.empty()) return nullptr;
    if (const auto found = tableIndex_.find(table); found != tableIndex_.end()) {
        return &tables_[found->second];
    }
    tables_.push_back(TableEntry{table, {}, 0});
    try {
        tableIndex_.emplace(table, tables_.size() - 1);
    } catch (...) {
        // Without its index entry the table would be added again next time; undo so
        // the list and the index never disagree.
        tables_.pop_back();
        throw;
    }
    return &tables_.back();
}

const DamageReport::TableEntry* DamageReport::FindEntry(const std::string& table) const {
    if (table.empty()) return nullptr;
    const auto found = tableIndex_.find(table);
    return found == tableIndex_.end() ? nullptr : &tables_[found->second];
}

DamageReport::Snapshot DamageReport::Take(std::size_t events) const {
    // Only the copy happens under the lock; formatting and UTF-8 repair run afterwards so
    // that walks reporting damage are not held up by a summary being written.
    std::lock_guard lock(mutex_);
    Snapshot snap;
    snap.total = total_;
    snap.byKind = byKind_;
    snap.tables = tables_;
    snap.facts = facts_;
    const std::size_t n = events < kept_.size() ? events : kept_.size();
    snap.firstEvents.assign(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(n));
    return snap;
}

}  // namespace pw
