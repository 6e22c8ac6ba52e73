// The rows of a data page, walked and decoded against the small table
// the input's first bytes name (fuzz/TableShape.h); long values are looked
// for on the input's second page. The page is also read the way rows are
// read without a definition, through their own shape.

#include <cstdint>

#include "fuzz/PageBundle.h"
#include "fuzz/TableShape.h"
#include "records/RowWalk.h"
#include "schema/RowShape.h"
#include "status/DamageReport.h"

namespace {

bool IsRowPage(const pw::PageMapEntry& entry) {
    return entry.fileOffset >= 0 && pw::IsPageOfType(entry, pw::PageType::Data) && entry.link != pw::kLongValueLink;
}

// What reading rows by their shape makes of every slot of the page.
std::size_t ReadByShape(pw::ByteView page, std::int16_t rowCount) {
    const pw::SlotTableRead slots = pw::ReadSlotsByShape(page, rowCount);
    std::size_t values = 0;
    for (const pw::SlotEntry& slot : slots.slots) {
        pw::RowShape shape;
        for (bool hasVariable : {false, true})
            if (pw::ReadRowShape(page, slot, hasVariable, shape)) values += shape.varOffsets.size();
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pw::fuzz::ShapedInput shaped = pw::fuzz::ReadTableShape(pw::ByteView(data, size));
    const pw::fuzz::PageBundle pages(shaped.rest, 2);
    pw::TableInfo& table = shaped.table;
    std::size_t seen = 0;
    for (std::int32_t n : pages.numbers()) {
        const pw::PageMapEntry& entry = pages.Map()[static_cast<std::size_t>(n)];
        if (!IsRowPage(entry)) continue;
        // A second page stands for one the usage map released: the walk
        // reads such pages only for deleted and stale rows.
        if (shaped.options.includeDeleted && !table.dataPages.empty())
            table.stalePages.push_back(n);
        else
            table.dataPages.push_back(n);
        pw::PageBuffer page;
        pages.ReadPage(page, n);
        seen += ReadByShape(pw::ByteView(page), entry.rowCount);
    }
    if (table.dataPages.empty()) return 0;
    table.tdefPage = pages.Map()[static_cast<std::size_t>(table.dataPages.front())].link;

    pw::DamageReport damage;
    const pw::RunControl run{nullptr, nullptr, &damage};
    pw::ForEachRow(
        pages, table, run,
        [&seen](const pw::WalkedRow& row) {
            for (const pw::CellValue& cell : row.cells) seen += cell.text.size() + cell.value.text.size();
            return true;
        },
        shaped.options);
    return seen == static_cast<std::size_t>(-1);
}
