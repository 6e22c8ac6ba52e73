#pragma once

#include <cstdint>

namespace pw {

// Why a stored value could not be read, or could be read only in part. A
// value with a problem is damage: the walk reports it with its place, and
// every export agrees on it (an empty CSV field, null in the dump and in a
// new database). Partial values (a chain that broke or looped after some of
// its rows) keep the bytes that were read.
enum class ValueProblem : std::uint8_t {
    None,
    CutShort,         // the field cannot hold its long-value header, or lies outside its page
    PointerBroken,    // a long-value pointer leads outside the map, to another kind of page or to no row
    ChainLoop,        // a long-value chain comes back to a row it already read
    UnknownFlags,     // the long-value flag byte is none that Access writes
    OutsideCalendar,  // a date before year 100 or after 9999
    Unreadable,       // the stored bytes do not form a value of the column's type
};

// Stable machine names: "cut-short", "pointer-broken", "chain-loop",
// "unknown-flags", "outside-calendar", "unreadable" ("none").
const char* ValueProblemName(ValueProblem problem);

}  // namespace pw
