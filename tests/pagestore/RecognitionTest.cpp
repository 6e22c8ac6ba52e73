#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pagestore/DbReader.h"
#include "salvage/Analysis.h"
#include "status/RunControl.h"
#include "tests/support/Analysis.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr std::uint16_t kWord2Of4096[6] = {0x0000, 0x0F4C, 0x0BDE, 0x0EA9, 0x0DEB, 0x0CCB};

// Pages 1 to 5 of the 4096-byte signature written at `position` (page 1
// there, page k at position + (k-1) * 4096); the last `spoilt` of pages 2 to 5
// get a wrong word 2 on purpose.
void PutPagesOneToFive(Bytes& b, std::size_t position, int spoilt = 0) {
    if (b.size() < position + 4 * kPageSize + 4) b.resize(position + 4 * kPageSize + 4, 0);
    for (int k = 1; k <= 5; ++k) {
        const std::size_t at = position + static_cast<std::size_t>(k - 1) * kPageSize;
        Put16(b, at, k == 1 ? 0x0101 : 0x0102);
        Put16(b, at + 2, k > 5 - spoilt ? 0x0777 : kWord2Of4096[k]);
    }
}

// The first six pages of a 4096-byte file, then `extraPages` pages of type 1.
Bytes ValidStart(int extraPages = 0) {
    Bytes b(static_cast<std::size_t>(6 + extraPages) * kPageSize, 0);
    Put16(b, 0, 0x0100);
    PutPagesOneToFive(b, kPageSize);
    for (int n = 6; n < 6 + extraPages; ++n) b[static_cast<std::size_t>(n) * kPageSize] = 1;
    return b;
}

// `zeros` zero bytes, then the file.
Bytes AfterZeros(std::size_t zeros, const Bytes& file) {
    Bytes b(zeros + file.size(), 0);
    std::copy(file.begin(), file.end(), b.begin() + static_cast<std::ptrdiff_t>(zeros));
    return b;
}

// The first six pages of a 2048-byte (Jet 3) file.
Bytes Jet3Start() {
    Bytes b(6 * 2048 + 4 * 2048, 0);
    Put16(b, 0, 0x0100);
    Put16(b, 2048, 0x0101);
    for (int n = 2; n < 6; ++n) {
        Put16(b, static_cast<std::size_t>(n) * 2048, 0x0102);
        Put16(b, static_cast<std::size_t>(n) * 2048 + 2, 0x4356);
    }
    return b;
}

class Recognition : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir / name;
        pw::testing::WriteFile(path, bytes);
        return path.string();
    }

    // The whole analysis; the lines of earlier runs are dropped.
    AnalysisOutcome Analyse(const std::string& path) {
        sink.lines.clear();
        sink.pagesDone = 0;
        sink.pagesTotal = 0;
        return analysis.Run(path, RunControl{nullptr, &sink, nullptr});
    }

    std::string LastLine() const { return sink.lines.empty() ? std::string() : sink.lines.back(); }

    // A refused file is opened but never analysed.
    void ExpectRefused(AnalysisOutcome outcome, AnalysisOutcome expected, const std::string& message) {
        EXPECT_EQ(outcome, expected);
        EXPECT_EQ(OutcomeMessage(outcome), message);
        EXPECT_EQ(sink.lines, std::vector<std::string>{"Opened file successfully..."});
        EXPECT_TRUE(reader.Map().empty());
        EXPECT_EQ(reader.scanKind(), ScanKind::None);
    }
    void ExpectHighlyCorrupted(AnalysisOutcome outcome) {
        ExpectRefused(outcome, AnalysisOutcome::HighlyCorrupted, kHighlyCorrupted);
    }

    Analysis analysis;
    CDbReader& reader = analysis.reader();
    pw::testing::RecordingSink sink;
    pw::testing::TempDir dir;
};

