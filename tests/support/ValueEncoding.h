#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw::testing {

using Bytes = std::vector<std::uint8_t>;

// One stored cell of a row: the value's bytes as they are stored, or
// std::nullopt for a null (for a BIT column: false).
using Cell = std::optional<Bytes>;

// Column type codes as stored in a column record.
namespace type {
inline constexpr int kBit = 1;
inline constexpr int kByte = 2;
inline constexpr int kInt = 3;
inline constexpr int kLong = 4;
inline constexpr int kCurrency = 5;
inline constexpr int kSingle = 6;
inline constexpr int kDouble = 7;
inline constexpr int kDate = 8;
inline constexpr int kBinary = 9;
inline constexpr int kText = 10;
inline constexpr int kOle = 11;
inline constexpr int kMemo = 12;
inline constexpr int kGuid = 15;
inline constexpr int kNumeric = 16;
inline constexpr int kBigInt = 19;
}  // namespace type

// Little-endian helpers for assembling pages.
void PutU16(Bytes& bytes, std::size_t offset, std::uint32_t value);
void PutU24(Bytes& bytes, std::size_t offset, std::uint32_t value);
void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void AppendU16(Bytes& bytes, std::uint32_t value);

// Stored text. Ucs2 writes UTF-16 little-endian (characters beyond U+FFFF
// as surrogate pairs). Compressed writes 0xFF 0xFE and then one byte per
// character; a run of characters above U+00FF is written as UCS-2 between
// two 0x00 mode switches. Text that cannot be written that way (U+0000, or a
// character above U+00FF whose low byte is 0) falls back to plain UCS-2.
Bytes Ucs2(const std::string& utf8);
Bytes CompressedText(const std::string& utf8);

// Cells of each column type.
Cell Byte(std::uint8_t value);
Cell Int(std::int16_t value);
Cell Long(std::int32_t value);
Cell BigInt(std::int64_t value);
Cell Currency(std::int64_t tenThousandths);
Cell Single(float value);
Cell Double(double value);
// Days since 1899-12-30, the time of day as the fraction.
Cell Date(double serial);
// "{12345678-1234-5678-0102-030405060708}" (braces optional); stored with the
// first three groups little-endian, as the registry form implies.
Cell Guid(const std::string& text);
Cell Text(const std::string& utf8);
Cell TextCompressed(const std::string& utf8);
// 17 bytes: sign byte (0x80 negative), then the 128-bit magnitude as four
// 32-bit little-endian groups, most significant group first.
Cell Numeric(bool negative, unsigned __int128 magnitude);
// The value times 10^scale, e.g. Numeric(12345) for 123.45 in a scale-2 column.
Cell Numeric(std::int64_t unscaled);
// A BIT column stores nothing in the row; the builder moves the value into
// the null mask. Bit(false) and std::nullopt both give a cleared bit.
Cell Bit(bool value);
Cell Binary(Bytes bytes);
inline constexpr std::nullopt_t Null = std::nullopt;

}  // namespace pw::testing
