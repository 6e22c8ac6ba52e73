#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "status/DatabaseFormat.h"
#include "status/PageNumbering.h"

namespace pw {

// What kind of damage the salvage met. The salvage goes on after each one;
// the kind says what was skipped.
enum class DamageKind {
    PageUnreadable,        // a page the map lists cannot be read in full
    DefinitionRejected,    // a table-definition page failed its checks
    CatalogRowUnreadable,  // a catalog row that cannot be read
    SlotOutsidePage,       // a slot-table entry that points outside its page
    RowRejected,           // a row whose layout does not fit its slot
    LongValueBroken,       // a memo/OLE pointer that leads nowhere
    LongValueLoop,         // a long-value chain that returns to a row already visited
    ValueOutOfRange,       // a stored value that cannot be decoded (a date outside the calendar, ...)
    RowsMissing,           // a table holds fewer rows than its definition states
    RowRepaired,           // a row read after one flipped bit of it (its layout, a catalog name) was undone
    DefinitionRepaired,    // a column record read after one flipped bit of it was undone
    PageRepaired,          // a data page given back to its table after one flipped bit of its owner was undone
    ValueUnreadable,       // a stored value that could not be read (cut short, unknown long-value flags)
};
inline constexpr int kDamageKindCount = 13;
static_assert(static_cast<int>(DamageKind::ValueUnreadable) + 1 == kDamageKindCount);

// Stable machine names, used in JSON and in the human summary:
// "page-unreadable", "definition-rejected", "catalog-row-unreadable", "slot-outside-page",
// "row-rejected", "long-value-broken", "long-value-loop", "value-out-of-range", "rows-missing",
// "row-repaired", "definition-repaired", "page-repaired", "value-unreadable".
// "unknown" for a value that is none of the kinds.
const char* DamageKindName(DamageKind kind);

struct DamageEvent {
    DamageKind kind = DamageKind::PageUnreadable;
    std::int32_t page = -1;  // page number, -1 when not tied to a page
    std::int32_t slot = -1;  // row slot on that page, -1 when not tied to one
    std::string table;       // recovered table name, empty when not tied to one
    std::string reason;      // short human text, e.g. "variable offsets run backwards"
};

// Whatever meets damage calls Report and goes on; implementations never throw and
// must be callable from several threads at once.
class DamageReporter {
public:
    virtual ~DamageReporter() = default;
    virtual void Report(const DamageEvent& event) = 0;
};

// Discards every event.
class NullDamageReporter final : public DamageReporter {
public:
    void Report(const DamageEvent&) override {}
};
NullDamageReporter& DiscardDamage();  // a shared instance for callers that keep no report

// What the analysis could tell about the file as a whole.
struct FileFacts {
    bool known = false;                 // false until an analysis set them
    bool standardStart = true;          // the pages start where an intact file has them
    std::int64_t gridOffset = 0;        // file position of the first whole page
    std::int64_t pageOneOffset = -1;    // file position of page 1, -1 when it is not in the file
    std::int32_t pagesMissingAtHead = 0;
    std::int32_t pagesLostAtTail = 0;   // at least this many: pages named by links past the end
    PageNumbering numbering = PageNumbering::Standard;  // how the page numbers were settled
    bool headerReadable = true;         // page 0 still holds the database header
    bool catalogReadable = true;        // the catalog's definition and rows are there
    DatabaseFormat format = DatabaseFormat::Jet4;
    bool formatInferred = false;        // true when the header was lost and the format was inferred or defaulted

