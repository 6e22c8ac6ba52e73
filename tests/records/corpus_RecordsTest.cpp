// Record decoding on real files: OLE pictures come out as files, and damage
// inside one row (its bytes, its slot, its null mask, its long-value pointer)
// never crashes, never hangs and leaves every other row as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <fstream>
#include <map>
#include <random>

#include "export/DumpJson.h"
#include "pagestore/FieldReaders.h"
#include "export/OleFiles.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

std::filesystem::path CorpusPath(const char* name) { return testing::CorpusDir() / "files" / name; }

// The pages of an analysed file held in memory, so that a test can damage
// them one byte at a time without writing files.
class PagesInMemory : public PageSource {
public:
    PagesInMemory(std::vector<std::uint8_t> bytes, PageMap map) : bytes_(std::move(bytes)), map_(std::move(map)) {}
    const PageMap& Map() const override { return map_; }
    PageRead ReadPage(PageBuffer& buffer, std::int32_t n) const override {
        if (n < 0 || static_cast<std::size_t>(n) >= map_.size()) {
            buffer.fill(0);
            return {};
        }
        if (map_[static_cast<std::size_t>(n)].fileOffset < 0) {
            buffer.fill(0);
            return {};
        }
        return MappedPageRead(ReadAt(buffer, map_[static_cast<std::size_t>(n)].fileOffset));
    }
    int ReadAt(PageBuffer& buffer, std::int64_t position) const override {
        buffer.fill(0);
        if (position < 0 || position >= static_cast<std::int64_t>(bytes_.size())) return 0;
        const std::size_t n = std::min<std::size_t>(kPageSize, bytes_.size() - static_cast<std::size_t>(position));
        std::memcpy(buffer.data(), bytes_.data() + position, n);
        return static_cast<int>(n);
    }
    std::uint8_t& At(std::int32_t page, std::int32_t offset) {
        return bytes_[static_cast<std::size_t>(page) * kPageSize + static_cast<std::size_t>(offset)];
    }
    std::int32_t Word(std::int32_t page, std::int32_t offset) const {
        return ReadUInt16(ByteView(bytes_.data() + static_cast<std::size_t>(page) * kPageSize, kPageSize), offset);
    }

private:
    std::vector<std::uint8_t> bytes_;
    PageMap map_;
};

using SlotKey = std::pair<std::int32_t, std::int32_t>;  // data page, slot

// Every slot of the table's data pages (or only of the one at pageIndex): its
// typed cells as JSON, or a mark for a deleted or rejected row.
std::map<SlotKey, std::string> DecodeEverySlot(const PageSource& pages, const TableInfo& table,
                                               std::size_t pageIndex = SIZE_MAX) {
    RowWalker walker(pages, table, {});
    std::map<SlotKey, std::string> out;
    for (std::size_t p = 0; p < table.dataPages.size(); ++p) {
        if (pageIndex != SIZE_MAX && p != pageIndex) continue;
        const std::int32_t slots = walker.LoadPage(p);
        for (std::int32_t r = 0; r < slots; ++r) {
            const WalkedRow& row = walker.ReadSlot(r);
            std::string& result = out[{table.dataPages[p], r}];
            if (row.kind == SlotKind::Deleted) {
                result = "deleted";
                continue;
            }
            if (!row.HasCells()) {
                result = "rejected";
                continue;
            }
            nlohmann::ordered_json cells = nlohmann::ordered_json::array();
            for (const CellValue& cell : row.cells) cells.push_back(ValueJson(cell.value));
            result = cells.dump();
        }
    }
    return out;
}

class RowDamage : public ::testing::TestWithParam<const char*> {};

