#include "pagestore/FieldReaders.h"

#include <algorithm>

namespace pw {
namespace {

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

std::string ExtractRawText(ByteView buffer, std::int64_t start, std::int64_t count) {
    auto [first, last] = ClampRange(buffer, start, count);
    return std::string(reinterpret_cast<const char*>(buffer.data()) + first, last - first);
}

}  // namespace pw