    // Anything of the file's structure lost.
    bool AnyLoss() const {
        return known && (pagesMissingAtHead > 0 || pagesLostAtTail > 0 || !headerReadable || !catalogReadable);
    }
};

// What is known of one table's rows and pages: a walk over its rows fills
// the counts it meets, the report adds what the definition states.
struct TableTally {
    std::int64_t pagesOwned = 0;         // data pages the table owns
    std::int64_t pagesRead = 0;          // pages a walk read
    std::int64_t pagesUnreadable = 0;    // of those, pages that could not be read
    std::int64_t slots = 0;              // row slots a walk met
    std::int64_t rowsFound = 0;          // live rows decoded
    std::int64_t rowsStated = 0;         // rows the table definition states
    std::int64_t rowsUnreadable = 0;     // slots whose row could not be decoded
    std::int64_t rowsDamagedValues = 0;  // live rows with a value that could not be read in full
    std::int64_t rowsDeleted = 0;        // deleted rows, withheld unless asked for
    std::int64_t rowsStale = 0;          // rows on pages the usage map no longer lists, withheld unless asked for
    std::int64_t pagesStale = 0;         // such pages
    std::int64_t lookupRows = 0;         // overflow pointers Access left where a row moved
};

// A difference that is no loss, told beside the damage: a definition whose
// stated row count is stale while every page of its table read cleanly.
struct DamageNote {
    std::string table;
    std::string text;
};

// One table as the report knows it.
struct TableDamage {
    std::string name;
    TableTally tally;
    std::int64_t events = 0;
};

// A consistent copy of a report, taken at once, for whoever writes it out.
struct DamageSnapshot {
    std::int64_t total = 0;
    std::array<std::int64_t, kDamageKindCount> byKind{};
    std::vector<TableDamage> tables;  // in first-named order
    std::vector<DamageEvent> firstEvents;
    std::vector<DamageNote> notes;
    FileFacts facts;
};

// Counts events by kind and by table, keeps the first kKeptEvents events in order
// (later ones are only counted), and holds per-table tallies that walks add to.
// Thread-safe (one mutex). An empty table name means "no table": it is never
// listed and its tally stays zero. Writing it out for a person or a program
// is export/DamageSummary's work.
class DamageReport final : public DamageReporter {
public:
    static constexpr std::size_t kKeptEvents = 1000;

    DamageReport() = default;
    DamageReport(const DamageReport&) = delete;
    DamageReport& operator=(const DamageReport&) = delete;

    void Report(const DamageEvent& event) override;
    // Tables appear in the summary in the order they were first named (by SetTableFacts,
    // AddTableRows or an event). SetTableFacts replaces the facts; AddTableRows adds.
    void SetTableFacts(const std::string& table, std::int64_t pagesOwned, std::int64_t rowsStated);
    void AddTableRows(const std::string& table, std::int64_t rowsFound, std::int64_t rowsUnreadable,
                      std::int64_t pagesUnreadable, std::int64_t rowsDamagedValues = 0);
    void AddWithheldRows(const std::string& table, std::int64_t rowsDeleted, std::int64_t rowsStale,
                         std::int64_t pagesStale);
    // A note is no damage: it never makes LostAnything true. One per table and text.
    void AddNote(const std::string& table, const std::string& text);
    void SetFileFacts(const FileFacts& facts);
    FileFacts fileFacts() const;
    // True when anything was lost to damage: an event, or the file's
    // structure. Deleted rows, stale pages and notes are the file's own
    // history, not damage.
    bool LostAnything() const;

    std::int64_t TotalEvents() const;
    std::int64_t Count(DamageKind kind) const;
    std::int64_t TableEvents(const std::string& table) const;  // 0 for an unknown table
    std::vector<DamageEvent> KeptEvents() const;
    std::vector<DamageNote> Notes() const;
    TableTally Tally(const std::string& table) const;  // zeros for an unknown table
    std::vector<std::string> TableNames() const;        // in first-named order
    // Everything, with at most `events` of the first events.
    DamageSnapshot Snapshot(std::size_t events) const;

private:
    // Callers hold mutex_. Nullptr for an empty name.
    TableDamage* EntryFor(const std::string& table);
    const TableDamage* FindEntry(const std::string& table) const;

    mutable std::mutex mutex_;
    std::int64_t total_ = 0;
    std::array<std::int64_t, kDamageKindCount> byKind_{};
    std::vector<DamageEvent> kept_;
    std::vector<DamageNote> notes_;
    FileFacts facts_;
    std::vector<TableDamage> tables_;
    std::unordered_map<std::string, std::size_t> tableIndex_;
};

}  // namespace pw
