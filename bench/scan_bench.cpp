// Throughput of the page store on large files: the standard page scan with its
// per-page hand-shake, compared with reading the same file from the page cache,
// and the search for page 1 in files without a recognisable start.
//
//   scan_bench [work-folder] [GiB]
//
// The big files are made in a fresh folder under work-folder (default: the
// system's temporary folder) and deleted at the end.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "pagestore/DatabaseFile.h"
#include "pagestore/DbReader.h"
#include "salvage/Analysis.h"
#include "status/StatusConsumer.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kGiB = 1LL << 30;

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Row {
    std::string what;
    std::int64_t bytes;
    double seconds;
    std::string note;
};

void PrintTable(const std::vector<Row>& rows) {
    std::printf("\n%-46s %10s %9s %10s  %s\n", "measurement", "size MiB", "seconds", "MB/s", "note");
    std::printf("%s\n", std::string(100, '-').c_str());
    for (const Row& r : rows) {
        const double mbps = r.seconds > 0 ? static_cast<double>(r.bytes) / 1e6 / r.seconds : 0.0;
        std::printf("%-46s %10lld %9.3f %10.1f  %s\n", r.what.c_str(), static_cast<long long>(r.bytes / kMiB),
                    r.seconds, mbps, r.note.c_str());
    }
    std::printf("\n");
}

