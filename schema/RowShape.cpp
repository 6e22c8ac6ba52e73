#include "schema/RowShape.h"

#include "pagestore/FieldReaders.h"

namespace pw {

bool RowFrame::MaskBit(ByteView page, std::int32_t columnNumber) const {
    if (columnNumber < 0 || columnNumber / 8 >= maskLength) return false;
    const std::int32_t at = end - maskLength + 1 + columnNumber / 8;
    return ((ReadInt8(page, at) >> (columnNumber % 8)) & 1) != 0;
}

std::int32_t RowFrame::StoredVarCount(ByteView page) const { return ReadUInt16(page, VarCountPosition()); }

std::int32_t RowFrame::StoredVarOffset(ByteView page, std::int32_t k) const {
    return ReadUInt16(page, VarCountPosition() - 2 - 2 * k);
}

RowFrame ReadRowFrame(ByteView page, std::int32_t start, std::int32_t end) {
    RowFrame frame;
    frame.start = start;
    frame.end = end;
    frame.storedColumns = ReadUInt16(page, start);
    frame.maskLength = MaskLengthFor(frame.storedColumns);
    return frame;
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
    static_cast<RowFrame&>(shape) = ReadRowFrame(page, slot.start, slot.end);
    if (shape.storedColumns == 0 || shape.storedColumns > kMaxRowColumns) return false;
    if (!hasVariable) {
        if (length < 2 + shape.maskLength) return false;
        shape.fixedEnd = length - shape.maskLength;
        shape.varOffsets.assign(1, shape.fixedEnd);
        return true;
    }
    // Count word, end-of-data word and the column count itself.
    if (length < 2 + shape.maskLength + 4) return false;
    const std::int32_t varCount = shape.StoredVarCount(page);
    if (varCount > shape.storedColumns) return false;
    // Row-relative position of the end-of-data word.
    const std::int32_t endWord = length - shape.maskLength - 4 - 2 * varCount;
    if (endWord < 2) return false;
    shape.varOffsets.resize(static_cast<std::size_t>(varCount) + 1);
    std::int32_t previous = 2;
    for (std::int32_t k = 0; k <= varCount; ++k) {
        const std::int32_t offset = shape.StoredVarOffset(page, k);
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
