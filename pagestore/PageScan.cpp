#include "pagestore/DbReader.h"
#include "pagestore/FieldReaders.h"

#include <algorithm>
#include <vector>

namespace pw {

int CDbReader::AppendScannedPage(ByteView page, std::int32_t number, std::int64_t offset) {
    PageMapEntry entry;
    entry.pageNumber = number;
    entry.fileOffset = offset;
    entry.pageType = static_cast<std::int16_t>(ReadInt8(page, 0));
    if (entry.pageType == 1 || entry.pageType == 2) {
        entry.freeSpace = static_cast<std::uint16_t>(ReadUInt16(page, 2));
        entry.link = ReadInt32(page, 4);
        const int rowCountAt = entry.pageType == 1 ? layout_.dataRowCountOffset : layout_.tdefRowCountOffset;
        entry.rowCount = static_cast<std::int16_t>(ReadUInt16(page, rowCountAt));
    }
    pageMap_.push_back(entry);
    return static_cast<int>(pageMap_.size());
}

int CDbReader::ScanFrom(std::int64_t position, std::int32_t firstNumber) {
    const std::int64_t pageSize = layout_.pageSize;
    const std::int64_t totalPages = file_.Size() / pageSize;
    status_->pagesTotal = static_cast<std::int32_t>(totalPages);
    status_->pagesRead = 0;
    pageMap_.reserve(pageMap_.size() + static_cast<std::size_t>(totalPages + 1));

    // Pages are read in large blocks and cut apart: every page is still read
    // once and acknowledged one by one.
    constexpr std::int64_t kPagesPerRead = 256;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kPagesPerRead * pageSize));
    std::int32_t number = firstNumber;
    for (std::int64_t blockStart = position;; blockStart += kPagesPerRead * pageSize) {
        std::fill(block.begin(), block.end(), 0);
        const std::int64_t got = file_.ReadAt(blockStart, block.data(), block.size());
        if (got <= 0) {
            status_->pagesRead = static_cast<std::int32_t>(totalPages);
            break;
        }
        const std::int64_t pagesInBlock = (got + pageSize - 1) / pageSize;
        for (std::int64_t k = 0; k < pagesInBlock; ++k, ++number) {
            ByteView page(block.data() + k * pageSize, static_cast<std::size_t>(pageSize));
            status_->pagesRead = AppendScannedPage(page, number, blockStart + k * pageSize);
            status_->PostStatus();
            if (status_->StopRequested()) return static_cast<int>(pageMap_.size());
        }
        if (got < static_cast<std::int64_t>(block.size())) {
            status_->pagesRead = static_cast<std::int32_t>(totalPages);
            break;
        }
    }
    return static_cast<int>(pageMap_.size());
}

int CDbReader::ScanPages() {
    if (!file_.IsOpen()) return -1;
    if (layout_.pageSize == 0) LoadPageLayout();
    scanKind_ = ScanKind::Standard;
    pageMap_.clear();
    return ScanFrom(0, 0);
}

int CDbReader::ScanShiftedPages(std::int64_t position) {
    pageMap_.clear();
    PageMapEntry absent;
    absent.pageNumber = 0;
    absent.fileOffset = -1;
    absent.link = 0;
    pageMap_.push_back(absent);
    if (!file_.IsOpen()) return -1;
    if (layout_.pageSize == 0) LoadPageLayout();
    scanKind_ = ScanKind::Shifted;
    return ScanFrom(position, 1);
}

int CDbReader::ReadPage(PageBuffer& buffer, std::int32_t n) const {
    buffer.fill(0);
    if (!file_.IsOpen()) return -1;
    std::int64_t position = 0;
    if (n >= 0 && static_cast<std::size_t>(n) < pageMap_.size() && pageMap_[static_cast<std::size_t>(n)].pageNumber == n) {
        position = pageMap_[static_cast<std::size_t>(n)].fileOffset;
        if (position == -1) return -1;
    }
    return static_cast<int>(file_.ReadAt(position, buffer.data(), buffer.size()));
}

}  // namespace pw
