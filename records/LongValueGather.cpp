#include "records/LongValueGather.h"

#include <algorithm>
#include <set>
#include <utility>

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotTable.h"

namespace pw {
namespace {

constexpr std::int64_t kChainPointerSize = 4;

// A row's first and last byte on its page, both inclusive. last < first means
// the slot table describes a row without bytes.
struct RowSpan {
    std::int64_t first = 0;
    std::int64_t last = -1;
};

// Where a long-value pointer leads.
struct PointerTarget {
    std::int32_t row = 0;
    std::int64_t page = 0;
};

PointerTarget ReadPointer(ByteView bytes, std::int64_t offset) {
    return {ReadInt8(bytes, offset), ReadUInt24(bytes, offset + 1)};
}

// The row's bounds from the slot table. When the entry before the row's
// points outside the page, that entry is the damaged one and the row's end
// went with it: the row then ends where its value does, when the value's
// length is known (`expected`, -1 when not), and never past the row above.
// Every other row is read as its entries state.
SlotEntry RowBounds(ByteView page, std::int32_t rowCount, std::int32_t row, std::int64_t expected) {
    SlotEntry slot = ReadSlot(page, row);
    if (expected <= 0 || row <= 0) return slot;
    const std::int32_t low = kSlotTableOffset + 2 * rowCount;
    auto startOf = [&](std::int32_t i) { return ReadUInt16(page, kSlotTableOffset + 2 * i) & kSlotOffsetMask; };
    auto onPage = [&](std::int32_t start) { return start >= low && start <= kPageSize; };
    if (!onPage(slot.start) || onPage(startOf(row - 1))) return slot;
    std::int32_t above = kPageSize;
    for (std::int32_t i = row - 2; i >= 0; --i)
        if (onPage(startOf(i)) && startOf(i) >= slot.start) {
            above = startOf(i);
            break;
        }
    slot.end = static_cast<std::int32_t>(std::min<std::int64_t>(slot.start + expected, above) - 1);
    return slot;
}

// Reads the page a pointer names into `buffer` and finds the row in it. The
// result is Chain when the row was found (the form is only used as a reason).
LongValueForm LoadRow(const PageSource& pages, PointerTarget target, PageBuffer& buffer, RowSpan& span,
                      std::int64_t expected = -1) {
    const PageMap& map = pages.Map();
    if (target.page < 0 || target.page >= static_cast<std::int64_t>(map.size()))
        return LongValueForm::PageOutsideMap;
    const PageMapEntry& entry = map[static_cast<std::size_t>(target.page)];
    if (entry.link != kLongValueLink) return LongValueForm::NotLongValuePage;
    if (target.row < 0 || target.row >= entry.rowCount) return LongValueForm::RowNotOnPage;
    if (entry.fileOffset < 0 || !pages.ReadPage(buffer, static_cast<std::int32_t>(target.page)).anyBytes())
        return LongValueForm::PageOutsideMap;

    const SlotEntry slot = RowBounds(ByteView(buffer), entry.rowCount, target.row, expected);
    span.first = slot.start;
    span.last = slot.end;
    if (span.first >= kPageSize || span.last >= kPageSize) return LongValueForm::RowOutsidePage;
    return LongValueForm::Chain;
}

std::string RowBytes(const PageBuffer& buffer, std::int64_t first, std::int64_t last) {
    if (last < first) return {};
    return ExtractRawText(ByteView(buffer), first, last - first + 1);
}

void CutToDeclaredLength(std::string& bytes, std::int64_t declared) {
    if (static_cast<std::int64_t>(bytes.size()) > declared) bytes.resize(static_cast<std::size_t>(declared));
}

std::string GatherSingleRow(const PageSource& pages, PointerTarget target, std::int64_t declared,
                            LongValueForm& form) {
    PageBuffer buffer{};
    RowSpan span;
    const LongValueForm found = LoadRow(pages, target, buffer, span, declared);
    if (found != LongValueForm::Chain) {
        form = found;
        return {};
    }
    form = LongValueForm::SingleRow;
    std::string bytes = RowBytes(buffer, span.first, span.last);
    CutToDeclaredLength(bytes, declared);
    return bytes;
}

std::string GatherChain(const PageSource& pages, PointerTarget target, std::int64_t declared, LongValueIssue& issue) {
    std::string bytes;
    // Each row is read at most once, so a chain that points back on itself
    // ends, and the walk is bounded by the rows of the file.
    std::set<std::pair<std::int64_t, std::int32_t>> visited;
    PageBuffer buffer{};
    while (target.page != 0 && static_cast<std::int64_t>(bytes.size()) < declared) {
        if (!visited.insert({target.page, target.row}).second) {
            issue = LongValueIssue::Loop;
            break;
        }
        RowSpan span;
        // A row too small for its own next pointer has no trustworthy pointer.
        if (LoadRow(pages, target, buffer, span) != LongValueForm::Chain ||
            span.last - span.first + 1 < kChainPointerSize) {
            issue = LongValueIssue::Broken;
            break;
        }
        bytes += RowBytes(buffer, span.first + kChainPointerSize, span.last);
        target = ReadPointer(ByteView(buffer), span.first);
    }
    CutToDeclaredLength(bytes, declared);
    return bytes;
}

}  // namespace

ValueProblem LongValueProblem(LongValueIssue issue) {
    switch (issue) {
        case LongValueIssue::None: return ValueProblem::None;
        case LongValueIssue::Broken: return ValueProblem::PointerBroken;
        case LongValueIssue::Loop: return ValueProblem::ChainLoop;
    }
    return ValueProblem::None;
}

std::int32_t LongValueFlagWord(ByteView page, std::int64_t position) {
    return ReadUInt16(page, position + 2);
}

std::string GatherLongValue(const PageSource& pages, ByteView page, std::int64_t position,
                            std::int64_t length, LongValueForm& form, LongValueIssue* issue) {
    LongValueIssue ignored = LongValueIssue::None;
    LongValueIssue& found = issue != nullptr ? *issue : ignored;
    found = LongValueIssue::None;
    // A header outside the page cannot be read at all; that is no different
    // from a field too short to hold one.
    if (length < kLongValueHeaderSize || position < 0 || position > static_cast<std::int64_t>(page.size())) {
        form = LongValueForm::TooShort;
        return {};
    }
    const std::int64_t declared = ReadUInt24(page, position);
    const auto flag = static_cast<std::uint8_t>(ReadInt8(page, position + 3));
    const PointerTarget first = ReadPointer(page, position + 4);
    switch (flag) {
        case kLongValueInline:
            form = LongValueForm::Inline;
            return ExtractRawText(page, position + kLongValueHeaderSize, length - kLongValueHeaderSize);
        case kLongValueSingleRow: {
            std::string bytes = GatherSingleRow(pages, first, declared, form);
            if (form != LongValueForm::SingleRow) found = LongValueIssue::Broken;
            return bytes;
        }
        case kLongValueChain:
            form = LongValueForm::Chain;
            return GatherChain(pages, first, declared, found);
        default:
            form = LongValueForm::Unhandled;
            return {};
    }
}

}  // namespace pw
