// Exports one large table to CSV and reports the speed and the peak memory.
//
// The table is made by repeating the data pages of a table of a real file
// (default: the Neptuno sample's "Pedidos" of the corpus) until the file holds
// at least the asked size; every copy keeps its owner, the table's definition
// page, so the analysis finds them all as that table's pages. Without the
// corpus a built table of text, number and date columns is repeated instead.
//
// Usage: export_bench [FILE TABLE] [MEGABYTES]
// The made file and the CSV files live in a temporary folder that is removed
// at the end.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/ExportJob.h"
#include "pagestore/DbReader.h"
#include "salvage/Analysis.h"
#include "schema/ColumnTypes.h"
#include "status/AppPaths.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace {

using pw::testing::kBuilderPageSize;
using Bytes = std::vector<std::uint8_t>;

struct Source {
    Bytes file;
    std::string table;
    std::string description;
};

Source BuiltSource() {
    using namespace pw::testing;
    DatabaseBuilder db;
    const auto t = db.AddTable("Orders", {Column("Id", type::kLong), Column("Customer", type::kText),
                                          Column("Placed", type::kDate), Column("Amount", type::kCurrency),
                                          Column("Shipped", type::kBit), Column("Note", type::kText)});
    for (int i = 0; i < 2000; ++i)
        db.AddRow(t,
                  {Long(i), Text("Customer number " + std::to_string(i % 97)), Date(40000.5 + i),
                   Currency(1234567 + i), Bit(i % 3 == 0), Text(i % 5 == 0 ? "urgent, by air" : "standard")});
    return {db.Build(), "Orders", "built table Orders (6 columns)"};
}

std::int64_t PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The file followed by every data page of the table, copied again and again
// until it holds at least `bytes`; written straight to `path` so the made
// file never sits in memory. Returns the number of copies.
int WriteRepeated(const std::filesystem::path& path, const Bytes& file,
                  const std::vector<std::int32_t>& dataPages, std::int64_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    std::int64_t size = static_cast<std::int64_t>(file.size());
    int copies = 0;
    while (size < bytes) {
        for (std::int32_t page : dataPages) {
            out.write(reinterpret_cast<const char*>(file.data()) +
                          static_cast<std::ptrdiff_t>(page) * kBuilderPageSize,
                      kBuilderPageSize);
            size += kBuilderPageSize;
        }
        ++copies;
    }
    return out ? copies : -1;
}

std::int64_t FolderBytes(const std::filesystem::path& folder) {
    std::int64_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) total += static_cast<std::int64_t>(entry.file_size());
    return total;
}

bool Analyse(pw::Analysis& analysis, const std::filesystem::path& path) {
    return analysis.Run(path.string(), {}) == pw::AnalysisOutcome::Completed;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    std::string tableName;
    std::int64_t megabytes = 512;
    if (argc >= 3) {
        file = argv[1];
        tableName = argv[2];
    }
    if (argc == 2 || argc >= 4) megabytes = std::atoll(argv[argc == 2 ? 1 : 3]);
    if (file.empty() && pw::testing::CorpusAvailable()) {
        file = (pw::testing::CorpusDir() / "files" / "PruebaAccess__Neptuno.mdb").string();
        tableName = "Pedidos";
    }

    Source source;
    if (!file.empty() && std::filesystem::exists(file)) {
        source = {pw::testing::ReadFile(file), tableName,
                  "table " + tableName + " of " + std::filesystem::path(file).filename().string()};
    } else {
        source = BuiltSource();
    }

    pw::testing::TempDir dir;
    pw::SetAppDirectory(dir.path() / "app");
    std::filesystem::create_directories(dir / "app" / "Log Files");

    // Find the table's data pages in the original file.
    std::vector<std::int32_t> dataPages;
    {
        pw::testing::WriteFile(dir / "original.mdb", source.file);
        pw::Analysis analysis;
        if (!Analyse(analysis, dir / "original.mdb") || analysis.Find(source.table) == nullptr) {
            std::fprintf(stderr, "export_bench: no table '%s' in the source file\n", source.table.c_str());
            return 1;
        }
        dataPages = analysis.Find(source.table)->dataPages;
    }
    if (dataPages.empty()) {
        std::fprintf(stderr, "export_bench: the table has no data pages\n");
        return 1;
    }
    const std::filesystem::path big = dir / "big.mdb";
    const int copies = WriteRepeated(big, source.file, dataPages, megabytes * 1000 * 1000);
    if (copies < 0) {
        std::fprintf(stderr, "export_bench: cannot write %s\n", big.c_str());
        return 1;
    }
    const std::int64_t fileBytes = static_cast<std::int64_t>(std::filesystem::file_size(big));
    source.file = Bytes();
    source.file.shrink_to_fit();

    pw::Analysis analysis;
    const auto analysisStart = std::chrono::steady_clock::now();
    if (!Analyse(analysis, big)) {
        std::fprintf(stderr, "export_bench: the made file could not be analysed\n");
        return 1;
    }
    const double analysisSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - analysisStart).count();
    const pw::TableInfo* table = analysis.Find(source.table);
    const std::int64_t tableBytes = static_cast<std::int64_t>(table->dataPages.size()) * kBuilderPageSize;

    pw::ExportSettings settings;
    settings.target = pw::ExportTarget::Csv;
    settings.folder = dir.path() / "csv";
    settings.tables = {*table};
    pw::ExportJob job(analysis.pages(), settings);
    const auto exportStart = std::chrono::steady_clock::now();
    job.Run({}, pw::StatisticsFilePath());
    const double exportSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - exportStart).count();
    const std::int64_t csvBytes = FolderBytes(settings.folder);

    std::printf("source            : %s, %zu data pages, %d copies\n", source.description.c_str(),
                dataPages.size(), copies);
    std::printf("file              : %.1f MB (%lld bytes)\n", fileBytes / 1e6,
                static_cast<long long>(fileBytes));
    std::printf("table data pages  : %zu (%.1f MB)\n", table->dataPages.size(), tableBytes / 1e6);
    std::printf("rows exported     : %lld\n", static_cast<long long>(job.results().at(0).exportedRows));
    std::printf("CSV written       : %.1f MB\n", csvBytes / 1e6);
    std::printf("analysis          : %.2f s\n", analysisSeconds);
    std::printf("export            : %.2f s, %.1f MB/s of table pages, %.1f MB/s of CSV\n", exportSeconds,
                tableBytes / 1e6 / exportSeconds, csvBytes / 1e6 / exportSeconds);
    std::printf("peak memory       : %.1f MB (ru_maxrss)\n", PeakMemoryKiB() / 1024.0);
    std::printf("closing line      : %s\n", job.closingLine().c_str());
    pw::ResetAppDirectory();
    return job.outcome() == pw::ExportOutcome::Succeeded ? 0 : 1;
}