TEST_F(Recognition, AnIntactStartGetsTheStandardScanWithoutASearch) {
    const std::string path = Write("intact.mdb", ValidStart(3));
    const AnalysisOutcome outcome = Analyse(path);
    ASSERT_EQ(outcome, AnalysisOutcome::Completed);
    EXPECT_EQ(OutcomeMessage(outcome), "");
    EXPECT_EQ(reader.layout().pageSize, 4096);
    EXPECT_EQ(reader.scanKind(), ScanKind::Standard);
    EXPECT_EQ(reader.pageOneOffset(), -1);  // no candidate search ran
    ASSERT_EQ(reader.Map().size(), 9u);
    EXPECT_EQ(sink.pagesTotal, 9);
    EXPECT_EQ(sink.pagesDone, 9);
    EXPECT_EQ(LastLine(), "Initializing Tables.....");
}

TEST_F(Recognition, Jet3FilesAreRefusedWhateverTheirName) {
    const std::string path = Write("old.accdb", Jet3Start());
    ExpectRefused(Analyse(path), AnalysisOutcome::FormatNotSupported, kFormatNotSupported);
    EXPECT_EQ(analysis.storageFormat(), kLabelAccess2007);  // the label is set before the refusal

    // The recognition alone tells the 2048-byte layout apart.
    CDbReader alone;
    ASSERT_TRUE(alone.OpenDatabaseFile(path));
    EXPECT_EQ(alone.CheckFileFormat(), FormatCheck::Pages2048);
}

TEST_F(Recognition, FilesWithoutAnyPageAreHighlyCorrupted) {
    ExpectHighlyCorrupted(Analyse(Write("empty.mdb", {})));
    ExpectHighlyCorrupted(Analyse(Write("zeros.mdb", Bytes(64 * 1024, 0))));
    // Noise makes a page start here and there, never a grid.
    Bytes noise(1 << 20);
    std::uint32_t state = 12345;
    for (std::uint8_t& b : noise) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    ExpectHighlyCorrupted(Analyse(Write("noise.mdb", noise)));
}

TEST_F(Recognition, PagesWithoutTheirSystemPagesAreStillRead) {
    // Page 1 with only two of the four system pages after it: the pages are
    // there, so the file is read.
    Bytes almost(8 * kPageSize, 0);
    PutPagesOneToFive(almost, 1000, /*spoilt=*/2);
    ASSERT_EQ(Analyse(Write("almost.mdb", almost)), AnalysisOutcome::Completed);
    EXPECT_EQ(reader.scanKind(), ScanKind::Shifted);
    ASSERT_GE(reader.Map().size(), 6u);
    EXPECT_EQ(reader.Map()[1].fileOffset, 1000);
}

TEST_F(Recognition, OpenFailuresAndEmptyPathsShowNoMessage) {
    const std::string missing = (dir / "missing.mdb").string();
    AnalysisOutcome outcome = Analyse(missing);
    EXPECT_EQ(outcome, AnalysisOutcome::CannotOpen);
    EXPECT_EQ(OutcomeMessage(outcome), "");
    EXPECT_EQ(LastLine(), "Opening file failed...");
    EXPECT_FALSE(reader.openError().empty());

    outcome = Analyse("");
    EXPECT_EQ(outcome, AnalysisOutcome::NoPath);
    EXPECT_EQ(OutcomeMessage(outcome), "");
    EXPECT_TRUE(sink.lines.empty());

    // A folder is no database file.
    EXPECT_EQ(Analyse(dir.path().string()), AnalysisOutcome::CannotOpen);
    EXPECT_EQ(LastLine(), "Opening file failed...");
}

TEST_F(Recognition, TheNameDecidesOnlyTheLabel) {
    struct Case {
        std::string name;
        const char* label;
    };
    const Case cases[] = {
        {"Shop.MDB", kLabelAccess2000}, {"shop.mdb", kLabelAccess2000},    {"shop.Mdb", kLabelAccess2000},
        {"shop.accdb", kLabelAccess2007}, {"shop.mdb.bak", kLabelAccess2007}, {"shop.mdbx", kLabelAccess2007},
        {"shop", kLabelAccess2007},
    };
    const Bytes file = ValidStart(1);
    for (const Case& c : cases) {
        ASSERT_EQ(Analyse(Write(c.name, file)), AnalysisOutcome::Completed) << c.name;
        EXPECT_EQ(analysis.storageFormat(), c.label) << c.name;
        EXPECT_EQ(reader.scanKind(), ScanKind::Standard) << c.name;
    }
}

