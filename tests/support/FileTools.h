#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pw::testing {

// Writes the bytes as the whole file; throws std::runtime_error on failure.
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// Damage helpers for built files; they return or change copies in memory.
// CutStart drops the first n bytes (all of them when n is larger).
std::vector<std::uint8_t> CutStart(const std::vector<std::uint8_t>& bytes, std::size_t n);
// Zeroes the 4096 bytes of page n that lie inside the file.
void ZeroPage(std::vector<std::uint8_t>& bytes, std::int32_t page);
// XORs the byte at offset with mask; an offset past the end changes nothing.
void FlipByte(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint8_t mask);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace pw::testing
