// The database key of the corpus's Jet 4 files, and page encoding applied to
// one of them and taken off again.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pagestore/PageCipher.h"
#include "records/RowWalk.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"
#include "tests/support/PageEncipher.h"

namespace pw {
namespace {

TEST(CorpusPageCipher, IntactJetFourFilesHaveNoDatabaseKey) {
    PW_REQUIRE_CORPUS();
    std::size_t jet4 = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format != "JET4") continue;
        const std::vector<std::uint8_t> bytes = testing::ReadFile(file.path);
        ASSERT_GE(bytes.size(), static_cast<std::size_t>(kPageSize)) << file.name;
        const ByteView header(bytes.data(), kPageSize);
        EXPECT_TRUE(IsJet4Header(header)) << file.name;
        EXPECT_EQ(ReadDatabaseKey(header), 0u) << file.name;
        EXPECT_FALSE(PageCipher::FromHeader(header).active()) << file.name;
        ++jet4;
    }
    EXPECT_GT(jet4, 30u);
}

TEST(CorpusPageCipher, EncipheredCorpusFileDecodesBackPageByPage) {
    PW_REQUIRE_CORPUS();
    const auto path = testing::CorpusDir() / "files" / "northwind_a.mdb";
    const std::vector<std::uint8_t> original = testing::ReadFile(path);
    std::vector<std::uint8_t> file = original;
    ASSERT_TRUE(testing::EncipherJet4Pages(file, 0x7A3C91E5));
    const PageCipher cipher = PageCipher::FromHeader(ByteView(file.data(), kPageSize));
    ASSERT_TRUE(cipher.active());
    EXPECT_EQ(cipher.databaseKey(), 0x7A3C91E5u);
    std::size_t changed = 0;
    for (std::size_t start = kPageSize, page = 1; start < file.size(); start += kPageSize, ++page) {
        changed += !std::equal(file.begin() + static_cast<std::ptrdiff_t>(start),
                               file.begin() + static_cast<std::ptrdiff_t>(start + kPageSize),
                               original.begin() + static_cast<std::ptrdiff_t>(start));
        cipher.Decode(file.data() + start, kPageSize, static_cast<std::int32_t>(page));
    }
    EXPECT_GT(changed, 0u);
    // Back to the original bytes except the four key bytes of the header.
    EXPECT_TRUE(std::equal(file.begin() + kPageSize, file.end(), original.begin() + kPageSize));
    std::vector<std::uint8_t> header(file.begin(), file.begin() + kPageSize);
    ToggleHeaderMask(header.data(), header.size());
    for (std::size_t i = 0; i < 4; ++i) header[kDatabaseKeyOffset + i] = 0;
    ToggleHeaderMask(header.data(), header.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), original.begin()));
}

// Every cell of every table, walked with long values and all.
std::vector<std::string> EveryCell(testing::AnalysedFile& file) {
    std::vector<std::string> cells;
    for (const TableInfo& table : file.tables()) {
        cells.push_back("table " + table.name);
        RowWalker walker(file.analysis.pages(), table, file.control());
        while (walker.Next())
            for (const CellValue& cell : walker.row().cells) cells.push_back(cell.text);
    }
    return cells;
}

// Access's page encoding taken off as the file is read: an enciphered copy
// gives back every table and every value the plain file gives.
TEST(CorpusPageCipher, AnEncipheredFileReadsLikeThePlainOne) {
    PW_REQUIRE_CORPUS();
    testing::TempDir dir;
    std::size_t checked = 0;
    for (const testing::CorpusFile& file : testing::ListCorpusFiles()) {
        if (file.format != "JET4" || checked >= 12) continue;
        SCOPED_TRACE(file.name);
        std::vector<std::uint8_t> bytes = testing::ReadFile(file.path);
        ASSERT_TRUE(testing::EncipherJet4Pages(bytes, 0x5D17C2A9u + static_cast<std::uint32_t>(checked)));
        const auto path = dir / file.name;
        testing::WriteFile(path, bytes);
        testing::AnalysedFile plain(file.path);
        testing::AnalysedFile enciphered(path);
        ASSERT_TRUE(enciphered.ok) << enciphered.analysis.refusalReason();
        EXPECT_TRUE(enciphered.reader.pagesEncoded());
        EXPECT_FALSE(plain.reader.pagesEncoded());
        EXPECT_EQ(EveryCell(enciphered), EveryCell(plain));
        EXPECT_EQ(enciphered.damage.TotalEvents(), plain.damage.TotalEvents());
        ++checked;
    }
    EXPECT_EQ(checked, 12u);
}

}  // namespace
}  // namespace pw
