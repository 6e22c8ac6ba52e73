#pragma once

#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace pw {

// A recovered value the target of an export refused: where it came from,
// what it was and why it could not be written. The record is written with
// the field empty; the value lives on here.
struct RejectRecord {
    std::string table;
    std::int64_t record = 0;  // the record's number in the table's export, from 1
    std::int32_t page = -1;   // where the row was read
    std::int32_t slot = -1;
    std::string column;       // empty when the whole record was refused
    std::string value;        // the value as the preview shows it
    std::string reason;       // the target's own words
};

// The values one export could not write, per table: every one counted, the
// first kKeptPerTable of each table kept in order. Safe to add to from
// several threads.
class RejectLog {
public:
    static constexpr std::size_t kKeptPerTable = 100;

    void Add(RejectRecord record);
    std::int64_t Total() const;
    std::int64_t Count(const std::string& table) const;
    // The kept records of the table, in the order they were met.
    std::vector<RejectRecord> Kept(const std::string& table) const;

    // {"total": n, "tables": [{"name": ..., "count": n, "first": [{"record", "page", "slot",
    //  "column", "value", "reason"}, ...]}]}; texts made valid UTF-8.
    nlohmann::ordered_json Json() const;
    // For a person: nothing when no value was refused, else a heading, a
    // line per table with its count, then the kept records, one a line.
    void WriteHuman(std::ostream& out) const;

private:
    struct TableRejects {
        std::string name;
        std::int64_t count = 0;
        std::vector<RejectRecord> kept;
    };
    TableRejects* Find(const std::string& table);
    const TableRejects* Find(const std::string& table) const;

    mutable std::mutex mutex_;
    std::vector<TableRejects> tables_;
    std::int64_t total_ = 0;
};

}  // namespace pw
