#pragma once

#include <cstdint>

namespace pw {

// Page size and the fixed field offsets of the 4096-byte (Jet 4 / ACE) layout
// that the salvage reads.
struct PageLayout {
    std::int32_t pageSize = 0;
    std::int32_t dataRowCountOffset = 0;
    std::int32_t tdefRowCountOffset = 0;
    std::int32_t tableTypeOffset = 0;
    std::int32_t maxColumnsOffset = 0;
    std::int32_t varColumnsOffset = 0;
    std::int32_t columnCountOffset = 0;
    std::int32_t realIndexCountOffset = 0;
    std::int32_t realIndexEntrySize = 0;
    std::int32_t columnRecordSize = 0;

    static constexpr PageLayout Jet4() {
        PageLayout l;
        l.pageSize = 4096;
        l.dataRowCountOffset = 12;
        l.tdefRowCountOffset = 16;
        l.tableTypeOffset = 40;
        l.maxColumnsOffset = 41;
        l.varColumnsOffset = 43;
        l.columnCountOffset = 45;
        l.realIndexCountOffset = 51;
        l.realIndexEntrySize = 12;
        l.columnRecordSize = 25;
        return l;
    }
};

}  // namespace pw