// Writes `total` bytes made by `fill`, which gets a chunk and the chunk's file
// position, 16 MiB at a time.
void WriteGenerated(const fs::path& path, std::int64_t total,
                    const std::function<void(Bytes&, std::int64_t)>& fill) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    Bytes chunk(static_cast<std::size_t>(16 * kMiB));
    for (std::int64_t at = 0; at < total; at += static_cast<std::int64_t>(chunk.size())) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(total - at, chunk.size()));
        chunk.resize(n);
        fill(chunk, at);
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(n));
    }
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A real 4096-byte database whose data pages are repeated after its own pages
// until the file has at least `target` bytes; its start is untouched, so it is
// recognised at once.
std::int64_t MakeGrownDatabase(const fs::path& path, std::int64_t target, std::string& source) {
    const pw::testing::CorpusFile* chosen = nullptr;
    const auto files = pw::testing::ListCorpusFiles();
    for (const auto& f : files) {
        if (f.format != "JET4") continue;
        if (chosen == nullptr || fs::file_size(f.path) > fs::file_size(chosen->path)) chosen = &f;
    }
    if (chosen == nullptr) throw std::runtime_error("no JET4 file in the corpus at " + pw::testing::CorpusDir().string());
    source = chosen->name;
    const Bytes original = pw::testing::ReadFile(chosen->path);
    Bytes dataPages;
    for (std::size_t at = 6 * pw::kPageSize; at + pw::kPageSize <= original.size(); at += pw::kPageSize)
        if (original[at] == 1) dataPages.insert(dataPages.end(), original.begin() + at, original.begin() + at + pw::kPageSize);
    if (dataPages.empty()) throw std::runtime_error(source + " has no data page");

    const std::int64_t originalSize = static_cast<std::int64_t>(original.size());
    const std::int64_t repeatedPages = (target - originalSize + pw::kPageSize - 1) / pw::kPageSize;
    const std::int64_t total = originalSize + repeatedPages * pw::kPageSize;
    WriteGenerated(path, total, [&](Bytes& chunk, std::int64_t at) {
        for (std::size_t i = 0; i < chunk.size();) {
            const std::int64_t position = at + static_cast<std::int64_t>(i);
            std::size_t n;
            if (position < originalSize) {
                n = std::min<std::size_t>(chunk.size() - i, static_cast<std::size_t>(originalSize - position));
                std::copy_n(original.begin() + position, n, chunk.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                const std::size_t inData = static_cast<std::size_t>((position - originalSize) %
                                                                    static_cast<std::int64_t>(dataPages.size()));
                n = std::min(chunk.size() - i, dataPages.size() - inData);
                std::copy_n(dataPages.begin() + static_cast<std::ptrdiff_t>(inData), n,
                            chunk.begin() + static_cast<std::ptrdiff_t>(i));
            }
            i += n;
        }
    });
    return total;
}

struct AnalysisResult {
    bool ok = false;
    double seconds = 0;
    std::string message;
    std::size_t pages = 0;
};

// The whole analysis with someone watching its progress, as the command line runs it.
AnalysisResult TimeAnalysis(const fs::path& path) {
    pw::RecoveryStatus status;
    pw::StatusConsumer consumer(status, nullptr, nullptr);
    pw::Analysis analysis;
    AnalysisResult r;
    pw::AnalysisOutcome outcome = pw::AnalysisOutcome::NoPath;
    r.seconds = Seconds([&] { outcome = analysis.Run(path.string(), status.Control()); });
    consumer.Shutdown();
    r.ok = outcome == pw::AnalysisOutcome::Completed;
    r.message = pw::OutcomeMessage(outcome);
    r.pages = analysis.reader().Map().size();
    return r;
}

double TimeScanOnly(const fs::path& path, std::size_t& pages) {
    pw::RecoveryStatus status;
    pw::CDbReader reader;
    if (!reader.OpenDatabaseFile(path.string())) throw std::runtime_error("cannot open " + path.string());
    pw::StatusConsumer consumer(status, nullptr, nullptr);
    const double s = Seconds([&] { pages = static_cast<std::size_t>(reader.ScanPages(status.Control())); });
    consumer.Shutdown();
    return s;
}

// The same 4096-byte reads the scan makes, without any hand-shake.
double TimePageReads(const fs::path& path) {
    pw::DatabaseFile file;
    if (!file.Open(path.string())) throw std::runtime_error("cannot open " + path.string());
    pw::PageBuffer page;
    std::uint64_t sum = 0;
    const double s = Seconds([&] {
        for (std::int64_t at = 0; file.ReadAt(at, page.data(), page.size()) > 0; at += pw::kPageSize) sum += page[0];
    });
    if (sum == 1) std::printf(" ");  // keeps the loop from being dropped
    return s;
}

double TimeCat(const fs::path& path) {
    const std::string command = "cat '" + path.string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cat failed");  // warms the page cache
    double best = 1e9;
    for (int i = 0; i < 3; ++i) best = std::min(best, Seconds([&] { (void)std::system(command.c_str()); }));
    return best;
}

// Progress posts alone, one per page, with a consumer watching.
double TimeProgressPosts(int count) {
    pw::RecoveryStatus status;
    pw::StatusConsumer consumer(status, nullptr, nullptr);
    const double s = Seconds([&] {
        for (int i = 0; i < count; ++i) status.OnProgress(pw::ProgressStage::Pages, i, count);
    });
    consumer.Shutdown();
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const double gib = argc > 2 ? std::atof(argv[2]) : 1.0;
    const std::int64_t size = static_cast<std::int64_t>(gib * static_cast<double>(kGiB));
    if (!pw::testing::CorpusAvailable()) {
        std::cerr << "scan_bench: the corpus folder is missing: " << pw::testing::CorpusDir() << '\n';
        return 1;
    }
    const fs::path dir = base / ("pagewright-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<Row> rows;
    int rc = 0;
    try {
        // Standard scan of a grown real database.
        std::string source;
        const fs::path grown = dir / "grown.mdb";
        const std::int64_t grownSize = MakeGrownDatabase(grown, size, source);
        std::cerr << "grown database from " << source << ": " << grownSize / kMiB << " MiB\n";
        const double cat = TimeCat(grown);
        rows.push_back({"cat from the page cache", grownSize, cat, ""});
        rows.push_back({"4096-byte page reads, no hand-shake", grownSize, TimePageReads(grown), ""});
        std::size_t scanned = 0;
        const double scan = TimeScanOnly(grown, scanned);
        rows.push_back({"standard scan (ScanPages + consumer)", grownSize, scan,
                        std::to_string(scanned) + " pages, " + std::to_string(scan / cat).substr(0, 5) + " x cat"});
        const AnalysisResult standard = TimeAnalysis(grown);
        rows.push_back({"analysis, standard scan", grownSize, standard.seconds,
                        std::string(standard.ok ? "analysed, " : "REFUSED, ") + std::to_string(standard.pages) +
                            " pages, " + std::to_string(standard.seconds / cat).substr(0, 5) + " x cat"});
        const int shakes = static_cast<int>(scanned);
        const double shakeSeconds = TimeProgressPosts(shakes);
        rows.push_back({"progress posts alone (one per page)", 0, shakeSeconds,
                        std::to_string(shakeSeconds / shakes * 1e6).substr(0, 5) + " us each"});
        fs::remove(grown);

        // Search for page 1 in zeros with loose 01 01 and 02 01 pairs.
        const fs::path scattered = dir / "scattered.mdb";
        std::mt19937_64 random(42);
        WriteGenerated(scattered, size, [&](Bytes& chunk, std::int64_t) {
            std::fill(chunk.begin(), chunk.end(), 0);
            for (std::size_t i = random() % 2000; i + 1 < chunk.size(); i += 1 + random() % 2000) {
                chunk[i] = (random() & 1) != 0 ? 1 : 2;
                chunk[i + 1] = 1;
            }
        });
        const AnalysisResult search = TimeAnalysis(scattered);
        rows.push_back({"page-1 search, zeros with scattered pairs", size, search.seconds,
                        (search.ok ? std::string("ANALYSED?") : "refused") + ", " +
                            std::to_string(search.seconds / (static_cast<double>(size) / kGiB)).substr(0, 5) +
                            " s/GiB"});
        fs::remove(scattered);

        // The worst case: every byte pair a candidate.
        const fs::path ones = dir / "ones.mdb";
        const std::int64_t onesSize = 2 * size;
        WriteGenerated(ones, onesSize, [](Bytes& chunk, std::int64_t) { std::fill(chunk.begin(), chunk.end(), 1); });
        const AnalysisResult worst = TimeAnalysis(ones);
        rows.push_back({"page-1 search, all 01 01 pairs", onesSize, worst.seconds,
                        (worst.ok ? std::string("ANALYSED?") : "refused") + ", " +
                            std::to_string(worst.seconds / (static_cast<double>(onesSize) / kGiB)).substr(0, 5) +
                            " s/GiB"});
        fs::remove(ones);
    } catch (const std::exception& e) {
        std::cerr << "scan_bench: " << e.what() << '\n';
        rc = 1;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    PrintTable(rows);
    return rc;
}
