#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "pagestore/PageSource.h"
#include "records/RowWalk.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// The machine-readable form of recovered tables: typed values, never display
// text. Binary and OLE values appear as their length and SHA-256.

// The type name of a column in dumps: the SQL type word where one exists,
// "NUMERIC", "COMPLEX" and "BIGINT" for codes 16, 18 and 19, and
// "UNKNOWN:<code>" for codes without a word.
std::string DumpTypeName(const ColumnInfo& column);

nlohmann::ordered_json ValueJson(const TypedValue& value);
nlohmann::ordered_json ColumnJson(const ColumnInfo& column);

// "YYYY-MM-DD HH:MM:SS" for a stored date serial (days since 1899-12-30, the
// fraction a positive time of day), rounded half up to the second; empty for
// serials outside the calendar.
std::string DateTimeText(double serial);
std::string CurrencyText(std::int64_t tenThousandths);
std::string DecimalText(unsigned __int128 magnitude, std::int32_t scale, bool negative);
std::string Sha256Hex(const std::string& bytes);

// A record as a JSON array in column order.
nlohmann::ordered_json RowJson(const TableInfo& table, const WalkedRow& row);

// Every record of the table in storage order, as JSON arrays in column order.
nlohmann::ordered_json TableRowsJson(const PageSource& pages, const TableInfo& table, const RunControl& run = {});

// Writes the dump document while the tables are walked, so memory holds one
// row at a time whatever the size of the file:
//   {"file": ..., "format": ..., "tables": [{"name", "columns", "rows"}, ...], "damage": {...}}
// Texts that are not valid UTF-8 are written with U+FFFD in their place.
class DumpWriter {
public:
    DumpWriter(std::ostream& out, const std::string& file, const std::string& format);

    // Writes one table with all its records; the walk's counts go to `tally`.
    // With includeDeleted the table also gets "withheldRows": the deleted
    // rows still readable and the rows of pages no longer in use, each
    // {"_row": "deleted"|"stale", "page": n, "slot": n, "values": [...]}, kept
    // apart from the live rows. A table with values that could not be read in
    // full gets "damagedValues": {"count": n, "first": [{"record" (index into
    // "rows"), "page", "slot", "column", "problem", "partial"}, ...]}; a
    // partial value (a chain cut after some rows) keeps what was read.
    WalkOutcome WriteTable(const PageSource& pages, const TableInfo& table, const RunControl& run,
                           TableTally* tally = nullptr, bool includeDeleted = false);
    // Ends the document with the damage summary.
    void Finish(const nlohmann::ordered_json& damage);

private:
    std::ostream& out_;
    bool firstTable_ = true;
};

}  // namespace pw
