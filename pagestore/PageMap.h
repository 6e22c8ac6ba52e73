#pragma once

#include <cstdint>
#include <vector>

namespace pw {

// What a page's first byte says it is. The map keeps the byte itself (any
// value, damaged pages included); these are the values the salvage reads.
enum class PageType : std::int16_t {
    Header = 0,
    Data = 1,
    TableDefinition = 2,
    IntermediateIndex = 3,
    LeafIndex = 4,
    UsageMap = 5,
};

// One page of the file as the scan saw it.
struct PageMapEntry {
    std::int32_t pageNumber = 0;
    // File position of the page's first byte; -1 when the page is absent.
    std::int64_t fileOffset = -1;
    // First byte, signed: 1 data page, 2 table definition, others not interpreted.
    std::int16_t pageType = 0;
    std::uint16_t freeSpace = 0;
    // Data page: owning definition page (or "LVAL" on long-value pages);
    // definition page: next page of the same definition (0 = none); else -1.
    std::int32_t link = -1;
    // Data page: row slots; definition page: low 16 bits of its row count.
    std::int16_t rowCount = 0;
};

// Entry n describes page n: ascending, from page 0, without gaps.
using PageMap = std::vector<PageMapEntry>;

inline bool IsPageOfType(const PageMapEntry& entry, PageType type) {
    return entry.pageType == static_cast<std::int16_t>(type);
}

inline constexpr std::int32_t kLongValueLink = 0x4C41564C;  // "LVAL"

}  // namespace pw
