#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"

namespace pw {

enum class PageReadOutcome {
    Absent,  // the map holds no such page, or no file is open
    Short,   // the file ends (or fails) inside the page
    Whole,
};

// What one page read gave. The buffer read into is zeroes past `bytes`.
struct PageRead {
    PageReadOutcome outcome = PageReadOutcome::Absent;
    std::int32_t bytes = 0;

    bool whole() const { return outcome == PageReadOutcome::Whole; }
    bool anyBytes() const { return bytes > 0; }
};

// The read of a page that is in the map, from the bytes the file gave.
inline PageRead MappedPageRead(std::int64_t bytes) {
    if (bytes >= kPageSize) return {PageReadOutcome::Whole, kPageSize};
    return {PageReadOutcome::Short, static_cast<std::int32_t>(bytes > 0 ? bytes : 0)};
}

}  // namespace pw
