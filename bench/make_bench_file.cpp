// Makes a large database for the benchmarks that compare readers: a real
// file followed by copies of one table's data pages until the file holds the
// asked size. Every copy names the table's definition page as its owner, so
// a reader that scans every page for its owner finds them all. The table's
// usage map is given an unknown map type (its first byte), so that a reader
// that would follow the map instead falls back to such a scan too, and both
// read the same pages.
//
// Usage: make_bench_file SOURCE TABLE MEGABYTES OUT

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "salvage/Analysis.h"
#include "tests/support/FileTools.h"

namespace {

constexpr std::size_t kPage = 4096;
// Where a table definition names the row of its usage map: a row byte, then
// a 3-byte page number.
constexpr std::size_t kUsageMapRow = 55;
constexpr std::size_t kUsageMapPage = 56;
constexpr std::uint8_t kUnknownMapType = 0x7F;

// The usage map row's first byte, found through the table's definition.
bool MarkUsageMapUnknown(std::vector<std::uint8_t>& file, std::int32_t definitionPage) {
    const std::size_t base = static_cast<std::size_t>(definitionPage) * kPage;
    if (base + kPage > file.size()) return false;
    pw::ByteView definition(file.data() + base, kPage);
    const std::int32_t row = pw::ReadInt8(definition, kUsageMapRow) & 0xFF;
    const std::int32_t page = pw::ReadUInt24(definition, kUsageMapPage);
    const std::size_t pageBase = static_cast<std::size_t>(page) * kPage;
    if (pageBase + kPage > file.size()) return false;
    pw::ByteView mapPage(file.data() + pageBase, kPage);
    const std::int32_t start = pw::ReadUInt16(mapPage, 14 + 2 * row) & 0x1FFF;
    if (start <= 0 || start >= static_cast<std::int32_t>(kPage)) return false;
    file[pageBase + static_cast<std::size_t>(start)] = kUnknownMapType;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: make_bench_file SOURCE TABLE MEGABYTES OUT\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string tableName = argv[2];
    const std::int64_t bytes = std::atoll(argv[3]) * 1024 * 1024;
    const std::filesystem::path out = argv[4];

    pw::Analysis analysis;
    if (analysis.Run(source, {}) != pw::AnalysisOutcome::Completed || analysis.Find(tableName) == nullptr) {
        std::fprintf(stderr, "make_bench_file: no table '%s' in %s\n", tableName.c_str(), source.c_str());
        return 1;
    }
    const pw::TableInfo table = *analysis.Find(tableName);
    if (table.dataPages.empty()) {
        std::fprintf(stderr, "make_bench_file: '%s' has no data pages\n", tableName.c_str());
        return 1;
    }
    std::vector<std::uint8_t> file = pw::testing::ReadFile(source);
    file.resize((file.size() + kPage - 1) / kPage * kPage, 0);
    if (!MarkUsageMapUnknown(file, table.tdefPage))
        std::fprintf(stderr, "make_bench_file: the usage map of '%s' was not found; left as it is\n",
                     tableName.c_str());

    std::ofstream stream(out, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    std::int64_t size = static_cast<std::int64_t>(file.size());
    std::int64_t copies = 0;
    while (size < bytes) {
        for (std::int32_t page : table.dataPages) {
            stream.write(reinterpret_cast<const char*>(file.data()) + static_cast<std::ptrdiff_t>(page) * kPage,
                         static_cast<std::streamsize>(kPage));
            size += static_cast<std::int64_t>(kPage);
        }
        ++copies;
    }
    stream.close();
    if (!stream) {
        std::fprintf(stderr, "make_bench_file: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %lld MiB, %zu data pages of '%s' copied %lld times\n", out.c_str(),
                static_cast<long long>(size >> 20), table.dataPages.size(), tableName.c_str(),
                static_cast<long long>(copies));
    return 0;
}
