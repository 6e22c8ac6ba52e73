#include "schema/OwnerMend.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "pagestore/PageLayout.h"
#include "schema/UsageMap.h"

namespace pw {

std::vector<OwnerMend> MendFlippedOwners(const PageSource& pages, const std::vector<TableInfo>& tables) {
    std::unordered_map<std::int32_t, std::unordered_set<std::int32_t>> listedBy;
    PageBuffer buffer;
    for (const TableInfo& table : tables) {
        if (table.columnsInferred || listedBy.count(table.tdefPage) != 0) continue;
        if (!pages.ReadPage(buffer, table.tdefPage).whole()) continue;
        if (std::optional<std::vector<std::int32_t>> listed = PagesListedBy(pages, ByteView(buffer)))
            listedBy.emplace(table.tdefPage, std::unordered_set<std::int32_t>(listed->begin(), listed->end()));
    }
    std::unordered_set<std::int32_t> definitions;
    for (const TableInfo& table : tables) definitions.insert(table.tdefPage);

    std::vector<OwnerMend> mends;
    if (listedBy.empty()) return mends;
    for (const PageMapEntry& entry : pages.Map()) {
        if (!IsPageOfType(entry, PageType::Data) || entry.fileOffset < 0) continue;
        const std::int32_t stated = entry.link;
        const auto own = listedBy.find(stated);
        // A stated owner whose map lists the page, or whose map cannot be
        // read, keeps it.
        if (own != listedBy.end() ? own->second.count(entry.pageNumber) != 0 : definitions.count(stated) != 0) continue;
        std::int32_t owner = -1;
        int candidates = 0;
        for (const auto& [definition, listed] : listedBy) {
            if (std::popcount(static_cast<std::uint32_t>(definition ^ stated)) != 1) continue;
            if (listed.count(entry.pageNumber) == 0) continue;
            owner = definition;
            ++candidates;
        }
        if (candidates == 1) mends.push_back({entry.pageNumber, stated, owner});
    }
    return mends;
}

void ClaimMendedPages(const std::vector<OwnerMend>& mends, TableInfo& table) {
    if (mends.empty()) return;
    std::vector<std::int32_t>& pages = table.dataPages;
    for (const OwnerMend& mend : mends) {
        if (mend.stated == table.tdefPage) pages.erase(std::remove(pages.begin(), pages.end(), mend.page), pages.end());
        if (mend.owner == table.tdefPage && std::find(pages.begin(), pages.end(), mend.page) == pages.end())
            pages.push_back(mend.page);
    }
    std::sort(pages.begin(), pages.end());
}

}  // namespace pw
