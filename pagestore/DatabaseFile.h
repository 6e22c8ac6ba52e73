#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pw {

// The damaged database file, opened read-only. Offsets are 64-bit, so files
// of any size are addressed.
class DatabaseFile {
public:
    DatabaseFile() = default;
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::int64_t Size() const;

    // Reads up to n bytes at position; returns the count read (0 at the end or
    // on an error, -1 when no file is open). Retries short reads.
    std::int64_t ReadAt(std::int64_t position, std::uint8_t* buffer, std::size_t n) const;

private:
    int fd_ = -1;
};

}  // namespace pw
