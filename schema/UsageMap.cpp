#include "schema/UsageMap.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "pagestore/SlotTable.h"

namespace pw {
namespace {

constexpr std::int64_t kUsedPagesPointerOffset = 55;
constexpr std::uint8_t kInlineMap = 0;
constexpr std::uint8_t kReferenceMap = 1;
constexpr std::int64_t kMapPageBitmapStart = 4;
constexpr std::int64_t kPagesPerMapPage = (kPageSize - kMapPageBitmapStart) * 8;

struct MapRow {
    PageBuffer page{};
    std::int64_t start = 0;
    std::int64_t end = 0;
};

std::optional<MapRow> ReadMapRow(const PageSource& pages, std::uint32_t pointer) {
    const auto slot = static_cast<std::int32_t>(pointer & 0xFF);
    const auto pageNumber = static_cast<std::int32_t>(pointer >> 8);
    const PageMap& map = pages.Map();
    if (pageNumber <= 0 || static_cast<std::size_t>(pageNumber) >= map.size()) return std::nullopt;
    if (!IsPageOfType(map[static_cast<std::size_t>(pageNumber)], PageType::Data)) return std::nullopt;
    MapRow row;
    if (!pages.ReadPage(row.page, pageNumber).whole()) return std::nullopt;
    ByteView view(row.page);
    if (slot >= ReadUInt16(view, 12)) return std::nullopt;
    const SlotEntry entry = ReadSlot(view, slot);
    if (entry.deleted || entry.end < entry.start || entry.end >= kPageSize) return std::nullopt;
    row.start = entry.start;
    row.end = entry.end + 1;
    return row;
}

// Bit i of `bits` (LSB first) stands for page first + i.
void AddBits(const std::uint8_t* bits, std::int64_t bytes, std::int64_t first, std::vector<std::int32_t>& out) {
    for (std::int64_t i = 0; i < bytes; ++i)
        for (int k = 0; k < 8; ++k)
            if ((bits[i] >> k) & 1) out.push_back(static_cast<std::int32_t>(first + i * 8 + k));
}

std::optional<std::vector<std::int32_t>> ListedPages(const PageSource& pages, std::uint32_t pointer) {
    const std::optional<MapRow> row = ReadMapRow(pages, pointer);
    if (!row) return std::nullopt;
    const std::uint8_t* bytes = row->page.data() + row->start;
    const std::int64_t length = row->end - row->start;
    std::vector<std::int32_t> listed;
    if (bytes[0] == kInlineMap) {
        if (length < 5) return std::nullopt;
        const std::int64_t first = static_cast<std::uint32_t>(bytes[1] | (bytes[2] << 8) | (bytes[3] << 16)) |
                                   (static_cast<std::int64_t>(bytes[4]) << 24);
        AddBits(bytes + 5, length - 5, first, listed);
        return listed;
    }
    if (bytes[0] != kReferenceMap) return std::nullopt;
    const PageMap& map = pages.Map();
    PageBuffer mapPage;
    for (std::int64_t j = 0; 1 + 4 * (j + 1) <= length; ++j) {
        const std::uint8_t* p = bytes + 1 + 4 * j;
        const std::int64_t number = static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
                                    (static_cast<std::int64_t>(p[3]) << 24);
        if (number == 0) continue;
        if (number >= static_cast<std::int64_t>(map.size())) return std::nullopt;
        if (!IsPageOfType(map[static_cast<std::size_t>(number)], PageType::UsageMap)) return std::nullopt;
        if (!pages.ReadPage(mapPage, static_cast<std::int32_t>(number)).whole()) return std::nullopt;
        AddBits(mapPage.data() + kMapPageBitmapStart, kPageSize - kMapPageBitmapStart, j * kPagesPerMapPage, listed);
    }
    return listed;
}

}  // namespace

std::optional<std::vector<std::int32_t>> PagesListedBy(const PageSource& pages, ByteView definition) {
    if (definition.size() < static_cast<std::size_t>(kUsedPagesPointerOffset + 4)) return std::nullopt;
    return ListedPages(pages, static_cast<std::uint32_t>(ReadInt32(definition, kUsedPagesPointerOffset)));
}

void ApplyUsageMap(const PageSource& pages, ByteView definition, TableInfo& table) {
    table.stalePages.clear();
    table.lostPages.clear();
    const std::optional<std::vector<std::int32_t>> listed = PagesListedBy(pages, definition);
    if (!listed) {
        table.usageMap = UsageMapState::Unreadable;
        return;
    }
    const PageMap& map = pages.Map();
    std::vector<std::int32_t> lost;
    std::size_t pastTheEnd = 0;
    std::vector<std::int32_t> ownedPages = table.dataPages;
    std::sort(ownedPages.begin(), ownedPages.end());
    for (std::int32_t page : *listed) {
        if (page <= 0) {
            table.usageMap = UsageMapState::Inconsistent;
            return;
        }
        // Past the end of a cut file, absent, or no longer any kind of page:
        // the page is lost, not the map wrong.
        const bool inFile = static_cast<std::size_t>(page) < map.size() && map[static_cast<std::size_t>(page)].fileOffset >= 0;
        const PageMapEntry* entry = inFile ? &map[static_cast<std::size_t>(page)] : nullptr;
        const bool someKindOfPage = entry != nullptr && entry->pageType >= static_cast<std::int16_t>(PageType::Data) &&
                                    entry->pageType <= static_cast<std::int16_t>(PageType::UsageMap);
        if (!someKindOfPage) {
            lost.push_back(page);
            if (static_cast<std::size_t>(page) >= map.size()) ++pastTheEnd;
            continue;
        }
        // A page whose owner word was mended is among the table's pages
        // although the word names another.
        const bool owned = IsPageOfType(*entry, PageType::Data) &&
                           (entry->link == table.tdefPage || std::binary_search(ownedPages.begin(), ownedPages.end(), page));
        if (!owned) {
            table.usageMap = UsageMapState::Inconsistent;
            return;
        }
    }
    // A map that lists mostly pages that are gone is more likely damaged
    // itself than the pages; it is not trusted then. Pages past the end of
    // the file are the tail's loss, which tells nothing against the map, as
    // long as the map lists some page still in the file.
    const std::size_t inFile = listed->size() - pastTheEnd;
    const std::size_t lostInFile = lost.size() - pastTheEnd;
    if (lostInFile * 2 > inFile || (inFile == 0 && !table.dataPages.empty())) {
        table.usageMap = UsageMapState::Inconsistent;
        return;
    }
    table.lostPages = std::move(lost);
    std::vector<std::int32_t> sorted = *listed;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::int32_t> kept;
    for (std::int32_t page : table.dataPages) {
        if (std::binary_search(sorted.begin(), sorted.end(), page))
            kept.push_back(page);
        else
            table.stalePages.push_back(page);
    }
    table.dataPages = std::move(kept);
    table.usageMap = UsageMapState::Listed;
}

}  // namespace pw