// Damages every row of every data page of every table, one row at a time, in
// four ways, and checks that only that row's result may change. A row's bytes
// are read by no other row of another page, so the page itself is compared.
TEST_P(RowDamage, DamageInOneRowLeavesEveryOtherRowIntact) {
    PW_REQUIRE_CORPUS();
    testing::AnalysedFile intact(CorpusPath(GetParam()));
    ASSERT_TRUE(intact.ok);
    const auto bytes = testing::ReadFile(CorpusPath(GetParam()));
    std::mt19937 random(20261208);
    std::size_t damagedRows = 0;
    for (const TableInfo& table : intact.tables()) {
        PagesInMemory clean(bytes, intact.reader.Map());
        const auto before = DecodeEverySlot(clean, table);
        // Up to 40 rows of each table, spread over all of its pages.
        const std::size_t step = std::max<std::size_t>(1, before.size() / 40);
        std::size_t index = 0;
        for (const auto& [key, result] : before) {
            const auto [page, slot] = key;
            if (index++ % step != 0 || result == "deleted") continue;
            const std::int32_t start = clean.Word(page, 14 + 2 * slot) & 0x1FFF;
            const std::int32_t end = (slot == 0 ? kPageSize : (clean.Word(page, 12 + 2 * slot) & 0x1FFF)) - 1;
            if (start >= end || end >= kPageSize) continue;
            const std::size_t pageIndex = static_cast<std::size_t>(
                std::find(table.dataPages.begin(), table.dataPages.end(), page) - table.dataPages.begin());
            for (int kind = 0; kind < 4; ++kind) {
                PagesInMemory damaged(bytes, intact.reader.Map());
                std::set<SlotKey> mayChange{key};
                switch (kind) {
                    case 0:  // bytes anywhere in the row
                        for (int i = 0; i < 4; ++i)
                            damaged.At(page, start + static_cast<std::int32_t>(random() % (end - start + 1))) ^=
                                static_cast<std::uint8_t>(1 + random() % 255);
                        break;
                    case 1:  // the null mask at the row's end
                        damaged.At(page, end) ^= static_cast<std::uint8_t>(1 + random() % 255);
                        break;
                    case 2:  // the slot: it also ends the next row
                        damaged.At(page, 14 + 2 * slot) ^= static_cast<std::uint8_t>(1 + random() % 255);
                        damaged.At(page, 15 + 2 * slot) ^= static_cast<std::uint8_t>(random() % 0x20);
                        mayChange.insert({page, slot + 1});
                        break;
                    case 3:  // the first bytes after the column count: fixed values and long-value headers
                        for (int i = 2; i < 14 && start + i <= end; ++i)
                            damaged.At(page, start + i) = static_cast<std::uint8_t>(random());
                        break;
                }
                const auto after = DecodeEverySlot(damaged, table, pageIndex);
                for (const auto& [otherKey, otherResult] : before) {
                    if (otherKey.first != page || mayChange.count(otherKey) != 0) continue;
                    ASSERT_EQ(after.at(otherKey), otherResult)
                        << table.name << " page " << otherKey.first << " slot " << otherKey.second
                        << " changed by damage of kind " << kind << " to slot " << slot;
                }
            }
            ++damagedRows;
        }
    }
    EXPECT_GT(damagedRows, 0u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RowDamage,
                         ::testing::Values("andipaetzold__test_data_V2003_test.mdb",
                                           "andipaetzold__test_data_V2016_longtext.accdb", "northwind_a.mdb",
                                           "jahlborn__src_test_data_V2003_delTestV2003.mdb"));

TEST(CorpusOle, NorthwindPicturesComeOutAsBitmapFilesOfTheirStatedSize) {
    PW_REQUIRE_CORPUS();
    testing::AnalysedFile file(CorpusPath("northwind_a.mdb"));
    ASSERT_TRUE(file.ok);
    const TableInfo* categories = file.Find("Categories");
    ASSERT_NE(categories, nullptr);
    testing::TempDir dir;
    OleFileWriter ole(dir.path() / "TempOLeFiles");
    std::size_t column = categories->columns.size();
    for (std::size_t i = 0; i < categories->columns.size(); ++i)
        if (categories->columns[i].typeCode == ColumnType::OleObject) column = i;
    ASSERT_LT(column, categories->columns.size());
    int pictures = 0;
    ForEachRow(file.analysis.pages(), *categories, file.control(), [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        const CellValue& cell = row.cells.at(column);
        EXPECT_TRUE(cell.present);
        EXPECT_EQ(cell.text, "OLEOBJECT");
        EXPECT_EQ(cell.value.kind, TypedValue::Kind::Bytes);
        const std::filesystem::path path = ole.Write(cell.value.text);
        EXPECT_EQ(path.parent_path(), dir.path() / "TempOLeFiles");
        EXPECT_EQ(path.extension(), ".bmp");
        const auto picture = testing::ReadFile(path);
        EXPECT_GE(picture.size(), 6u);
        if (picture.size() < 6) return true;
        EXPECT_EQ(picture[0], 'B');
        EXPECT_EQ(picture[1], 'M');
        const std::uint32_t stated = picture[2] | picture[3] << 8 | picture[4] << 16 | static_cast<std::uint32_t>(picture[5]) << 24;
        EXPECT_EQ(picture.size(), stated);
        ++pictures;
        return true;
    });
    EXPECT_EQ(pictures, 8);
    EXPECT_EQ(ole.filesWritten(), 8);
    EXPECT_EQ(file.damage.TotalEvents(), 0);
}

TEST(CorpusRecords, DeletedRowsAreMarkedAndSkipped) {
    PW_REQUIRE_CORPUS();
    testing::AnalysedFile file(CorpusPath("jahlborn__src_test_data_V2003_delTestV2003.mdb"));
    ASSERT_TRUE(file.ok);
    int deleted = 0;
    int records = 0;
    for (const TableInfo& table : file.tables()) {
        ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
            if (row.kind == SlotKind::Deleted) {
                ++deleted;
                EXPECT_TRUE(row.cells.empty());
            } else if (row.IsRecord()) {
                ++records;
            }
            return true;
        });
    }
    EXPECT_GT(deleted, 0);
    EXPECT_GT(records, 0);
}

}  // namespace
}  // namespace pw
