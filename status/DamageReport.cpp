#include "status/DamageReport.h"

#include <string_view>
#include <utility>


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
        if (TableDamage* entry = EntryFor(event.table)) ++entry->events;
        if (kept_.size() < kKeptEvents) kept_.push_back(event);
    } catch (...) {
    }
}

void DamageReport::SetTableFacts(const std::string& table, std::int64_t pagesOwned,
                                 std::int64_t rowsStated) {
    std::lock_guard lock(mutex_);
    if (TableDamage* entry = EntryFor(table)) {
        entry->tally.pagesOwned = pagesOwned;
        entry->tally.rowsStated = rowsStated;
    }
}

void DamageReport::AddTableRows(const std::string& table, std::int64_t rowsFound,
                                std::int64_t rowsUnreadable, std::int64_t pagesUnreadable,
                                std::int64_t rowsDamagedValues) {
    std::lock_guard lock(mutex_);
    if (TableDamage* entry = EntryFor(table)) {
        entry->tally.rowsFound += rowsFound;
        entry->tally.rowsDamagedValues += rowsDamagedValues;
        entry->tally.rowsUnreadable += rowsUnreadable;
        entry->tally.pagesUnreadable += pagesUnreadable;
    }
}

void DamageReport::AddWithheldRows(const std::string& table, std::int64_t rowsDeleted, std::int64_t rowsStale,
                                   std::int64_t pagesStale) {
    std::lock_guard lock(mutex_);
    if (TableDamage* entry = EntryFor(table)) {
        entry->tally.rowsDeleted += rowsDeleted;
        entry->tally.rowsStale += rowsStale;
        entry->tally.pagesStale += pagesStale;
    }
}

void DamageReport::AddNote(const std::string& table, const std::string& text) {
    std::lock_guard lock(mutex_);
    for (const DamageNote& note : notes_)
        if (note.table == table && note.text == text) return;
    try {
        notes_.push_back({table, text});
    } catch (...) {
    }
}

std::vector<DamageNote> DamageReport::Notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
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
    const TableDamage* entry = FindEntry(table);
    return entry ? entry->events : 0;
}

std::vector<DamageEvent> DamageReport::KeptEvents() const {
    std::lock_guard lock(mutex_);
    return kept_;
}

TableTally DamageReport::Tally(const std::string& table) const {
    std::lock_guard lock(mutex_);
    const TableDamage* entry = FindEntry(table);
    return entry ? entry->tally : TableTally{};
}

std::vector<std::string> DamageReport::TableNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(tables_.size());
    for (const TableDamage& entry : tables_) names.push_back(entry.name);
    return names;
}

TableDamage* DamageReport::EntryFor(const std::string& table) {
    if (table.empty()) return nullptr;
    if (const auto found = tableIndex_.find(table); found != tableIndex_.end()) {
        return &tables_[found->second];
    }
    tables_.push_back(TableDamage{table, {}, 0});
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

const TableDamage* DamageReport::FindEntry(const std::string& table) const {
    if (table.empty()) return nullptr;
    const auto found = tableIndex_.find(table);
    return found == tableIndex_.end() ? nullptr : &tables_[found->second];
}

DamageSnapshot DamageReport::Snapshot(std::size_t events) const {
    // Only the copy happens under the lock; formatting and UTF-8 repair run afterwards so
    // that walks reporting damage are not held up by a summary being written.
    std::lock_guard lock(mutex_);
    DamageSnapshot snap;
    snap.total = total_;
    snap.byKind = byKind_;
    snap.tables = tables_;
    snap.facts = facts_;
    snap.notes = notes_;
    const std::size_t n = events < kept_.size() ? events : kept_.size();
    snap.firstEvents.assign(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(n));
    return snap;
}

}  // namespace pw
