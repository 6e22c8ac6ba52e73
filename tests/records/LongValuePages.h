#pragma once

// Pages held in memory for the long-value tests: page n lies at file position
// n * 4096, page 0 is a header page, and rows are stored from the page end
// towards its header as the file does.

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/PageMap.h"
#include "pagestore/PageSource.h"

namespace pw::testing {

using Bytes = std::vector<std::uint8_t>;

class MemoryPages : public PageSource {
public:
    MemoryPages() { AddPage(0, -1); }

    std::int32_t AddLongValuePage() { return AddPage(1, kLongValueLink); }
    std::int32_t AddDataPage(std::int32_t owner) { return AddPage(1, owner); }

    // Stores a row below the last one on page n; returns its row number.
    std::int32_t AddRow(std::int32_t n, const Bytes& bytes) {
        PageBuffer& page = pages_[n];
        const int row = map_[n].rowCount;
        const int end = row == 0 ? kPageSize : (Slot(n, row - 1) & 0x1FFF);
        const int start = end - static_cast<int>(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) page[start + i] = bytes[i];
        SetSlot(n, row, static_cast<std::uint16_t>(start));
        SetRowCount(n, row + 1);
        return row;
    }

    std::uint16_t Slot(std::int32_t n, int row) const {
        return static_cast<std::uint16_t>(pages_[n][14 + 2 * row] | (pages_[n][15 + 2 * row] << 8));
    }
    void SetSlot(std::int32_t n, int row, std::uint16_t value) {
        pages_[n][14 + 2 * row] = value & 0xFF;
        pages_[n][15 + 2 * row] = value >> 8;
    }
    void SetRowCount(std::int32_t n, int count) {
        pages_[n][12] = count & 0xFF;
        pages_[n][13] = (count >> 8) & 0xFF;
        map_[n].rowCount = static_cast<std::int16_t>(count);
    }
    PageBuffer& Page(std::int32_t n) { return pages_[n]; }
    std::int32_t PageCount() const { return static_cast<std::int32_t>(pages_.size()); }

    const PageMap& Map() const override { return map_; }
    PageRead ReadPage(PageBuffer& buffer, std::int32_t n) const override {
        buffer.fill(0);
        if (n < 0 || n >= PageCount()) return {};
        const int got = ReadAt(buffer, map_[n].fileOffset);
        return got < 0 ? PageRead{} : MappedPageRead(got);
    }
    int ReadAt(PageBuffer& buffer, std::int64_t position) const override {
        ++reads;
        buffer.fill(0);
        if (position < 0 || position % kPageSize != 0 || position / kPageSize >= PageCount()) return -1;
        buffer = pages_[position / kPageSize];
        return kPageSize;
    }

    mutable int reads = 0;

private:
    std::int32_t AddPage(std::int16_t type, std::int32_t link) {
        PageBuffer page{};
        page[0] = static_cast<std::uint8_t>(type);
        for (int i = 0; i < 4; ++i) page[4 + i] = static_cast<std::uint8_t>(link >> (8 * i));
        const auto n = static_cast<std::int32_t>(pages_.size());
        pages_.push_back(page);
        PageMapEntry entry;
        entry.pageNumber = n;
        entry.fileOffset = static_cast<std::int64_t>(n) * kPageSize;
        entry.pageType = type;
        entry.link = link;
        map_.push_back(entry);
        return n;
    }

    std::vector<PageBuffer> pages_;
    PageMap map_;
};

// The 12-byte field header of a long value.
inline Bytes FieldHeader(std::uint32_t totalLength, std::uint8_t flag, std::int32_t row = 0,
                         std::int32_t page = 0) {
    return {static_cast<std::uint8_t>(totalLength),
            static_cast<std::uint8_t>(totalLength >> 8),
            static_cast<std::uint8_t>(totalLength >> 16),
            flag,
            static_cast<std::uint8_t>(row),
            static_cast<std::uint8_t>(page),
            static_cast<std::uint8_t>(page >> 8),
            static_cast<std::uint8_t>(page >> 16),
            0,
            0,
            0,
            0};
}

// A chain row: pointer to the next row, then its data.
inline Bytes ChainRow(std::int32_t nextRow, std::int32_t nextPage, const Bytes& data) {
    Bytes row{static_cast<std::uint8_t>(nextRow), static_cast<std::uint8_t>(nextPage),
              static_cast<std::uint8_t>(nextPage >> 8), static_cast<std::uint8_t>(nextPage >> 16)};
    row.insert(row.end(), data.begin(), data.end());
    return row;
}

// ASCII text stored as UCS-2 little-endian.
inline Bytes Ucs2(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

// ASCII text stored compressed (marker, then one byte per character).
inline Bytes Compressed(const std::string& ascii) {
    Bytes out{0xFF, 0xFE};
    out.insert(out.end(), ascii.begin(), ascii.end());
    return out;
}

inline Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes Slice(const Bytes& bytes, std::size_t first, std::size_t count) {
    return Bytes(bytes.begin() + first, bytes.begin() + first + count);
}

}  // namespace pw::testing
