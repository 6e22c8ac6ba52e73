#include "pagestore/SlotTable.h"

#include "pagestore/FieldReaders.h"

namespace pw {

SlotEntry ReadSlot(ByteView page, std::int32_t index) {
    const std::int64_t at = kSlotTableOffset + 2 * static_cast<std::int64_t>(index);
    const std::int32_t raw = ReadUInt16(page, at);
    const std::int32_t previous = index == 0 ? static_cast<std::int32_t>(kPageSize) : (ReadUInt16(page, at - 2) & kSlotOffsetMask);
    SlotEntry slot;
    slot.start = raw & kSlotOffsetMask;
    slot.end = previous - 1;
    slot.lookup = (raw & kSlotLookupFlag) != 0;
    slot.deleted = (raw & kSlotDeletedFlag) != 0;
    return slot;
}

}  // namespace pw
