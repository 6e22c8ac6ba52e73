#include "salvage/FileFacts.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace pw {
namespace {

constexpr std::int32_t kCatalogDefinitionPage = 2;
constexpr std::size_t kVersionOffset = 0x14;

PageNumbering NumberingOf(GridNumbering numbering) {
    switch (numbering) {
        case GridNumbering::PageOne: return PageNumbering::PageOne;
        case GridNumbering::Links: return PageNumbering::Links;
        case GridNumbering::SystemDefinitions: return PageNumbering::SystemDefinitions;
        case GridNumbering::Default: break;
    }
    return PageNumbering::Default;
}

bool HeaderReadable(const CDbReader& reader, DatabaseFormat* format) {
    PageBuffer page;
    if (reader.ReadPage(page, 0).bytes < static_cast<std::int32_t>(kVersionOffset + 1)) return false;
    const bool jet = std::memcmp(page.data() + 4, "Standard Jet DB", 15) == 0;
    const bool ace = std::memcmp(page.data() + 4, "Standard ACE DB", 15) == 0;
    if (page[0] != 0 || page[1] != 1 || (!jet && !ace)) return false;
    // The version byte: 1 for Jet 4, 2 and above for the ACE formats.
    *format = page[kVersionOffset] >= 2 || ace ? DatabaseFormat::Ace : DatabaseFormat::Jet4;
    return true;
}

bool CatalogReadable(const PageMap& map) {
    if (map.size() <= kCatalogDefinitionPage) return false;
    if (!IsPageOfType(map[kCatalogDefinitionPage], PageType::TableDefinition)) return false;
    return std::any_of(map.begin(), map.end(), [](const PageMapEntry& e) {
        return IsPageOfType(e, PageType::Data) && e.link == kCatalogDefinitionPage;
    });
}

// Data pages name their owner; an owner named by several pages past the end
// of the file is a definition the tail took with it.
std::int32_t PagesLostAtTail(const PageMap& map) {
    std::unordered_map<std::int32_t, int> beyond;
    const auto last = static_cast<std::int64_t>(map.size()) - 1;
    for (const PageMapEntry& e : map)
        if (IsPageOfType(e, PageType::Data) && e.link != kLongValueLink && e.link > last) ++beyond[e.link];
    std::int64_t highest = last;
    for (const auto& [owner, count] : beyond)
        if (count >= 2) highest = std::max<std::int64_t>(highest, owner);
    return static_cast<std::int32_t>(highest - last);
}

}  // namespace

FileFacts DescribeFile(const CDbReader& reader, FormatCheck format, const PageGrid& grid) {
    FileFacts facts;
    facts.known = true;
    const PageMap& map = reader.Map();
    facts.standardStart = format == FormatCheck::Jet4 || (grid.phase == 0 && grid.firstPageNumber == 0);
    facts.numbering = facts.standardStart ? PageNumbering::Standard : NumberingOf(grid.numbering);
    facts.gridOffset = facts.standardStart ? 0 : grid.phase;
    facts.pageOneOffset = reader.pageOneOffset() >= 0 ? reader.pageOneOffset() : (map.size() > 1 ? map[1].fileOffset : -1);
    for (const PageMapEntry& e : map) {
        if (e.fileOffset >= 0) break;
        ++facts.pagesMissingAtHead;
    }
    facts.pagesLostAtTail = PagesLostAtTail(map);
    facts.headerReadable = HeaderReadable(reader, &facts.format);
    if (!facts.headerReadable) {
        facts.formatInferred = true;
        facts.format = StorageFormatLabel(reader.path()) == kLabelAccess2000 ? DatabaseFormat::Jet4
                                                                             : DatabaseFormat::Ace;
    }
    facts.catalogReadable = CatalogReadable(map);
    return facts;
}

void CountTablePagesLostAtTail(FileFacts& facts, std::int64_t pageCount, const std::vector<TableInfo>& tables) {
    std::int64_t furthest = pageCount - 1 + facts.pagesLostAtTail;
    for (const TableInfo& table : tables)
        for (std::int32_t page : table.lostPages) furthest = std::max<std::int64_t>(furthest, page);
    facts.pagesLostAtTail = static_cast<std::int32_t>(furthest - (pageCount - 1));
}

}  // namespace pw
