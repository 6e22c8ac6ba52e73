#pragma once

#include <cstdint>
#include <string>

#include "schema/TableInfo.h"

namespace pw {

// Type codes as stored in byte 0 of a column record.
namespace ColumnType {
inline constexpr std::int32_t Bit = 1;
inline constexpr std::int32_t Byte = 2;
inline constexpr std::int32_t Int = 3;
inline constexpr std::int32_t Long = 4;
inline constexpr std::int32_t Currency = 5;
inline constexpr std::int32_t Single = 6;
inline constexpr std::int32_t Double = 7;
inline constexpr std::int32_t Date = 8;
inline constexpr std::int32_t Binary = 9;
inline constexpr std::int32_t Text = 10;
inline constexpr std::int32_t OleObject = 11;
inline constexpr std::int32_t Memo = 12;
inline constexpr std::int32_t Guid = 15;
inline constexpr std::int32_t Numeric = 16;
inline constexpr std::int32_t Attachment = 18;
inline constexpr std::int32_t BigInt = 19;
// Date/Time Extended (Access 2016 on): the value kept as text, to 100 ns.
inline constexpr std::int32_t DateTimeExt = 20;
// Never stored: a variable column of a table whose definition was lost.
// Each value is told apart by its bytes (text, memo pointer or binary);
// the code lies beyond a byte so that no stored code can mean it.
inline constexpr std::int32_t InferredVariable = 0x100;
}  // namespace ColumnType

// The SQL type word shown in the tree and written into CREATE TABLE. A 32-bit
// integer in column number 0 is taken for the auto-number ("COUNTER"); the
// decimal type is presented as "LONG". Codes without a word give
// "UNKNOWN-DATATYPE = 0x.." with the code as 32-bit hexadecimal.
std::string ColumnTypeName(const ColumnInfo& column);

}  // namespace pw
