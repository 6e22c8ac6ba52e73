#include "engine/LongValueStore.h"

#include <algorithm>
#include <cstring>

#include "engine/EngineError.h"

namespace pw {
namespace {

constexpr std::uint8_t kInlineFlag = 0x80;
constexpr std::uint8_t kSingleRowFlag = 0x40;
constexpr std::uint8_t kChainFlag = 0x00;
constexpr std::size_t kPointerSize = 4;
// Data of a chain row that fills a page of its own.
constexpr std::size_t kChainPiece = RowPage::kMaxRowSize - kPointerSize;

StoredBytes Field(std::size_t length, std::uint8_t flag, std::uint32_t pointer) {
    StoredBytes field(LongValueStore::kFieldSize, 0);
    PutU24(field, 0, static_cast<std::uint32_t>(length));
    field[3] = flag;
    PutU32(field, 4, pointer);
    return field;
}

StoredBytes ChainRow(std::uint32_t next, const std::uint8_t* data, std::size_t size) {
    StoredBytes row(kPointerSize + size, 0);
    PutU32(row, 0, next);
    if (size > 0) std::memcpy(row.data() + kPointerSize, data, size);
    return row;
}

}  // namespace

StoredBytes LongValueStore::Inline(const StoredBytes& data) {
    StoredBytes field = Field(data.size(), kInlineFlag, 0);
    field.resize(kFieldSize + data.size());
    if (!data.empty()) std::memcpy(field.data() + kFieldSize, data.data(), data.size());
    return field;
}

std::uint32_t LongValueStore::AddShared(StoredBytes row) {
    if (pageNumber_ >= 0 && !page_.Fits(row.size())) Flush();
    if (pageNumber_ < 0) pageNumber_ = file_.Allocate();
    const int index = page_.Add(std::move(row));
    return RowPointer(pageNumber_, index);
}

StoredBytes LongValueStore::Store(const StoredBytes& data) {
    if (data.size() > kMaxLength) throw ValueRefused("a long value of " + std::to_string(data.size()) +
                                                    " bytes is longer than the file format can hold");
    if (data.size() <= RowPage::kMaxRowSize) return Field(data.size(), kSingleRowFlag, AddShared(data));

    // Full pieces each fill a page of their own, numbered in order; the last,
    // shorter piece goes on the shared page first, so that its pointer is
    // known when the piece before it is written.
    const std::size_t fullPieces = (data.size() - 1) / kChainPiece;
    const std::size_t lastStart = fullPieces * kChainPiece;
    const std::uint32_t last = AddShared(ChainRow(0, data.data() + lastStart, data.size() - lastStart));
    std::int32_t first = -1;
    for (std::size_t k = 0; k < fullPieces; ++k) {
        const std::int32_t page = file_.Allocate();
        if (k == 0) first = page;
    }
    for (std::size_t k = 0; k < fullPieces; ++k) {
        const std::int32_t page = first + static_cast<std::int32_t>(k);
        const std::uint32_t next = k + 1 < fullPieces ? RowPointer(page + 1, 0) : last;
        RowPage piece(0, true);
        piece.Add(ChainRow(next, data.data() + k * kChainPiece, kChainPiece));
        file_.Write(page, piece.Render());
    }
    return Field(data.size(), kChainFlag, RowPointer(first, 0));
}

void LongValueStore::Flush() {
    if (pageNumber_ < 0) return;
    file_.Write(pageNumber_, page_.Render());
    page_.Clear();
    pageNumber_ = -1;
}

}  // namespace pw
