#include "schema/CatalogNames.h"

#include <cstdio>
#include <unordered_map>

#include "pagestore/FieldReaders.h"
#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

constexpr std::int32_t kCatalogDefinitionPage = 2;
constexpr int kSlotOffsetMask = 0x1FFF;
constexpr int kDeletedFlag = 0x4000;
constexpr int kNameStart = 32;
constexpr int kMaxNameBytes = 512;
constexpr int kTableObject = 1;
constexpr int kFlagsPosition = 28;
constexpr std::uint32_t kSystemObjectFlag = 0x80000000u;

void ReadCatalogPage(ByteView page, std::int16_t rowCount, std::vector<CatalogEntry>& out) {
    for (int i = 0; i < rowCount; ++i) {
        const std::int32_t slot = ReadUInt16(page, 14 + 2 * i);
        const std::int32_t start = slot & kSlotOffsetMask;
        const std::int32_t previous = i == 0 ? kPageSize : (ReadUInt16(page, 12 + 2 * i) & kSlotOffsetMask);
        const std::int32_t end = (previous - 1) & kSlotOffsetMask;
        if (start > kPageSize || end > kPageSize || end - 9 <= start + 13) continue;

        CatalogEntry entry;
        entry.id = ReadInt32(page, start + 2);
        if (entry.id < 0) continue;
        entry.type = ReadUInt16(page, start + 10) & 0x7F;
        entry.flags = static_cast<std::uint32_t>(ReadInt32(page, start + kFlagsPosition));
        const std::int32_t nameEnd = ReadUInt16(page, end - 8);
        const std::int32_t length = nameEnd - kNameStart;
        if (length < 0 || length > kMaxNameBytes || start + nameEnd > end) continue;
        entry.name = DecodeJetText(page, start + kNameStart, length);
        if (entry.name.empty()) continue;
        entry.deleted = (slot & kDeletedFlag) != 0;
        out.push_back(std::move(entry));
    }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<CatalogEntry> ReadCatalogEntries(const PageSource& pages) {
    std::vector<CatalogEntry> entries;
    PageBuffer page;
    for (const PageMapEntry& e : pages.Map()) {
        if (e.pageType != 1 || e.link != kCatalogDefinitionPage) continue;
        pages.ReadPage(page, e.pageNumber);
        ReadCatalogPage(ByteView(page), e.rowCount, entries);
    }
    return entries;
}

int ApplyCatalogNames(const PageSource& pages, std::vector<TableInfo>& tables, RecoveryStatus& status) {
    std::unordered_map<std::int32_t, std::size_t> byPage;
    for (std::size_t i = 0; i < tables.size(); ++i) byPage.emplace(tables[i].tdefPage, i);

    // A live row names its table even when a deleted row of a dropped object
    // that once used the same page comes later; a deleted row only names a
    // table that no live row names.
    std::vector<bool> namedByLiveRow(tables.size(), false);
    std::vector<bool> systemObject(tables.size(), false);
    for (const CatalogEntry& entry : ReadCatalogEntries(pages)) {
        auto found = byPage.find(entry.id);
        if (found == byPage.end()) continue;
        const std::size_t index = found->second;
        if (entry.deleted && namedByLiveRow[index]) continue;
        tables[index].tableType = entry.type;
        tables[index].name = entry.name;
        systemObject[index] = (entry.flags & kSystemObjectFlag) != 0;
        if (!entry.deleted) namedByLiveRow[index] = true;
    }

    int orphans = 0;
    for (std::size_t i = tables.size(); i-- > 0;) {
        TableInfo& table = tables[i];
        if (StartsWith(table.name, "Recovered Table ")) {
            table.tableType = kTableObject;
            char name[40];
            std::snprintf(name, sizeof name, "Recovered Table %02d", ++orphans);
            table.name = name;
            table.generatedName = true;
        }
        // Access keeps the storage behind attachment and multi-value columns in
        // hidden tables flagged as its own; they are not user tables.
        if (table.tableType != kTableObject || StartsWith(table.name, "MSys") || systemObject[i])
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i));
    }

    status.unnamedTables = orphans;
    status.setStatusLine("Unnamed tables found = " + std::to_string(orphans));
    status.PostStatus();
    return 1;
}

}  // namespace pw
