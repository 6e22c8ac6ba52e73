#pragma once

// The fast targets hand the core a few pages held in memory instead of a
// file: no scratch file, no recognition, no scan. Each page of an input is a
// two-byte page number followed by up to 4096 bytes, so that pages cut from a
// real file keep their numbers and the links between them still meet.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "pagestore/PageMap.h"
#include "pagestore/PageRead.h"
#include "pagestore/PageSource.h"

namespace pw::fuzz {

inline constexpr std::size_t kBundleNumberBytes = 2;
inline constexpr std::size_t kBundlePageBytes = kBundleNumberBytes + kPageSize;
// The map holds every number up to the highest one named, so a number of 16
// bits would cost a map of 65,536 entries per input; 12 bits keep it small
// and still hold the first 16 MiB of a real file.
inline constexpr std::int32_t kBundleNumberMask = 0x0FFF;

class PageBundle : public PageSource {
public:
    explicit PageBundle(ByteView input, std::size_t maxPages = 8) {
        std::int32_t highest = -1;
        for (std::size_t at = 0; at + kBundleNumberBytes < input.size() && pages_.size() < maxPages;
             at += kBundlePageBytes) {
            const std::int32_t number = ReadUInt16(input, static_cast<std::int64_t>(at)) & kBundleNumberMask;
            const std::size_t bytes = std::min<std::size_t>(kPageSize, input.size() - at - kBundleNumberBytes);
            PageBuffer page{};
            std::memcpy(page.data(), input.data() + at + kBundleNumberBytes, bytes);
            pages_.push_back(page);
            sizes_.push_back(static_cast<std::int32_t>(bytes));
            numbers_.push_back(number);
            highest = std::max(highest, number);
        }
        BuildMap(highest);
    }

    // Page numbers in input order; a number named twice keeps its first page.
    const std::vector<std::int32_t>& numbers() const { return numbers_; }
    ByteView PageBytes(std::size_t k) const { return ByteView(pages_[k]); }

    const PageMap& Map() const override { return map_; }

    PageRead ReadPage(PageBuffer& buffer, std::int32_t n) const override {
        buffer.fill(0);
        if (n < 0 || static_cast<std::size_t>(n) >= map_.size()) return {};
        const std::int64_t offset = map_[static_cast<std::size_t>(n)].fileOffset;
        return offset < 0 ? PageRead{} : MappedPageRead(ReadAt(buffer, offset));
    }

    // Page k of the input lies at k * 4096 in the file it stands for.
    int ReadAt(PageBuffer& buffer, std::int64_t position) const override {
        buffer.fill(0);
        if (position < 0 || position % kPageSize != 0) return 0;
        const auto k = static_cast<std::size_t>(position / kPageSize);
        if (k >= pages_.size()) return 0;
        buffer = pages_[k];
        return sizes_[k];
    }

private:
    // Entries as the page scan makes them, absent pages as a shifted scan
    // leaves them.
    void BuildMap(std::int32_t highest) {
        map_.resize(static_cast<std::size_t>(highest + 1));
        for (std::int32_t n = 0; n <= highest; ++n) {
            PageMapEntry& entry = map_[static_cast<std::size_t>(n)];
            entry.pageNumber = n;
            entry.fileOffset = -1;
            entry.link = 0;
        }
        for (std::size_t k = 0; k < pages_.size(); ++k) {
            PageMapEntry& entry = map_[static_cast<std::size_t>(numbers_[k])];
            if (entry.fileOffset >= 0) continue;
            const ByteView page(pages_[k]);
            entry.fileOffset = static_cast<std::int64_t>(k) * kPageSize;
            entry.pageType = static_cast<std::int16_t>(ReadInt8(page, 0));
            const bool data = IsPageOfType(entry, PageType::Data);
            entry.link = -1;
            if (data || IsPageOfType(entry, PageType::TableDefinition)) {
                entry.freeSpace = static_cast<std::uint16_t>(ReadUInt16(page, 2));
                entry.link = ReadInt32(page, 4);
                constexpr PageLayout layout = PageLayout::Jet4();
                entry.rowCount = static_cast<std::int16_t>(
                    ReadUInt16(page, data ? layout.dataRowCountOffset : layout.tdefRowCountOffset));
            }
        }
    }

    std::vector<PageBuffer> pages_;
    std::vector<std::int32_t> sizes_;
    std::vector<std::int32_t> numbers_;
    PageMap map_;
};

}  // namespace pw::fuzz
