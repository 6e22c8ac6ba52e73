#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/FieldReaders.h"

namespace pw {

// A data or long-value page lists its rows in a slot table after a 14-byte
// header; rows fill the page from its end, so a row ends where the row of
// the slot before it starts.
inline constexpr std::int32_t kSlotTableOffset = 14;
inline constexpr std::int32_t kSlotOffsetMask = 0x1FFF;
inline constexpr std::int32_t kSlotLookupFlag = 0x8000;
inline constexpr std::int32_t kSlotDeletedFlag = 0x4000;

struct SlotEntry {
    std::int32_t start = 0;  // first byte of the row on its page
    std::int32_t end = -1;   // last byte; end < start for a row without bytes
    bool lookup = false;     // the row holds a pointer to the row's overflow
    bool deleted = false;
};

// Slot `index` of the page; reads outside the page give zeros, never a fault.
// Inline: a walk calls it for every row it meets.
inline SlotEntry ReadSlot(ByteView page, std::int32_t index) {
    const std::int64_t at = kSlotTableOffset + 2 * static_cast<std::int64_t>(index);
    const std::int32_t raw = ReadUInt16(page, at);
    const std::int32_t previous =
        index == 0 ? static_cast<std::int32_t>(kPageSize) : (ReadUInt16(page, at - 2) & kSlotOffsetMask);
    SlotEntry slot;
    slot.start = raw & kSlotOffsetMask;
    slot.end = previous - 1;
    slot.lookup = (raw & kSlotLookupFlag) != 0;
    slot.deleted = (raw & kSlotDeletedFlag) != 0;
    return slot;
}

}  // namespace pw
