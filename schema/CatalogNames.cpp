#include "schema/CatalogNames.h"

#include <cstdio>
#include <string>
#include <unordered_map>

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotTable.h"
#include "pagestore/TextDecoding.h"
#include "schema/RowShape.h"
#include "schema/SystemTableSignatures.h"
#include "schema/UncataloguedNames.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

constexpr std::int32_t kCatalogDefinitionPage = 2;
constexpr int kNameStart = 32;
constexpr int kMaxNameBytes = 512;
constexpr int kTableObject = 1;
constexpr int kFlagsPosition = 28;
constexpr std::uint32_t kSystemObjectFlag = 0x80000000u;

// Access's own tables are told by the "MSys" their names start with; one
// flipped bit there would show one of them (the navigation pane's lists,
// its storage) as a table of the user's, rows and all. A name whose first
// four characters are one flipped bit from "MSys", and which that bit undone
// names one of Access's own tables, is mended.
bool MendSystemPrefix(std::string& name) {
    static constexpr char32_t kPrefix[] = {U'M', U'S', U'y', U's'};
    std::u32string points = Utf8CodePoints(name);
    if (points.size() <= 4) return false;
    int differing = -1;
    for (int k = 0; k < 4; ++k) {
        if (points[static_cast<std::size_t>(k)] == kPrefix[k]) continue;
        if (differing >= 0) return false;
        differing = k;
    }
    if (differing < 0) return false;
    const char32_t flip = points[static_cast<std::size_t>(differing)] ^ kPrefix[differing];
    if ((flip & (flip - 1)) != 0) return false;
    points[static_cast<std::size_t>(differing)] = kPrefix[differing];
    std::string mended;
    for (char32_t cp : points) AppendUtf8(mended, cp);
    if (!IsAccessSystemTableName(mended)) return false;
    name = std::move(mended);
    return true;
}

void ReadCatalogPage(ByteView page, std::int32_t pageNumber, std::int16_t rowCount, std::vector<CatalogEntry>& out,
                     const RunControl& run) {
    // A deleted row may hold anything: only a live row that cannot be read is damage.
    auto unreadable = [&](int slot, bool deleted, const char* reason) {
        if (!deleted) run.Report({DamageKind::CatalogRowUnreadable, pageNumber, slot, {}, reason});
    };
    const SlotTableRead slots = ReadSlotsByShape(page, rowCount);
    for (int i = 0; i < static_cast<int>(slots.slots.size()); ++i) {
        const SlotEntry& slot = slots.slots[static_cast<std::size_t>(i)];
        if (!slots.repairs.empty() && slots.repairs[static_cast<std::size_t>(i)] == SlotRepair::Placed)
            run.Report({DamageKind::SlotOutsidePage, pageNumber, i, "MSysObjects",
                        "slot entry out of order: its row was placed between the rows around it"});
        const std::int32_t start = slot.start;
        const std::int32_t end = slot.end;
        if (start > kPageSize || end < 0 || end > kPageSize || end - 9 <= start + 13) {
            unreadable(i, slot.deleted, "row does not fit its slot");
            continue;
        }

        CatalogEntry entry;
        entry.id = ReadInt32(page, start + 2);
        // Access gives some of its own objects ids with the top bit set:
        // no table, and no damage either.
        if (entry.id < 0) continue;
        entry.type = ReadUInt16(page, start + 10) & 0x7F;
        entry.flags = static_cast<std::uint32_t>(ReadInt32(page, start + kFlagsPosition));
        const std::int32_t nameEnd = ReadUInt16(page, end - 8);
        const std::int32_t length = nameEnd - kNameStart;
        if (length < 0 || length > kMaxNameBytes || start + nameEnd > end) {
            unreadable(i, slot.deleted, "name outside the row");
            continue;
        }
        entry.name = DecodeJetText(page, start + kNameStart, length);
        if (entry.name.empty()) continue;
        if (MendSystemPrefix(entry.name) && !slot.deleted)
            run.Report({DamageKind::RowRepaired, pageNumber, i, "MSysObjects",
                        "catalog row mended: a flipped bit of the \"MSys\" its name starts with undone (" +
                            entry.name + ")"});
        entry.deleted = slot.deleted;
        out.push_back(std::move(entry));
    }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// A live catalog row that names a user table nobody found is a whole table
// lost: its definition and every page of its rows are gone. Telling it is the
// only trace of that table the user gets.
void ReportIfUserTableLost(const CatalogEntry& entry, const RunControl& run) {
    if (entry.deleted || entry.type != kTableObject || (entry.flags & kSystemObjectFlag) != 0 ||
        StartsWith(entry.name, "MSys"))
        return;
    run.Report({DamageKind::DefinitionRejected, entry.id, -1, entry.name,
                "the catalog names this table, but neither its definition nor any page of its rows is left"});
}

}  // namespace

std::vector<CatalogEntry> ReadCatalogEntries(const PageSource& pages, const RunControl& run) {
    std::vector<CatalogEntry> entries;
    PageBuffer page;
    for (const PageMapEntry& e : pages.Map()) {
        if (!IsPageOfType(e, PageType::Data) || e.link != kCatalogDefinitionPage) continue;
        pages.ReadPage(page, e.pageNumber);
        ReadCatalogPage(ByteView(page), e.pageNumber, e.rowCount, entries, run);
    }
    return entries;
}

std::int32_t ApplyCatalogNames(const PageSource& pages, std::vector<TableInfo>& tables, const RunControl& run) {
    std::unordered_map<std::int32_t, std::size_t> byPage;
    for (std::size_t i = 0; i < tables.size(); ++i) byPage.emplace(tables[i].tdefPage, i);

    // A live row names its table even when a deleted row of a dropped object
    // that once used the same page comes later; a deleted row only names a
    // table that no live row names.
    std::vector<bool> namedByLiveRow(tables.size(), false);
    std::vector<bool> systemObject(tables.size(), false);
    for (const CatalogEntry& entry : ReadCatalogEntries(pages, run)) {
        auto found = byPage.find(entry.id);
        if (found == byPage.end()) {
            ReportIfUserTableLost(entry, run);
            continue;
        }
        const std::size_t index = found->second;
        if (entry.deleted && namedByLiveRow[index]) continue;
        tables[index].tableType = entry.type;
        tables[index].name = entry.name;
        systemObject[index] = (entry.flags & kSystemObjectFlag) != 0;
        if (!entry.deleted) namedByLiveRow[index] = true;
    }

    NameUncataloguedTables(pages, tables, systemObject);

    int orphans = 0;
    for (std::size_t i = tables.size(); i-- > 0;) {
        TableInfo& table = tables[i];
        if (StartsWith(table.name, "Recovered Table ")) {
            table.tableType = kTableObject;
            char name[40];
            std::snprintf(name, sizeof name, "Recovered Table %02d", ++orphans);
            table.name = name;
            table.generatedName = true;
            table.nameSource = NameSource::Generated;
        }
        // Access keeps the storage behind attachment and multi-value columns in
        // hidden tables flagged as its own; they are not user tables.
        if (table.tableType != kTableObject || StartsWith(table.name, "MSys") || systemObject[i])
            tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i));
    }

    run.Status("Unnamed tables found = " + std::to_string(orphans));
    return orphans;
}

}  // namespace pw
