#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "pagestore/SlotTable.h"

namespace pw {

// Whether the bytes from start to end (both included) read as one row of the
// table whose page is being walked.
using RowFits = std::function<bool(std::int32_t start, std::int32_t end)>;

enum class SlotRepair : std::uint8_t {
    None,      // the entry was believed
    Placed,    // the entry broke the order; its row was placed between its neighbours
    Unplaced,  // the entry broke the order and its row could not be placed
};

struct SlotTableRead {
    std::vector<SlotEntry> slots;  // one per slot, bounds as far as they could be set
    std::vector<SlotRepair> repairs;  // one per slot once any entry broke the order, else empty
    // Slots whose offset broke the order rows keep on a page (each starts
    // below the one before it), so their offset was not believed.
    std::int32_t outOfOrder = 0;
    // Of those, slots whose row could not be placed between its neighbours:
    // they are left without bytes (start 0, end -1), as is the row after one
    // unless it reads as a row from where its entry starts it.
    std::int32_t unplaced = 0;
};

// Reads the slot table of a data page. Access fills a page from its end, so
// each slot's row starts at or below the start of the slot before it, and
// above the slot table itself. Offsets that keep that order (the most slots
// that can) are believed, unless an entry cuts its own row and the next one
// so that neither reads as a row while another boundary makes both read. An
// offset not believed (a damaged entry) would cut its own row and the next
// one wrongly, so those rows are placed instead: between the believed neighbours, at the boundaries where every
// row of the run reads as a row (`fits`). A deleted slot may also have no
// bytes. The deleted and lookup flags stay as the entry states them, except
// that a placed row is live when no believed entry of the page is deleted.
SlotTableRead ReadSlotTable(ByteView page, std::int32_t rowCount, const RowFits& fits);

}  // namespace pw
