#include <algorithm>
#include <cstring>
#include <vector>

#include "pagestore/DbReader.h"
#include "pagestore/FieldReaders.h"

namespace pw {

void CDbReader::AppendScannedPage(ByteView page, std::int32_t number, std::int64_t offset) {
    PageMapEntry entry;
    entry.pageNumber = number;
    entry.fileOffset = offset;
    entry.pageType = static_cast<std::int16_t>(ReadInt8(page, 0));
    const bool data = IsPageOfType(entry, PageType::Data);
    if (data || IsPageOfType(entry, PageType::TableDefinition)) {
        entry.freeSpace = static_cast<std::uint16_t>(ReadUInt16(page, 2));
        entry.link = ReadInt32(page, 4);
        entry.rowCount =
            static_cast<std::int16_t>(ReadUInt16(page, data ? layout_.dataRowCountOffset : layout_.tdefRowCountOffset));
    }
    pageMap_.push_back(entry);
}

std::int64_t CDbReader::ScanFrom(std::int64_t position, std::int32_t firstNumber, const RunControl& run) {
    const std::int64_t pageSize = layout_.pageSize;
    const std::int64_t totalPages = file_.Size() / pageSize;
    pageMap_.reserve(pageMap_.size() + static_cast<std::size_t>(totalPages + 1));
    run.Progress(ProgressStage::Pages, 0, totalPages);

    // Pages are read in large blocks and cut apart; progress is told once a
    // block, which is all a screen can show anyway.
    constexpr std::int64_t kPagesPerRead = 256;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(kPagesPerRead * pageSize));
    std::int32_t number = firstNumber;
    std::int64_t scanned = 0;
    for (std::int64_t blockStart = position;; blockStart += kPagesPerRead * pageSize) {
        if (run.StopRequested()) break;
        const std::int64_t got = file_.ReadAt(blockStart, block.data(), block.size());
        if (got <= 0) break;
        // A short last page is kept, padded with zeros.
        if (got < static_cast<std::int64_t>(block.size()))
            std::fill(block.begin() + got, block.end(), std::uint8_t{0});
        const std::int64_t pagesInBlock = (got + pageSize - 1) / pageSize;
        for (std::int64_t k = 0; k < pagesInBlock; ++k, ++number) {
            if (run.StopRequested()) return static_cast<std::int64_t>(pageMap_.size());
            std::uint8_t* bytes = block.data() + k * pageSize;
            cipher_.Decode(bytes, static_cast<std::size_t>(pageSize), number);
            ByteView page(bytes, static_cast<std::size_t>(pageSize));
            AppendScannedPage(page, number, blockStart + k * pageSize);
        }
        scanned += pagesInBlock;
        run.Progress(ProgressStage::Pages, std::min(scanned, totalPages), totalPages);
        if (got < static_cast<std::int64_t>(block.size())) break;
    }
    return static_cast<std::int64_t>(pageMap_.size());
}

std::int64_t CDbReader::ScanPages(const RunControl& run) {
    pageMap_.clear();
    if (!file_.IsOpen()) return -1;
    scanKind_ = ScanKind::Standard;
    return ScanFrom(0, 0, run);
}

std::int64_t CDbReader::ScanShiftedPages(std::int64_t position, const RunControl& run) {
    pageMap_.clear();
    PageMapEntry absent;
    absent.pageNumber = 0;
    absent.fileOffset = -1;
    absent.link = 0;
    pageMap_.push_back(absent);
    if (!file_.IsOpen()) return -1;
    scanKind_ = ScanKind::Shifted;
    return ScanFrom(position, 1, run);
}

std::int64_t CDbReader::ScanGridPages(const PageGrid& grid, const RunControl& run) {
    pageMap_.clear();
    if (!file_.IsOpen() || !grid.found) return -1;
    scanKind_ = ScanKind::Shifted;
    std::int64_t position = grid.phase;
    std::int32_t number = grid.firstPageNumber;
    if (number < 0) {
        position += -static_cast<std::int64_t>(number) * layout_.pageSize;
        number = 0;
    }
    PageMapEntry absent;
    absent.fileOffset = -1;
    absent.link = 0;
    for (std::int32_t n = 0; n < number; ++n) {
        absent.pageNumber = n;
        pageMap_.push_back(absent);
    }
    pageOneOffset_ = number <= 1 ? position + (1 - static_cast<std::int64_t>(number)) * layout_.pageSize : -1;
    return ScanFrom(position, number, run);
}

PageRead CDbReader::ReadPage(PageBuffer& buffer, std::int32_t n) const {
    buffer.fill(0);
    if (!file_.IsOpen()) return {};
    if (n < 0 || static_cast<std::size_t>(n) >= pageMap_.size()) return {};
    const PageMapEntry& entry = pageMap_[static_cast<std::size_t>(n)];
    if (entry.pageNumber != n || entry.fileOffset < 0) return {};
    const PageRead got = MappedPageRead(file_.ReadAt(entry.fileOffset, buffer.data(), buffer.size()));
    if (got.anyBytes()) cipher_.Decode(buffer.data(), static_cast<std::size_t>(got.bytes), n);
    return got;
}

void CDbReader::ReadPageRun(std::int32_t first, std::int32_t count, std::uint8_t* out, PageRead* got) const {
    std::int32_t k = 0;
    while (k < count) {
        const std::int32_t n = first + k;
        const bool present = file_.IsOpen() && n >= 0 && static_cast<std::size_t>(n) < pageMap_.size() &&
                             pageMap_[static_cast<std::size_t>(n)].pageNumber == n &&
                             pageMap_[static_cast<std::size_t>(n)].fileOffset >= 0;
        std::uint8_t* at = out + static_cast<std::size_t>(k) * kPageSize;
        if (!present) {
            std::memset(at, 0, kPageSize);
            got[k++] = PageRead{};
            continue;
        }
        // The longest stretch from here whose pages follow one another in the file.
        const std::int64_t offset = pageMap_[static_cast<std::size_t>(n)].fileOffset;
        std::int32_t length = 1;
        while (k + length < count && static_cast<std::size_t>(n + length) < pageMap_.size() &&
               pageMap_[static_cast<std::size_t>(n + length)].pageNumber == n + length &&
               pageMap_[static_cast<std::size_t>(n + length)].fileOffset ==
                   offset + static_cast<std::int64_t>(length) * kPageSize)
            ++length;
        const std::size_t bytes = static_cast<std::size_t>(length) * kPageSize;
        std::memset(at, 0, bytes);
        const std::int64_t read = std::max<std::int64_t>(file_.ReadAt(offset, at, bytes), 0);
        for (std::int32_t j = 0; j < length; ++j) {
            got[k + j] = MappedPageRead(read - static_cast<std::int64_t>(j) * kPageSize);
            // A read error stops a long read where it happens; the pages after
            // it are tried one by one, so one bad spot costs one page only.
            if (!got[k + j].whole())
                got[k + j] =
                    MappedPageRead(file_.ReadAt(offset + static_cast<std::int64_t>(j) * kPageSize,
                                                at + static_cast<std::size_t>(j) * kPageSize, kPageSize));
            if (got[k + j].anyBytes())
                cipher_.Decode(at + static_cast<std::size_t>(j) * kPageSize,
                               static_cast<std::size_t>(got[k + j].bytes), n + j);
        }
        k += length;
    }
}

}  // namespace pw
