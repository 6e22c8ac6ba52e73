// Decodes every row of one large table to cell texts and reports rows/s and
// MB/s of data pages, with the peak memory.
//
//   decode_bench [corpus-file] [table] [MB] [work-folder]
//
// The large table is made by repeating the data pages of a corpus table after
// the end of the file, each copy still owned by the same definition page.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "records/RowWalk.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace {

double PeakMemoryMiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path source = argc > 1 ? fs::path(argv[1]) : pw::testing::CorpusDir() / "files" / "northwind_a.mdb";
    const std::string tableName = argc > 2 ? argv[2] : "Order Details";
    const std::int64_t megabytes = argc > 3 ? std::atoll(argv[3]) : 512;
    const fs::path work = argc > 4 ? fs::path(argv[4]) : fs::temp_directory_path();

    pw::testing::AnalysedFile original(source);
    const pw::TableInfo* table = original.Find(tableName);
    if (!original.ok || table == nullptr || table->dataPages.empty()) {
        std::fprintf(stderr, "decode_bench: no table '%s' with data pages in %s\n", tableName.c_str(),
                     source.c_str());
        return 1;
    }
    std::vector<std::uint8_t> bytes = pw::testing::ReadFile(source);
    const std::size_t pageBytes = static_cast<std::size_t>(pw::kPageSize);
    std::vector<std::uint8_t> dataPages;
    for (std::int32_t page : table->dataPages)
        dataPages.insert(dataPages.end(), bytes.begin() + page * pageBytes, bytes.begin() + (page + 1) * pageBytes);

    const fs::path big = work / "pagewright-decode-bench.mdb";
    {
        std::FILE* out = std::fopen(big.c_str(), "wb");
        if (out == nullptr) {
            std::perror("decode_bench");
            return 1;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        const std::int64_t target = megabytes * 1024 * 1024;
        for (std::int64_t written = static_cast<std::int64_t>(bytes.size()); written < target;
             written += static_cast<std::int64_t>(dataPages.size()))
            std::fwrite(dataPages.data(), 1, dataPages.size(), out);
        std::fclose(out);
    }

    auto start = std::chrono::steady_clock::now();
    pw::testing::AnalysedFile analysed(big);
    const double analysis = Seconds(start);
    const pw::TableInfo* large = analysed.Find(tableName);
    if (!analysed.ok || large == nullptr) {
        std::fprintf(stderr, "decode_bench: the large file was not analysed\n");
        fs::remove(big);
        return 1;
    }

    std::int64_t rows = 0;
    std::int64_t cellBytes = 0;
    start = std::chrono::steady_clock::now();
    pw::ForEachRow(analysed.analysis.pages(), *large, {}, [&](const pw::WalkedRow& row) {
        if (!row.IsRecord()) return true;
        ++rows;
        for (const pw::CellValue& cell : row.cells) cellBytes += static_cast<std::int64_t>(cell.text.size());
        return true;
    });
    const double decode = Seconds(start);
    const double dataMB = static_cast<double>(large->dataPages.size()) * pageBytes / 1e6;
    std::printf("file                 %s (%.0f MB, %zu data pages of '%s')\n", big.c_str(),
                static_cast<double>(fs::file_size(big)) / 1e6, large->dataPages.size(), tableName.c_str());
    std::printf("analysis             %.2f s (%.0f MB/s)\n", analysis, static_cast<double>(fs::file_size(big)) / 1e6 / analysis);
    std::printf("decode to cell texts %.2f s: %.0f rows/s, %.0f MB/s of data pages, %.0f MB of cell text\n", decode,
                static_cast<double>(rows) / decode, dataMB / decode, static_cast<double>(cellBytes) / 1e6);
    std::printf("rows                 %lld\n", static_cast<long long>(rows));
    std::printf("peak memory          %.1f MiB\n", PeakMemoryMiB());
    fs::remove(big);
    return 0;
}
