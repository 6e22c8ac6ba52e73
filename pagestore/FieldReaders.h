#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"

namespace pw {

// Numeric readers: little-endian; a read that does not lie wholly inside the
// buffer yields 0. They never fail.
std::int32_t ReadInt8(ByteView buffer, std::int64_t offset);
std::int32_t ReadUInt16(ByteView buffer, std::int64_t offset);
std::int32_t ReadUInt24(ByteView buffer, std::int64_t offset);
std::int32_t ReadInt32(ByteView buffer, std::int64_t offset);
std::int64_t ReadInt64(ByteView buffer, std::int64_t offset);

// Byte-level text readers. Only the bytes inside the buffer contribute; a
// count of 0 or less gives the empty string.
//
// ExtractNarrowText keeps every non-zero byte in order (the legacy reduction of
// stored 16-bit text to 8 bits; only used where bytes, not characters, matter).
std::string ExtractNarrowText(ByteView buffer, std::int64_t start, std::int64_t count);

// The same bytes written into a fixed character field (at most fieldSize - 1
// of them, then a terminating zero); the text is also returned.
std::string ExtractNarrowTextInto(ByteView buffer, std::int64_t start, std::int64_t count, char* field,
                                  std::size_t fieldSize);

// Exactly the bytes of [start, start + count) that lie inside the buffer,
// zero bytes included.
std::string ExtractRawText(ByteView buffer, std::int64_t start, std::int64_t count);

}  // namespace pw