// Where the recognition finds page 1 decides the scan.
TEST_F(Recognition, PageOnePositionChoosesTheScan) {
    // Page 0 spoilt: page 1 is found at 4096 and the standard scan runs.
    Bytes zeroedHeader = ValidStart(2);
    pw::testing::ZeroPage(zeroedHeader, 0);
    ASSERT_EQ(Analyse(Write("zeroed-header.mdb", zeroedHeader)), AnalysisOutcome::Completed);
    EXPECT_EQ(reader.pageOneOffset(), 4096);
    EXPECT_EQ(reader.scanKind(), ScanKind::Standard);
    EXPECT_EQ(reader.Map().size(), 8u);

    // 1000 bytes missing: page 1 at 3096, pages follow it.
    ASSERT_EQ(Analyse(Write("cut.mdb", pw::testing::CutStart(ValidStart(2), 1000))), AnalysisOutcome::Completed);
    EXPECT_EQ(reader.pageOneOffset(), 3096);
    EXPECT_EQ(reader.scanKind(), ScanKind::Shifted);
    ASSERT_EQ(reader.Map().size(), 8u);
    EXPECT_EQ(reader.Map()[0].fileOffset, -1);
    EXPECT_EQ(reader.Map()[7].fileOffset, 3096 + 6 * 4096);

    // Page 1 behind an extra page of zeros, at 8192: scanned like a cut file.
    ASSERT_EQ(Analyse(Write("pushed.mdb", AfterZeros(kPageSize, zeroedHeader))), AnalysisOutcome::Completed);
    EXPECT_EQ(reader.pageOneOffset(), 8192);
    EXPECT_EQ(reader.scanKind(), ScanKind::Shifted);
    ASSERT_EQ(reader.Map().size(), 8u);
    EXPECT_EQ(reader.Map()[1].fileOffset, 8192);
    EXPECT_EQ(reader.Map()[1].pageType, 1);
    EXPECT_EQ(reader.Map()[2].pageType, 2);
}

TEST_F(Recognition, PageOneIsFoundHoweverFarIntoTheFileItLies) {
    const Bytes withoutHeader = pw::testing::CutStart(ValidStart(1), kPageSize);
    for (std::size_t junk : {24576u, 24577u, 100000u}) {
        SCOPED_TRACE(junk);
        ASSERT_EQ(Analyse(Write("far.mdb", AfterZeros(junk, withoutHeader))), AnalysisOutcome::Completed);
        EXPECT_EQ(reader.pageOneOffset(), static_cast<std::int64_t>(junk));
        ASSERT_EQ(reader.Map().size(), 7u);
        EXPECT_EQ(reader.Map()[1].fileOffset, static_cast<std::int64_t>(junk));
        EXPECT_EQ(reader.Map()[6].fileOffset, static_cast<std::int64_t>(junk + 5 * kPageSize));
    }
}

// The search for page 1 among the 01 01 and 01 02 pairs of a damaged start.
class PageOneSearch : public Recognition {
protected:
    std::int64_t Locate(const Bytes& file) {
        const std::string path = Write("search.mdb", file);
        if (!reader.OpenDatabaseFile(path)) return -2;
        return reader.LocatePageOne();
    }
};

TEST_F(PageOneSearch, DecoysBeforeTheRealPageOneArePassedOver) {
    Bytes file(9 * kPageSize, 0);
    // Loose pairs, a 0x0102 word and a page 1 with two wrong system pages
    // after it, all before the real page 1.
    for (std::size_t at : {0u, 7u, 500u, 2047u, 2900u}) Put16(file, at, 0x0101);
    Put16(file, 40, 0x0102);
    PutPagesOneToFive(file, 100, /*spoilt=*/2);
    PutPagesOneToFive(file, 3096);
    EXPECT_EQ(Locate(file), 3096);
}

