#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "records/RecordReader.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"

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

// Every record of the table in storage order, as JSON arrays in column order.
nlohmann::ordered_json TableRowsJson(RecordReader& reader, TableInfo& table);

}  // namespace pw
