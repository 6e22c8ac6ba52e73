#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "records/TypedValue.h"
#include "records/ValueDispatch.h"
#include "schema/TableInfo.h"

namespace pw {

// Calculated (expression) columns of Access 2010 on keep the computed value in
// a wrapper:
//   bytes 0..15   not used (zero in every file seen)
//   bytes 16..19  length of the value in bytes (32-bit)
//   bytes 20..    the value, stored as the expression's result type stores it
//                 (a few zero bytes of padding may follow)
// A column whose result is a memo keeps the wrapper as a long value.
inline constexpr std::int64_t kCalculatedHeaderSize = 20;
inline constexpr std::int64_t kCalculatedLengthOffset = 16;

// What stands in the way of a wrapper's value.
enum class CalculatedIssue {
    None,
    WrapperTooShort,   // fewer bytes than the header
    ValueOutsideWrapper,  // the stated length runs past the wrapper's end
    UnexpectedSize,    // a length no result type has; the value bytes are kept as Bytes
    OutOfRange,        // a date outside the calendar, a decimal scale beyond 28
};

// The result type is read from the value's size, because the column's own
// type code is set when the column is made and not changed when its result
// type is: a column coded DOUBLE may hold a currency or a decimal, one coded
// INT a yes/no, one coded NUMERIC a single. Sizes:
//   text or memo columns   the value is Jet text (compressed or UCS-2)
//   0                      Null (the expression gave no value)
//   1                      a yes/no (0 no, anything else yes); a BYTE column a byte
//   2                      a 16-bit integer
//   4                      a single in a SINGLE, DOUBLE, NUMERIC or CURRENCY column,
//                          else a 32-bit integer
//   8                      a BIGINT column: a 64-bit integer. Otherwise a currency
//                          when the bits cannot be an ordinary double (subnormal,
//                          infinite or NaN patterns are what small and negative
//                          currency counts look like), else a date in a DATE
//                          column and a double anywhere else; zero takes the
//                          column's type
//   16                     a decimal: bytes 2 scale, 3 sign (0x80 negative),
//                          4..7 high 32 bits, 8..15 low 64 bits of the magnitude
//   41 or more in a DATETIMEEXT column  its stored text (see ExtendedDateTime.h)
DecodedCell DecodeCalculatedWrapper(ByteView wrapper, const ColumnInfo& column, CalculatedIssue& issue);

// True when the column keeps its wrapper as a long value: a memo result, which
// the definition codes as MEMO or as TEXT of length 0.
bool CalculatedStoredAsLongValue(const ColumnInfo& column);

// The value of a calculated column whose field is at `position` with `length`
// bytes, with damage (a broken long value, a wrapper that does not hold its
// value) reported through the context. Never fails: what cannot be read is
// Null with the cell text "NULL".
DecodedCell DecodeCalculatedColumn(const ValueContext& context, ByteView page, const ColumnInfo& column,
                                   std::int64_t position, std::int64_t length);

}  // namespace pw
