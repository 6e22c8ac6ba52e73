#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pagestore/DbReader.h"
#include "salvage/Analysis.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using pw::testing::CorpusFile;

// What one run of the analysis left behind.
struct Outcome {
    AnalysisOutcome outcome = AnalysisOutcome::NoPath;
    bool ok = false;
    ScanKind scan = ScanKind::None;
    std::int64_t pageOne = -1;
    // Where the search finds page 1; only looked for in a file refused as
    // highly corrupted, whose analysis keeps no position.
    std::int64_t locatedPageOne = -1;
    PageMap map;
    std::int64_t fileSize = -1;
    std::string message;
    std::vector<std::string> lines;
    std::string label;
};

Outcome Analyse(const fs::path& path) {
    const pw::testing::AnalysedFile file(path);
    Outcome out;
    out.outcome = file.outcome;
    out.ok = file.ok;
    out.scan = file.reader.scanKind();
    out.pageOne = file.reader.pageOneOffset();
    if (file.outcome == AnalysisOutcome::HighlyCorrupted) out.locatedPageOne = file.reader.pageOneOffset();
    out.map = file.reader.Map();
    out.fileSize = file.reader.FileSize();
    out.message = OutcomeMessage(file.outcome);
    out.lines = file.sink.lines;
    out.label = file.analysis.storageFormat();
    return out;
}

// A refused file was opened but never analysed.
const std::vector<std::string> kRefusedLines = {"Opened file successfully..."};

bool IsPage4096Format(const std::string& format) { return format == "JET4" || format.rfind("ACE", 0) == 0; }

std::vector<CorpusFile> FilesOf(bool (*wanted)(const CorpusFile&)) {
    std::vector<CorpusFile> files;
    for (CorpusFile& f : pw::testing::ListCorpusFiles())
        if (wanted(f)) files.push_back(std::move(f));
    return files;
}

TEST(CorpusRecognition, EveryJet4AndAceFileGetsTheStandardScan) {
    PW_REQUIRE_CORPUS();
    const auto files = FilesOf([](const CorpusFile& f) { return IsPage4096Format(f.format); });
    ASSERT_FALSE(files.empty());
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        const Outcome out = Analyse(file.path);
        ASSERT_EQ(out.outcome, AnalysisOutcome::Completed);
        EXPECT_EQ(out.message, "");
        EXPECT_EQ(out.scan, ScanKind::Standard);
        EXPECT_EQ(out.pageOne, -1);  // recognised at once, no search
        ASSERT_EQ(out.map.size(), static_cast<std::size_t>(out.fileSize / kPageSize));
        for (std::size_t n = 0; n < out.map.size(); ++n) {
            ASSERT_EQ(out.map[n].pageNumber, static_cast<std::int32_t>(n));
            ASSERT_EQ(out.map[n].fileOffset, static_cast<std::int64_t>(n) * kPageSize);
        }
        // Pages 0 to 2 are the header, a data page and a definition page.
        EXPECT_EQ(out.map[0].pageType, 0);
        EXPECT_EQ(out.map[1].pageType, 1);
        EXPECT_EQ(out.map[2].pageType, 2);
        EXPECT_EQ(out.label, file.name.ends_with(".mdb") ? kLabelAccess2000 : kLabelAccess2007);
    }
}

// Cuts `cut` bytes off the start of every 4096-byte-page corpus file of at
// least `smallest` pages and counts the files whose pages from
// `firstWholePage` on are not numbered as they were.
std::size_t MisnumberedAfterCut(std::size_t cut, std::size_t smallest, std::size_t firstWholePage,
                                std::size_t* checked) {
    const auto files = FilesOf([](const CorpusFile& f) { return IsPage4096Format(f.format); });
    pw::testing::TempDir dir;
    std::size_t misnumbered = 0;
    for (const CorpusFile& file : files) {
        const Bytes intact = pw::testing::ReadFile(file.path);
        if (intact.size() < smallest * 4096) continue;
        const fs::path path = dir / ("cut-" + file.name);
        pw::testing::WriteFile(path, pw::testing::CutStart(intact, cut));
        const Outcome out = Analyse(path);
        SCOPED_TRACE(file.name);
        EXPECT_TRUE(out.ok) << out.message;
        ++*checked;
        bool same = out.ok && out.map.size() == intact.size() / kPageSize;
        for (std::size_t n = firstWholePage; same && n < out.map.size(); ++n)
            same = out.map[n].fileOffset == static_cast<std::int64_t>(n * kPageSize - cut);
        if (!same) {
            ++misnumbered;
            ADD_FAILURE() << file.name << ": pages numbered wrongly";
        }
    }
    return misnumbered;
}

