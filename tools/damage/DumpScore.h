#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

namespace pw::damage {

// How much of a file's expected content one dump brought back.
struct DumpScore {
    std::int64_t rowsExpected = 0;
    // Expected rows found exactly, as a multiset per table; in a table whose
    // columns were inferred, a row that holds every value of an expected row.
    std::int64_t rowsRecovered = 0;
    std::int64_t rowsDumped = 0;     // every row of every dumped table, known extra tables aside
    std::int64_t garbageRows = 0;    // dumped rows that match no expected row
    // Of the garbage rows: rows of a table read under its definition that
    // differ from an unmatched expected row in one value only.
    std::int64_t alteredRows = 0;
    std::int64_t tablesByName = 0;   // expected tables found under their own name
    std::int64_t tablesByContent = 0;  // found only by their columns and values (name lost)
    // For one chosen table: its text values, and how many of them the dump holds.
    std::int64_t textExpected = 0;
    std::int64_t textRecovered = 0;

    std::int64_t rowsLost() const { return rowsExpected - rowsRecovered; }
};

// Row keys of the tables an intact dump holds beyond the expected ones
// (system tables the reference leaves out, hidden tables): rows of theirs in
// a damaged dump are not garbage.
struct ExtraRows {
    std::multiset<std::string> keys;
};

// What the intact dump holds beyond the expected tables.
ExtraRows ExtraRowsOf(const nlohmann::json& expected, const nlohmann::json& intactDump);

// Scores a dump document (null when the run produced none) against the
// expected document. Expected tables are matched to dumped tables by name
// (exact, then ignoring case), else to the unclaimed dumped table whose rows
// match best, preferring the same column count. `textTable` names the
// expected table whose text values are counted (empty for none).
DumpScore ScoreDump(const nlohmann::json& expected, const nlohmann::json& dump, const ExtraRows& extra,
                    const std::string& textTable = {});

// Text values (TEXT and MEMO, not empty) of an expected table; 0 for none.
std::int64_t TextValueCount(const nlohmann::json& expectedTable);

}  // namespace pw::damage
