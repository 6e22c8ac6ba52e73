#include "pagestore/FieldReaders.h"

#include <algorithm>

namespace pw {
namespace {

bool Inside(ByteView buffer, std::int64_t offset, std::int64_t width) {
    return offset >= 0 && width >= 0 && offset <= static_cast<std::int64_t>(buffer.size()) - width;
}

std::uint64_t ReadLittleEndian(ByteView buffer, std::int64_t offset, int width) {
    if (!Inside(buffer, offset, width)) return 0;
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | buffer[static_cast<std::size_t>(offset + i)];
    return value;
}

// The part of [start, start + count) that lies inside the buffer.
std::pair<std::size_t, std::size_t> ClampRange(ByteView buffer, std::int64_t start, std::int64_t count) {
    if (count <= 0) return {0, 0};
    const std::int64_t size = static_cast<std::int64_t>(buffer.size());
    std::int64_t first = std::max<std::int64_t>(start, 0);
    std::int64_t last = start > size - count ? size : start + count;  // avoids overflow of start + count
    if (first >= last) return {0, 0};
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

}  // namespace

std::int32_t ReadInt8(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int8_t>(ReadLittleEndian(buffer, offset, 1));
}

std::int32_t ReadUInt16(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(ReadLittleEndian(buffer, offset, 2));
}

std::int32_t ReadUInt24(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(ReadLittleEndian(buffer, offset, 3));
}

std::int32_t ReadInt32(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLittleEndian(buffer, offset, 4)));
}

std::int64_t ReadInt64(ByteView buffer, std::int64_t offset) {
    return static_cast<std::int64_t>(ReadLittleEndian(buffer, offset, 8));
}

std::string ExtractNarrowText(ByteView buffer, std::int64_t start, std::int64_t count) {
    auto [first, last] = ClampRange(buffer, start, count);
    std::string text;
    text.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        if (buffer[i] != 0) text.push_back(static_cast<char>(buffer[i]));
    return text;
}

std::string ExtractNarrowTextInto(ByteView buffer, std::int64_t start, std::int64_t count, char* field,
                                  std::size_t fieldSize) {
    std::string text = ExtractNarrowText(buffer, start, count);
    if (field != nullptr && fieldSize > 0) {
        std::size_t n = std::min(text.size(), fieldSize - 1);
        std::copy_n(text.data(), n, field);
        field[n] = '\0';
    }
    return text;
}

std::string ExtractRawText(ByteView buffer, std::int64_t start, std::int64_t count) {
    auto [first, last] = ClampRange(buffer, start, count);
    return std::string(reinterpret_cast<const char*>(buffer.data()) + first, last - first);
}

}  // namespace pw