// Even a file of a few dozen pages, with its header, page 1 and catalog
// definition cut off, keeps every page's number: the links between its
// pages settle them. An empty database of a dozen pages has too few links to
// tell two numberings apart, and no rows to lose by it.
TEST(CorpusRecognition, EveryFileCutByWholePagesKeepsItsPageNumbers) {
    PW_REQUIRE_CORPUS();
    std::size_t checked = 0;
    // The first whole page left is page 3.
    EXPECT_EQ(MisnumberedAfterCut(2 * 4096 + 100, 20, 3, &checked), 0u);
}

// Cut into page 4, a file keeps none of pages 0 to 3 and no page 1 to number
// it by; a small one has too few links to vote, and in some files the links
// agree on a wrong numbering (definitions at a steady stride). Page 5, a
// system definition every file has, still names its own number.
TEST(CorpusRecognition, EveryFileCutIntoItsSystemDefinitionsKeepsItsPageNumbers) {
    PW_REQUIRE_CORPUS();
    std::size_t checked = 0;
    EXPECT_EQ(MisnumberedAfterCut(4 * 4096 + 3616, 8, 5, &checked), 0u);
    EXPECT_GT(checked, 100u);
}

TEST(CorpusRecognition, EveryJet3FileIsRefused) {
    PW_REQUIRE_CORPUS();
    const auto files = FilesOf([](const CorpusFile& f) { return f.format == "JET3"; });
    ASSERT_FALSE(files.empty());
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        const Outcome out = Analyse(file.path);
        EXPECT_EQ(out.outcome, AnalysisOutcome::FormatNotSupported);
        EXPECT_EQ(out.message, kFormatNotSupported);
        EXPECT_EQ(out.lines, kRefusedLines);
        EXPECT_TRUE(out.map.empty());
    }
}

// Files the reference reader could not decode. The encrypted ones keep a
// readable header page but their other pages are ciphertext, so the page-2 to
// page-5 words never match and no page 1 is found anywhere: they are refused
// as highly corrupted. The one that is merely unusual (a column type the
// reference does not know) is an ordinary file to the page store.
TEST(CorpusRecognition, FilesTheReferenceCouldNotReadBehaveAsRecorded) {
    PW_REQUIRE_CORPUS();
    const auto files = FilesOf([](const CorpusFile& f) { return f.format == "error"; });
    ASSERT_FALSE(files.empty());
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        const bool encrypted = file.name.find("office-agile") != std::string::npos ||
                               file.name.find("password-protected") != std::string::npos;
        const Outcome out = Analyse(file.path);
        if (encrypted) {
            // Told apart from damage: the header names the encryption.
            EXPECT_EQ(out.outcome, AnalysisOutcome::Encrypted);
            EXPECT_EQ(out.message, kEncrypted);
            EXPECT_EQ(out.lines, kRefusedLines);
            EXPECT_EQ(out.locatedPageOne, -1);
            EXPECT_TRUE(out.map.empty());
        } else {
            ASSERT_EQ(out.outcome, AnalysisOutcome::Completed) << out.message;
            EXPECT_EQ(out.scan, ScanKind::Standard);
            EXPECT_EQ(out.map.size(), static_cast<std::size_t>(out.fileSize / kPageSize));
        }
    }
}

// Damaged copies of one real file of each page family.
class CorpusDamagedStart : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        PW_REQUIRE_CORPUS();
        const std::string family = GetParam();
        for (const CorpusFile& f : pw::testing::ListCorpusFiles()) {
            if (f.format.rfind(family, 0) == 0) {
                source_ = f;
                break;
            }
        }
        ASSERT_TRUE(source_.has_value()) << "no " << family << " file in the corpus";
        intact_ = pw::testing::ReadFile(source_->path);
        ASSERT_GE(intact_.size(), 8u * kPageSize);
        const Outcome out = Analyse(source_->path);
        ASSERT_TRUE(out.ok);
        intactMap_ = out.map;
    }

    Outcome AnalyseCopy(const Bytes& bytes) {
        const fs::path path = dir_ / ("copy-" + source_->name);
        pw::testing::WriteFile(path, bytes);
        return Analyse(path);
    }

    // Page n of `map` must be page n of the intact file, read from
    // `delta` bytes further on.
    void ExpectIntactPages(const PageMap& map, std::int64_t delta) {
        ASSERT_EQ(map.size(), intactMap_.size());
        for (std::size_t n = 1; n < map.size(); ++n) {
            const PageMapEntry& got = map[n];
            const PageMapEntry& want = intactMap_[n];
            ASSERT_EQ(got.pageNumber, want.pageNumber);
            ASSERT_EQ(got.fileOffset, want.fileOffset + delta) << "page " << n;
            ASSERT_EQ(got.pageType, want.pageType) << "page " << n;
            ASSERT_EQ(got.freeSpace, want.freeSpace) << "page " << n;
            ASSERT_EQ(got.link, want.link) << "page " << n;
            ASSERT_EQ(got.rowCount, want.rowCount) << "page " << n;
        }
    }

    static Bytes AfterZeros(std::size_t zeros, const Bytes& file) {
        Bytes b(zeros + file.size(), 0);
        std::copy(file.begin(), file.end(), b.begin() + static_cast<std::ptrdiff_t>(zeros));
        return b;
    }

    std::optional<CorpusFile> source_;
    Bytes intact_;
    PageMap intactMap_;
    pw::testing::TempDir dir_;
};

