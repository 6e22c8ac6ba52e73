#include "schema/RowShape.h"

#include "pagestore/FieldReaders.h"

namespace pw {

bool RowShape::MaskBit(ByteView page, std::int32_t columnNumber) const {
    if (columnNumber < 0 || columnNumber / 8 >= maskLength) return false;
    const std::int32_t at = end - maskLength + 1 + columnNumber / 8;
    return ((ReadInt8(page, at) >> (columnNumber % 8)) & 1) != 0;
}

bool ReadRowShape(ByteView page, const SlotEntry& slot, bool hasVariable, RowShape& shape) {
    const auto pageSize = static_cast<std::int32_t>(page.size());
    shape = RowShape{};
    shape.start = slot.start;
    shape.end = slot.end;
    shape.hasVariable = hasVariable;
    if (slot.start < kSlotTableOffset || slot.end >= pageSize || slot.end < slot.start) return false;
    const std::int32_t length = shape.Length();
    if (length < 3) return false;
    shape.storedColumns = ReadUInt16(page, shape.start);
    if (shape.storedColumns == 0 || shape.storedColumns > kMaxRowColumns) return false;
    shape.maskLength = (shape.storedColumns - 1) / 8 + 1;
    if (!hasVariable) {
        if (length < 2 + shape.maskLength) return false;
        shape.fixedEnd = length - shape.maskLength;
        shape.varOffsets.assign(1, shape.fixedEnd);
        return true;
    }
    // Count word, end-of-data word and the column count itself.
    if (length < 2 + shape.maskLength + 4) return false;
    const std::int32_t varCount = ReadUInt16(page, shape.end - shape.maskLength - 1);
    if (varCount > shape.storedColumns) return false;
    // Row-relative position of the end-of-data word.
    const std::int32_t endWord = length - shape.maskLength - 4 - 2 * varCount;
    if (endWord < 2) return false;
    shape.varOffsets.resize(static_cast<std::size_t>(varCount) + 1);
    std::int32_t previous = 2;
    for (std::int32_t k = 0; k <= varCount; ++k) {
        const std::int32_t offset = ReadUInt16(page, shape.end - shape.maskLength - 3 - 2 * k);
        if (offset < previous || offset > endWord) return false;
        shape.varOffsets[static_cast<std::size_t>(k)] = offset;
        previous = offset;
    }
    shape.fixedEnd = shape.varOffsets.front();
    shape.tight = DataMeetsOffsetTable(endWord - shape.varOffsets.back());
    return true;
}

SlotTableRead ReadSlotsByShape(ByteView page, std::int32_t rowCount) {
    return ReadSlotTable(page, rowCount, [page](std::int32_t start, std::int32_t end) {
        SlotEntry slot;
        slot.start = start;
        slot.end = end;
        RowShape shape;
        return ReadRowShape(page, slot, true, shape) && shape.tight;
    });
}

}  // namespace pw