TEST_F(PageOneSearch, AWordAcrossABlockBorderIsNoCandidate) {
    Bytes straddling(8 * kPageSize, 0);
    PutPagesOneToFive(straddling, 4095);
    EXPECT_EQ(Locate(straddling), -1);
    // The page grid finds them all the same.
    ASSERT_EQ(Analyse(Write("straddling.mdb", straddling)), AnalysisOutcome::Completed);
    EXPECT_EQ(reader.pageOneOffset(), 4095);

    // One byte earlier the same pages are found.
    Bytes inside(8 * kPageSize, 0);
    PutPagesOneToFive(inside, 4094);
    EXPECT_EQ(Locate(inside), 4094);
}

TEST_F(PageOneSearch, OnlyTheFirstPassingCandidateCounts) {
    Bytes file(12 * kPageSize, 0);
    PutPagesOneToFive(file, 20000);
    PutPagesOneToFive(file, 6000);
    EXPECT_EQ(Locate(file), 6000);
}

// The search reads the file in large pieces; a page 1 whose pages 2 to 5 lie
// in the next piece, or that starts right after a piece, is still found.
TEST_F(PageOneSearch, CandidatesNearTheEndOfAReadPieceAreFound) {
    constexpr std::size_t kMiB = 1 << 20;
    for (std::size_t position : {8 * kMiB - 2, 8 * kMiB - 4096 * 2 + 7, 8 * kMiB, 8 * kMiB + 1, 16 * kMiB - 2}) {
        Bytes file(position + 6 * kPageSize, 0);
        PutPagesOneToFive(file, position);
        EXPECT_EQ(Locate(file), static_cast<std::int64_t>(position)) << position;
    }
    Bytes border(8 * kMiB + 6 * kPageSize, 0);
    PutPagesOneToFive(border, 8 * kMiB - 1);  // a block's last byte: never a candidate
    EXPECT_EQ(Locate(border), -1);
}

// Page 1 must be followed by at least three of the four system pages: one
// damaged system page is forgiven, two are not.
TEST_F(PageOneSearch, OneDamagedSystemPageIsForgivenTwoAreNot) {
    for (int damaged = 2; damaged <= 5; ++damaged) {
        Bytes file(8 * kPageSize, 0);
        PutPagesOneToFive(file, 3096);
        Put16(file, 3096 + static_cast<std::size_t>(damaged - 1) * kPageSize + 2, 0x0777);
        EXPECT_EQ(Locate(file), 3096) << "page " << damaged << " damaged";
    }
    Bytes two(8 * kPageSize, 0);
    PutPagesOneToFive(two, 3096);
    Put16(two, 3096 + 1 * kPageSize, 0x0000);  // page 2 zeroed
    Put16(two, 3096 + 3 * kPageSize + 2, 0x0777);  // page 4 wrong
    EXPECT_EQ(Locate(two), -1);

    // Page 1 itself is never forgiven.
    Bytes noPageOne(8 * kPageSize, 0);
    PutPagesOneToFive(noPageOne, 3096);
    Put16(noPageOne, 3096, 0x0102);
    EXPECT_EQ(Locate(noPageOne), -1);
}

TEST_F(PageOneSearch, PagesCutOffByTheEndOfTheFileCountAsDamaged) {
    Bytes file(6 * kPageSize, 0);
    PutPagesOneToFive(file, 3096);
    file.resize(3096 + 4 * kPageSize + 2);  // page 5 cut after its first word
    EXPECT_EQ(Locate(file), 3096);
    file.resize(3096 + 3 * kPageSize + 2);  // pages 4 and 5 gone
    EXPECT_EQ(Locate(file), -1);
}

}  // namespace
}  // namespace pw
