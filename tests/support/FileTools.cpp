#include "tests/support/FileTools.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> CutStart(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    if (n >= bytes.size()) return {};
    return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(n), bytes.end());
}

void ZeroPage(std::vector<std::uint8_t>& bytes, std::int32_t page) {
    if (page < 0) return;
    const std::size_t from = static_cast<std::size_t>(page) * kBuilderPageSize;
    if (from >= bytes.size()) return;
    const std::size_t to = std::min(bytes.size(), from + kBuilderPageSize);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from),
              bytes.begin() + static_cast<std::ptrdiff_t>(to), 0);
}

void FlipByte(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint8_t mask) {
    if (offset < bytes.size()) bytes[offset] ^= mask;
}

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / ("pagewright-test-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory under " + base.string());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace pw::testing
