#include "engine/RowPage.h"

#include <algorithm>

namespace pw {

int RowPage::Add(StoredBytes row) {
    used_ += row.size();
    rows_.push_back(std::move(row));
    return static_cast<int>(rows_.size()) - 1;
}

StoredBytes RowPage::Render() const {
    StoredBytes page(4096, 0);
    page[0] = 0x01;
    page[1] = 0x01;
    PutU16(page, 2, static_cast<std::uint32_t>(FreeSpace()));
    if (longValues_) {
        page[4] = 'L';
        page[5] = 'V';
        page[6] = 'A';
        page[7] = 'L';
    } else {
        PutU32(page, 4, owner_);
    }
    PutU16(page, 12, static_cast<std::uint32_t>(rows_.size()));
    std::size_t end = 4096;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const std::size_t start = end - rows_[i].size();
        std::copy(rows_[i].begin(), rows_[i].end(), page.begin() + static_cast<std::ptrdiff_t>(start));
        PutU16(page, kHeaderSize + 2 * i, static_cast<std::uint32_t>(start));
        end = start;
    }
    return page;
}

}  // namespace pw
