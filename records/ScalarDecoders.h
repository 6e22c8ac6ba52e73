#pragma once

#include <array>

#include <cstdint>

#include "pagestore/ByteView.h"
#include "records/TypedValue.h"

namespace pw {

// Decoders of single column values. Each takes the page and the position of
// the value's first byte and returns the cell text with the typed value. They
// never fail: a value that does not fit the page gives the failure cell named
// below and a Null value, and bytes outside the page read as zero.

// One byte, 0 to 255. Needs 0 <= position < page size, else "" / Null.
DecodedCell DecodeByteValue(ByteView page, std::int64_t position);

// Signed 16-bit. Needs position + 2 < page size, else "" / Null.
DecodedCell DecodeIntValue(ByteView page, std::int64_t position);

// Signed 32-bit. Needs position + 4 < page size, else "" / Null.
DecodedCell DecodeLongValue(ByteView page, std::int64_t position);

// Signed 64-bit. Needs position + 8 < page size, else "" / Null.
DecodedCell DecodeBigIntValue(ByteView page, std::int64_t position);

// Signed 64-bit count of ten-thousandths, shown with exactly four decimals
// ("-1.0000"). Needs position + 8 < page size, else "" / Null.
DecodedCell DecodeCurrencyValue(ByteView page, std::int64_t position);

// IEEE single / double, shown with as many decimals as the value's magnitude
// leaves significant (at least 4 when the magnitude uses them all up). Need
// position + 4 (+ 8) < page size, else "" / Null.
DecodedCell DecodeSingleValue(ByteView page, std::int64_t position);
DecodedCell DecodeDoubleValue(ByteView page, std::int64_t position);

// Days since 1899-12-30 as a double, shown "MM/DD/YY HH:MM:SS". A serial that
// is not finite or lies outside years 1 to 9999 gives "" / Null.
DecodedCell DecodeDateValue(ByteView page, std::int64_t position);

// The bytes unchanged. Needs 0 <= position and position + length <= page
// size, else "BINARY" / Null.
DecodedCell DecodeBinaryValue(ByteView page, std::int64_t position, std::int64_t length);

// Stored text (UCS-2 or compressed) as UTF-8. An empty text, and the text
// "#TEXT", show as "NULL"; the typed value keeps the text itself.
DecodedCell DecodeTextValue(ByteView page, std::int64_t position, std::int64_t length);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from the 16 stored bytes.
DecodedCell DecodeGuidValue(ByteView page, std::int64_t position);
// The registry form of a GUID's 16 stored bytes: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// the first three groups little-endian as Access stores them.
std::string FormatGuid(const std::array<std::uint8_t, 16>& g);

// The 17-byte decimal: a sign byte, then the 128-bit magnitude. Shown
// zero-padded to `precision` digits with a point before the last `scale`
// digits; no digit of the value is ever cut off.
DecodedCell DecodeNumericValue(ByteView page, std::int64_t position, std::int32_t precision,
                               std::int32_t scale);

// Date/Time Extended (see ExtendedDateTime.h), shown "YYYY-MM-DD HH:MM:SS.fffffff"
// and typed DateTimeExt. A field that does not fit the page or does not read
// as a day and a time of day in range gives "" / Null.
DecodedCell DecodeDateTimeExtValue(ByteView page, std::int64_t position);

}  // namespace pw
