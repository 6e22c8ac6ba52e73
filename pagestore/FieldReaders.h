#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"

namespace pw {

// Numeric readers: little-endian; a read that does not lie wholly inside the
// buffer yields 0. They never fail. Defined here because every row and slot
// of a walk goes through them.
namespace detail {
inline std::uint64_t ReadLittleEndian(ByteView buffer, std::int64_t offset, int width) {
    if (offset < 0 || offset > static_cast<std::int64_t>(buffer.size()) - width) return 0;
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | buffer[static_cast<std::size_t>(offset + i)];
    return value;
}
}  // namespace detail

inline std::int32_t ReadInt8(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int8_t>(detail::ReadLittleEndian(buffer, offset, 1));
}
inline std::int32_t ReadUInt16(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(detail::ReadLittleEndian(buffer, offset, 2));
}
inline std::int32_t ReadUInt24(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(detail::ReadLittleEndian(buffer, offset, 3));
}
inline std::int32_t ReadInt32(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(detail::ReadLittleEndian(buffer, offset, 4)));
}
inline std::int64_t ReadInt64(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int64_t>(detail::ReadLittleEndian(buffer, offset, 8));
}

// Exactly the bytes of [start, start + count) that lie inside the buffer,
// zero bytes included.
std::string ExtractRawText(ByteView buffer, std::int64_t start, std::int64_t count);

}  // namespace pw
