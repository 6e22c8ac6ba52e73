#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/StoredBytes.h"

namespace pw {

inline constexpr std::int32_t kEnginePageSize = 4096;

// The pages of the database being written. Page numbers are handed out in
// order; pages are written as soon as they are complete, and runs of
// consecutive pages are gathered into one write, so that memory stays the
// same however large the file grows. Throws EngineError when the file cannot
// be created or written.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file; an existing file is never replaced.
    void Create(const std::filesystem::path& path);
    bool IsOpen() const { return fd_ >= 0; }

    std::int32_t Allocate();
    std::int32_t PageCount() const { return nextPage_; }

    // `page` holds kEnginePageSize bytes.
    void Write(std::int32_t pageNumber, const StoredBytes& page);
    // Writes what is gathered, syncs and closes.
    void Close();
    // Closes without writing what is gathered (after a failure).
    void Abandon();

private:
    void Flush();

    int fd_ = -1;
    std::int32_t nextPage_ = 0;
    std::vector<std::uint8_t> pending_;  // consecutive pages from pendingFirst_
    std::int32_t pendingFirst_ = 0;
};

}  // namespace pw
