#pragma once

#include <cstdint>
#include <vector>

#include "engine/StoredBytes.h"

namespace pw {

// Row pointer of long values and usage maps: page number in the upper three
// bytes, row index in the lowest.
inline std::uint32_t RowPointer(std::int32_t page, int row) {
    return (static_cast<std::uint32_t>(page) << 8) | static_cast<std::uint32_t>(row);
}

// A data page being filled: rows are stacked down from the end of the page,
// their offsets listed after the 14-byte header. Long-value pages are data
// pages whose owner field holds "LVAL".
class RowPage {
public:
    static constexpr std::size_t kHeaderSize = 14;
    static constexpr int kMaxRows = 255;  // a row pointer holds the row index in one byte
    // The largest row one page holds.
    static constexpr std::size_t kMaxRowSize = 4096 - kHeaderSize - 2;

    RowPage(std::uint32_t ownerField, bool longValues) : owner_(ownerField), longValues_(longValues) {}

    bool empty() const { return rows_.empty(); }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    bool Fits(std::size_t rowSize) const {
        return rows_.size() < kMaxRows && kHeaderSize + 2 * (rows_.size() + 1) + used_ + rowSize <= 4096;
    }
    std::size_t FreeSpace() const { return 4096 - kHeaderSize - 2 * rows_.size() - used_; }
    // The row index the row got.
    int Add(StoredBytes row);
    void Clear() {
        rows_.clear();
        used_ = 0;
    }
    StoredBytes Render() const;

private:
    std::uint32_t owner_;
    bool longValues_;
    std::vector<StoredBytes> rows_;
    std::size_t used_ = 0;
};

}  // namespace pw
