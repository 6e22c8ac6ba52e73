#include "engine/UsageMaps.h"

#include <algorithm>

namespace pw {
namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kPageListMap = 0x01;
constexpr std::size_t kInlineHeader = 5;       // type and start page
constexpr std::size_t kMinInlineBitmap = 64;   // the size Access writes
constexpr std::size_t kMaxInlineBitmap = 3968;  // keeps the row well inside a page
constexpr std::size_t kMapPageHeader = 4;
constexpr std::int32_t kPagesPerMapPage = static_cast<std::int32_t>((kEnginePageSize - kMapPageHeader) * 8);

void SetBits(StoredBytes& bitmap, std::size_t offset, std::int32_t base, std::int32_t first, std::int32_t last) {
    for (std::int32_t p = first; p <= last; ++p) {
        const auto bit = static_cast<std::size_t>(p - base);
        bitmap[offset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
}

}  // namespace

StoredBytes EmptyMapRow() {
    StoredBytes row(kInlineHeader + kMinInlineBitmap, 0);
    row[0] = kInlineMap;
    return row;
}

StoredBytes UsedPagesMapRow(const PageRuns& runs, OutputFile& file) {
    if (runs.empty()) return EmptyMapRow();
    std::int32_t lowest = runs.front().first, highest = runs.front().second;
    for (const auto& [first, last] : runs) {
        lowest = std::min(lowest, first);
        highest = std::max(highest, last);
    }
    const std::int32_t start = lowest - lowest % 8;
    const auto bitmapBytes = static_cast<std::size_t>(highest - start) / 8 + 1;
    if (bitmapBytes <= kMaxInlineBitmap) {
        StoredBytes row(kInlineHeader + std::max(bitmapBytes, kMinInlineBitmap), 0);
        row[0] = kInlineMap;
        PutU32(row, 1, static_cast<std::uint32_t>(start));
        for (const auto& [first, last] : runs) SetBits(row, kInlineHeader, start, first, last);
        return row;
    }

    const std::int32_t ranges = highest / kPagesPerMapPage + 1;
    StoredBytes row(1 + 4 * static_cast<std::size_t>(ranges), 0);
    row[0] = kPageListMap;
    for (std::int32_t r = 0; r < ranges; ++r) {
        const std::int32_t base = r * kPagesPerMapPage;
        const std::int32_t end = base + kPagesPerMapPage - 1;
        StoredBytes page(kEnginePageSize, 0);
        page[0] = 0x05;
        page[1] = 0x01;
        bool any = false;
        for (const auto& [first, last] : runs) {
            const std::int32_t a = std::max(first, base), b = std::min(last, end);
            if (a > b) continue;
            SetBits(page, kMapPageHeader, base, a, b);
            any = true;
        }
        if (!any) continue;
        const std::int32_t number = file.Allocate();
        file.Write(number, page);
        PutU32(row, 1 + 4 * static_cast<std::size_t>(r), static_cast<std::uint32_t>(number));
    }
    return row;
}

}  // namespace pw
