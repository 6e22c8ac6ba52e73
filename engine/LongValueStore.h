#pragma once

#include <cstdint>
#include <optional>

#include "engine/OutputFile.h"
#include "engine/RowPage.h"
#include "engine/StoredBytes.h"

namespace pw {

// Writes memo and OLE values onto long-value pages and gives back the 12-byte
// field a row stores for them: the length (3 bytes), a form flag, a row
// pointer and four zero bytes. A value up to one page long is one row; a
// longer one is a chain of rows, each led by the pointer to the next. Small
// values stay inline in the row (the caller chooses).
class LongValueStore {
public:
    static constexpr std::size_t kFieldSize = 12;
    static constexpr std::size_t kMaxLength = 0xFFFFFF;

    explicit LongValueStore(OutputFile& file) : file_(file) {}

    // The field for a value kept in the row itself, data included.
    static StoredBytes Inline(const StoredBytes& data);
    // Stores the value on long-value pages. Throws EngineError for a value
    // longer than the format can address.
    StoredBytes Store(const StoredBytes& data);
    // Writes the page being filled.
    void Flush();

private:
    // A row on the shared page; its pointer.
    std::uint32_t AddShared(StoredBytes row);

    OutputFile& file_;
    RowPage page_{0, true};
    std::int32_t pageNumber_ = -1;
};

}  // namespace pw
