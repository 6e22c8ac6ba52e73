#include "pagestore/DbReader.h"
#include "pagestore/FieldReaders.h"

namespace pw {

int CDbReader::AppendScannedPage(const PageBuffer& page, std::int32_t number, std::int64_t offset) {
    ByteView view(page);
    PageMapEntry entry;
    entry.pageNumber = number;
    entry.fileOffset = offset;
    entry.pageType = static_cast<std::int16_t>(ReadInt8(view, 0));
    if (entry.pageType == 1 || entry.pageType == 2) {
        entry.freeSpace = static_cast<std::uint16_t>(ReadUInt16(view, 2));
        entry.link = ReadInt32(view, 4);
        const int rowCountAt = entry.pageType == 1 ? layout_.dataRowCountOffset : layout_.tdefRowCountOffset;
        entry.rowCount = static_cast<std::int16_t>(ReadUInt16(view, rowCountAt));
    }
    pageMap_.push_back(entry);
    return static_cast<int>(pageMap_.size());
}

int CDbReader::ScanPages() {
    if (!file_.IsOpen()) return -1;
    if (layout_.pageSize == 0) LoadPageLayout();
    scanKind_ = ScanKind::Standard;
    const std::int64_t totalPages = file_.Size() / layout_.pageSize;
    status_->pagesTotal = static_cast<std::int32_t>(totalPages);
    status_->pagesRead = 0;
    pageMap_.clear();
    pageMap_.reserve(static_cast<std::size_t>(totalPages + 1));

    PageBuffer page;
    for (std::int64_t n = 0;; ++n) {
        const std::int64_t offset = n * layout_.pageSize;
        page.fill(0);
        if (file_.ReadAt(offset, page.data(), page.size()) <= 0) {
            status_->pagesRead = static_cast<std::int32_t>(totalPages);
            break;
        }
        status_->pagesRead = AppendScannedPage(page, static_cast<std::int32_t>(n), offset);
        status_->PostStatus();
        if (status_->StopRequested()) break;
    }
    return static_cast<int>(pageMap_.size());
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
    const std::int64_t totalPages = file_.Size() / layout_.pageSize;
    status_->pagesTotal = static_cast<std::int32_t>(totalPages);
    status_->pagesRead = 0;
    pageMap_.reserve(static_cast<std::size_t>(totalPages + 2));

    PageBuffer page;
    for (std::int64_t n = 1, p = position;; ++n, p += layout_.pageSize) {
        if (ReadAt(page, p) <= 0) {
            status_->pagesRead = static_cast<std::int32_t>(totalPages);
            break;
        }
        status_->pagesRead = AppendScannedPage(page, static_cast<std::int32_t>(n), p);
        status_->PostStatus();
        if (status_->StopRequested()) break;
    }
    return static_cast<int>(pageMap_.size());
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