TEST_P(CorpusDamagedStart, AMissingStartIsFoundAndThePagesKeepTheirNumbers) {
    for (std::int64_t missing : {1000, 3096}) {
        SCOPED_TRACE(missing);
        const Outcome out = AnalyseCopy(pw::testing::CutStart(intact_, static_cast<std::size_t>(missing)));
        ASSERT_TRUE(out.ok) << out.message;
        EXPECT_EQ(out.pageOne, kPageSize - missing);
        EXPECT_EQ(out.scan, ScanKind::Shifted);
        ASSERT_FALSE(out.map.empty());
        EXPECT_EQ(out.map[0].fileOffset, -1);
        ExpectIntactPages(out.map, -missing);
    }
}

TEST_P(CorpusDamagedStart, ASpoiltHeaderPageKeepsTheStandardScan) {
    Bytes copy = intact_;
    pw::testing::ZeroPage(copy, 0);
    const Outcome out = AnalyseCopy(copy);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.pageOne, kPageSize);
    EXPECT_EQ(out.scan, ScanKind::Standard);
    ExpectIntactPages(out.map, 0);
    EXPECT_EQ(out.map[0].fileOffset, 0);
}

TEST_P(CorpusDamagedStart, PageOneBehindAnExtraPageIsScannedFromWhereItIs) {
    Bytes copy = intact_;
    pw::testing::ZeroPage(copy, 0);
    const Outcome out = AnalyseCopy(AfterZeros(kPageSize, copy));
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.pageOne, 2 * kPageSize);
    EXPECT_EQ(out.scan, ScanKind::Shifted);
    ExpectIntactPages(out.map, kPageSize);
}

// Whole pages cut off the start, or junk put in front: the pages are found
// where they are and keep their numbers, numbered by the links between them
// when page 1 is gone too.
TEST_P(CorpusDamagedStart, AnyCutOrJunkAtTheStartKeepsEveryPage) {
    for (std::size_t cut : {4096u, 4608u, 8292u, 20000u}) {
        SCOPED_TRACE("cut " + std::to_string(cut));
        const Outcome out = AnalyseCopy(pw::testing::CutStart(intact_, cut));
        ASSERT_TRUE(out.ok) << out.message;
        const std::size_t lost = (cut + kPageSize - 1) / kPageSize;
        ASSERT_EQ(out.map.size(), intactMap_.size());
        for (std::size_t n = 0; n < lost; ++n) EXPECT_EQ(out.map[n].fileOffset, -1);
        for (std::size_t n = lost; n < out.map.size(); ++n) {
            ASSERT_EQ(out.map[n].fileOffset, intactMap_[n].fileOffset - static_cast<std::int64_t>(cut)) << n;
            ASSERT_EQ(out.map[n].link, intactMap_[n].link) << n;
        }
    }
    for (std::size_t junk : {30000u, 4096u * 3, 123457u}) {
        SCOPED_TRACE("junk " + std::to_string(junk));
        Bytes copy(junk, 0);
        std::uint32_t state = static_cast<std::uint32_t>(junk);
        for (std::uint8_t& b : copy) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(state >> 24);
        }
        copy.insert(copy.end(), intact_.begin(), intact_.end());
        const Outcome out = AnalyseCopy(copy);
        ASSERT_TRUE(out.ok) << out.message;
        ExpectIntactPages(out.map, static_cast<std::int64_t>(junk));
    }
}

INSTANTIATE_TEST_SUITE_P(Families, CorpusDamagedStart, ::testing::Values("JET4", "ACE12", "ACE14"));

}  // namespace
}  // namespace pw
