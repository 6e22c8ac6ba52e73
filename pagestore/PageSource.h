#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/PageMap.h"
#include "pagestore/PageRead.h"

namespace pw {

// Read access to the pages of an analysed file. The reader implements it over
// the file; tests implement it over pages held in memory.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual const PageMap& Map() const = 0;
    // Zeroes the buffer and reads page n through the map.
    virtual PageRead ReadPage(PageBuffer& buffer, std::int32_t n) const = 0;
    // Zeroes the buffer and reads the 4096 bytes at a file position.
    virtual int ReadAt(PageBuffer& buffer, std::int64_t position) const = 0;

    // Reads pages first, first + 1, ... first + count - 1 into `out` (count
    // pages of room) and gives what the read of each gave in `got` (count
    // entries). A source that can read pages lying one after another
    // in one go does so: a walk over many pages then costs few reads. This
    // one reads them one by one.
    virtual void ReadPageRun(std::int32_t first, std::int32_t count, std::uint8_t* out, PageRead* got) const;
};

}  // namespace pw
