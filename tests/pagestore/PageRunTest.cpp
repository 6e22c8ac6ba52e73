// Reading a run of pages in one go gives exactly what reading them one by
// one gives: for pages that follow one another in the file, for a page the
// map lacks, for a file cut in the middle of a page, and for a shifted file.

#include <gtest/gtest.h>

#include <vector>

#include "pagestore/PageSource.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

void ExpectRunMatchesSinglePages(const PageSource& pages, std::int32_t first, std::int32_t count) {
    std::vector<std::uint8_t> run(static_cast<std::size_t>(count) * kPageSize, 0xAA);
    std::vector<PageRead> got(static_cast<std::size_t>(count), PageRead{PageReadOutcome::Whole, 12345});
    pages.ReadPageRun(first, count, run.data(), got.data());
    for (std::int32_t k = 0; k < count; ++k) {
        PageBuffer single;
        const PageRead expected = pages.ReadPage(single, first + k);
        EXPECT_EQ(got[static_cast<std::size_t>(k)].outcome, expected.outcome) << "page " << first + k;
        EXPECT_EQ(got[static_cast<std::size_t>(k)].bytes, expected.bytes) << "page " << first + k;
        EXPECT_TRUE(std::equal(single.begin(), single.end(), run.begin() + static_cast<std::ptrdiff_t>(k) * kPageSize))
            << "page " << first + k;
    }
}

class PageRun : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Built() {
        DatabaseBuilder db;
        const auto t = db.AddTable("T", {Column("Id", type::kLong), Column("Name", type::kText, 200)});
        for (int i = 0; i < 400; ++i) db.AddRow(t, {Long(i), Text(std::string(150, static_cast<char>('a' + i % 26)))});
        return db.Build();
    }
    TempDir dir;
};

TEST_F(PageRun, ARunReadsWhatSinglePagesRead) {
    const auto path = dir.path() / "whole.mdb";
    WriteFile(path, Built());
    AnalysedFile file(path);
    ASSERT_TRUE(file.ok);
    const auto pages = static_cast<std::int32_t>(file.reader.Map().size());
    ASSERT_GT(pages, 10);
    ExpectRunMatchesSinglePages(file.analysis.pages(), 0, pages);
    // Runs that start inside the file and reach past the map's end.
    ExpectRunMatchesSinglePages(file.analysis.pages(), pages - 3, 6);
    ExpectRunMatchesSinglePages(file.analysis.pages(), -2, 4);
}

TEST_F(PageRun, ACutLastPageAndAnAbsentPageZeroAreKeptApart) {
    std::vector<std::uint8_t> bytes = Built();
    // The start cut off: page 0 is absent and page 1 lies at a shifted position.
    std::vector<std::uint8_t> shifted(bytes.begin() + 1000, bytes.end() - 1500);
    const auto path = dir.path() / "shifted.mdb";
    WriteFile(path, shifted);
    AnalysedFile file(path);
    ASSERT_TRUE(file.ok) << file.analysis.refusalReason();
    const auto pages = static_cast<std::int32_t>(file.reader.Map().size());
    ExpectRunMatchesSinglePages(file.analysis.pages(), 0, pages);
    PageBuffer last;
    EXPECT_EQ(file.analysis.pages().ReadPage(last, pages - 1).outcome, PageReadOutcome::Short);
}

}  // namespace
}  // namespace pw::testing
