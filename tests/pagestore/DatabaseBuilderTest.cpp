#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pagestore/DbReader.h"
#include "pagestore/FieldReaders.h"
#include "pagestore/TextDecoding.h"
#include "status/RunControl.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/ShopSample.h"

namespace pw::testing {
namespace {

using File = std::vector<std::uint8_t>;

ByteView PageOf(const File& file, std::int32_t page) {
    return ByteView(file).subspan(static_cast<std::size_t>(page) * kBuilderPageSize, kBuilderPageSize);
}

// A reader over a file written to a temporary folder.
class OpenedFile {
public:
    explicit OpenedFile(const File& bytes) {
        WriteFile(dir_ / "test.mdb", bytes);
        opened_ = reader_.OpenDatabaseFile((dir_ / "test.mdb").string());
    }
    CDbReader& reader() { return reader_; }
    bool opened() const { return opened_; }

private:
    TempDir dir_;
    CDbReader reader_;
    bool opened_ = false;
};

// The row bounds of slot i, as the row decoder finds them.
struct RowBounds {
    std::int64_t start = 0;
    std::int64_t end = 0;  // last byte
    std::uint16_t flags = 0;
};

RowBounds Row(ByteView page, int i) {
    const int slot = ReadUInt16(page, 14 + 2 * i);
    const int end = i == 0 ? kBuilderPageSize : (ReadUInt16(page, 12 + 2 * i) & 0x1FFF);
    return {slot & 0x1FFF, end - 1, static_cast<std::uint16_t>(slot & 0xC000)};
}

// The stored values of a row, taken apart by the row layout rules: fixed
// values at S + 2 + fixedOffset, variable values between consecutive offsets.
struct DecodedRow {
    int storedColumns = 0;
    int variableCount = 0;
    std::vector<bool> maskBits;
    std::vector<std::string> variable;  // raw bytes of each variable value
};

DecodedRow TakeApart(ByteView page, RowBounds row) {
    DecodedRow out;
    const std::int64_t s = row.start;
    const std::int64_t e = row.end;
    out.storedColumns = ReadUInt16(page, s);
    const int m = (out.storedColumns - 1) / 8 + 1;
    for (int c = 0; c < 8 * m; ++c)
        out.maskBits.push_back(((ReadInt8(page, e - m + 1 + c / 8) >> (c % 8)) & 1) != 0);
    out.variableCount = ReadUInt16(page, e - m - 1);
    for (int k = 0; k < out.variableCount; ++k) {
        const int from = ReadUInt16(page, e - m - 3 - 2 * k);
        const int to = ReadUInt16(page, e - m - 3 - 2 * (k + 1));
        out.variable.push_back(ExtractRawText(page, s + from, to - from));
    }
    return out;
}

ByteView View(const std::string& raw) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
}

TEST(DatabaseBuilder, BuiltFileIsRecognisedAndMappedAsBuilt) {
    DatabaseBuilder db;
    const auto people = db.AddTable("People", {Column("Id", type::kLong), Column("Name", type::kText)});
    for (int i = 0; i < 300; ++i) db.AddRow(people, {Long(i), Text("Person number " + std::to_string(i))});
    const Cell memo = db.Memo(std::string(5000, 'x'), TextStorage::Ucs2, {LongValueForm::Chain, 4000, false});
    const File file = db.Build();

    ASSERT_EQ(file.size(), static_cast<std::size_t>(db.PageCount()) * kBuilderPageSize);
    EXPECT_GT(db.DataPages(people).size(), 1u);
    EXPECT_EQ(db.CatalogPages(), std::vector<std::int32_t>{6});
    EXPECT_EQ(db.LongValuePages().size(), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 4),
              (std::vector<std::uint8_t>{0, 1, 0, 0}));

    OpenedFile opened(file);
    ASSERT_TRUE(opened.opened());
    CDbReader& reader = opened.reader();
    EXPECT_EQ(reader.CheckFileFormat(), FormatCheck::Jet4);
    EXPECT_EQ(reader.ScanPages(RunControl{}), db.PageCount());
    const PageMap& map = reader.Map();

    EXPECT_EQ(map[0].pageType, 0);
    EXPECT_EQ(map[1].pageType, 1);
    const std::uint16_t signature[] = {0x0BDE, 0x0EA9, 0x0DEB, 0x0CCB};
    for (int page = 2; page <= 5; ++page) {
        EXPECT_EQ(map[page].pageType, 2);
        EXPECT_EQ(map[page].freeSpace, signature[page - 2]);
        EXPECT_EQ(map[page].link, 0);
        EXPECT_EQ(ReadInt8(PageOf(file, page), 40), 0x53);
    }
    EXPECT_EQ(map[db.DefinitionPage(people)].pageType, 2);
    EXPECT_EQ(map[db.DefinitionPage(people)].rowCount, 300);
    EXPECT_EQ(ReadInt8(PageOf(file, db.DefinitionPage(people)), 40), 0x4E);
    int rows = 0;
    for (std::int32_t page : db.DataPages(people)) {
        EXPECT_EQ(map[page].pageType, 1);
        EXPECT_EQ(map[page].link, db.DefinitionPage(people));
        rows += map[page].rowCount;
    }
    EXPECT_EQ(rows, 300);
    for (std::int32_t page : db.CatalogPages()) EXPECT_EQ(map[page].link, 2);
    for (std::int32_t page : db.LongValuePages()) {
        EXPECT_EQ(map[page].pageType, 1);
        EXPECT_EQ(map[page].link, kLongValueLink);
    }
    // Pages 0 to 5, the table's definition and the listed pages make up the file.
    std::size_t accounted = 6 + 1;
    for (const auto* list : {&db.DataPages(people), &db.CatalogPages(), &db.LongValuePages()}) accounted += list->size();
    EXPECT_EQ(accounted, static_cast<std::size_t>(db.PageCount()));
    EXPECT_EQ(ReadInt8(ByteView(*memo), 3), 0x00);
}

TEST(DatabaseBuilder, FileWithoutItsFirstThousandBytesIsFoundAt3096) {
    DatabaseBuilder db;
    const auto t = db.AddTable("T", {Column("Id", type::kLong)});
    db.AddRow(t, {Long(7)});
    const File intact = db.Build();

    OpenedFile opened(CutStart(intact, 1000));
    CDbReader& reader = opened.reader();
    EXPECT_EQ(reader.CheckFileFormat(), FormatCheck::NotRecognised);
    EXPECT_EQ(reader.LocatePageOne(), 3096);
    reader.ScanShiftedPages(3096, RunControl{});
    const PageMap& map = reader.Map();
    ASSERT_EQ(static_cast<std::int32_t>(map.size()), db.PageCount());
    EXPECT_EQ(map[0].fileOffset, -1);
    EXPECT_EQ(map[2].freeSpace, 0x0BDE);
    EXPECT_EQ(map[db.DataPages(t).front()].link, db.DefinitionPage(t));
    EXPECT_EQ(map[db.DataPages(t).front()].fileOffset, 3096 + (db.DataPages(t).front() - 1) * 4096);
}

TEST(DatabaseBuilder, RowsFollowTheRowLayout) {
    DatabaseBuilder db;
    ColumnSpec late = Column("Late", type::kText);
    late.columnNumber = 9;  // numbered after Notes although defined before it
    const auto t = db.AddTable(
        "Mixed", {Column("Id", type::kLong), Column("Flag", type::kBit), late, Column("Small", type::kByte),
                  Column("Notes", type::kText), Column("Price", type::kCurrency)});
    const TableLayout& layout = db.Layout(t);
    EXPECT_EQ(layout.fixedAreaSize, 4 + 1 + 8);
    EXPECT_EQ(layout.columns[3].fixedOffset, 4);  // BIT takes no room
    EXPECT_EQ(layout.columns[5].fixedOffset, 5);
    EXPECT_EQ(layout.columns[4].varIndex, 0);  // Notes (4) before Late (9)
    EXPECT_EQ(layout.columns[2].varIndex, 1);

    db.AddRow(t, {Long(-2), Bit(true), Text("late"), Byte(200), Null, Currency(12345)});
    RowOptions deleted;
    deleted.deleted = true;
    deleted.lookup = true;
    db.AddRow(t, {Long(1), Bit(false), Null, Null, Text("n"), Null}, deleted);
    const File file = db.Build();
    const ByteView page = PageOf(file, db.DataPages(t).front());
    ASSERT_EQ(ReadUInt16(page, 12), 2);

    const RowBounds first = Row(page, 0);
    EXPECT_EQ(first.end, 4095);
    EXPECT_EQ(first.flags, 0);
    const DecodedRow a = TakeApart(page, first);
    EXPECT_EQ(a.storedColumns, 10);  // up to column number 9
    EXPECT_EQ(a.variableCount, 2);
    EXPECT_EQ(ReadInt32(page, first.start + 2 + 0), -2);
    EXPECT_EQ(ReadInt8(page, first.start + 2 + 4) & 0xFF, 200);
    EXPECT_EQ(ReadInt32(page, first.start + 2 + 5), 12345);
    EXPECT_EQ(a.variable[0], "");  // Notes is null and takes no bytes
    EXPECT_EQ(DecodeUcs2(View(a.variable[1]), 0, static_cast<std::int64_t>(a.variable[1].size())), "late");
    EXPECT_EQ(ReadUInt16(page, first.end - 2 - 3), 2 + 13);  // first variable start, M = 2
    for (int c : {0, 1, 3, 5, 9}) EXPECT_TRUE(a.maskBits[c]) << c;
    EXPECT_FALSE(a.maskBits[4]);

    const RowBounds second = Row(page, 1);
    EXPECT_EQ(second.end, first.start - 1);
    EXPECT_EQ(second.flags, 0xC000);
    const DecodedRow b = TakeApart(page, second);
    EXPECT_FALSE(b.maskBits[1]);  // BIT false
    EXPECT_FALSE(b.maskBits[3]);
    EXPECT_TRUE(b.maskBits[4]);
    EXPECT_EQ(b.variable[0], std::string("n\0", 2));
    // The deleted row does not count in the definition's row count.
    EXPECT_EQ(ReadInt32(PageOf(file, db.DefinitionPage(t)), 16), 1);
}

TEST(DatabaseBuilder, TablesWithoutVariableColumnsStoreNoOffsetTable) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Fixed", {Column("A", type::kLong), Column("B", type::kInt)});
    db.AddRow(t, {Long(1), Int(2)});
    const File file = db.Build();
    const RowBounds row = Row(PageOf(file, db.DataPages(t).front()), 0);
    EXPECT_EQ(row.end - row.start + 1, 2 + 6 + 1);
}

TEST(DatabaseBuilder, CatalogRowsCarryIdTypeAndNameWhereTheCatalogStepReadsThem) {
    DatabaseBuilder db;
    const auto shown = db.AddTable("Shown", {Column("A", type::kLong)});
    TableOptions omitted;
    omitted.catalog = CatalogEntryKind::Omitted;
    db.AddTable("Lost", {Column("A", type::kLong)}, omitted);
    TableOptions deleted;
    deleted.catalog = CatalogEntryKind::Deleted;
    const auto gone = db.AddTable("Gone", {Column("A", type::kLong)}, deleted);
    TableOptions linked;
    linked.catalogType = 6;
    const auto link = db.AddTable("Linked", {Column("A", type::kLong)}, linked);
    db.AddCatalogRow({999, 5, "A query"});
    const File file = db.Build();

    const TableLayout& catalog = db.Layout(DatabaseBuilder::kCatalogTable);
    EXPECT_EQ(catalog.fixedAreaSize, 30);
    EXPECT_GE(catalog.columns.size(), 17u);
    EXPECT_LE(catalog.columns.size(), 24u);

    struct Seen {
        int type;
        std::string name;
        std::uint16_t flags;
    };
    std::map<std::int32_t, Seen> seen;
    for (std::int32_t number : db.CatalogPages()) {
        const ByteView page = PageOf(file, number);
        EXPECT_EQ(ReadInt32(page, 4), 2);
        for (int i = 0; i < ReadUInt16(page, 12); ++i) {
            const RowBounds row = Row(page, i);
            const int nameEnd = ReadUInt16(page, row.end - 8);
            seen[ReadInt32(page, row.start + 2)] = {ReadUInt16(page, row.start + 10) & 0x7F,
                                                    DecodeUcs2(page, row.start + 32, nameEnd - 32),
                                                    row.flags};
        }
    }
    ASSERT_EQ(seen.size(), 4u + 4u);
    EXPECT_EQ(seen[2].name, "MSysObjects");
    EXPECT_EQ(seen[5].name, "MSysRelationships");
    EXPECT_EQ(seen[db.DefinitionPage(shown)].name, "Shown");
    EXPECT_EQ(seen[db.DefinitionPage(shown)].type, 1);
    EXPECT_EQ(seen[db.DefinitionPage(gone)].flags, 0x4000);
    EXPECT_EQ(seen[db.DefinitionPage(link)].type, 6);
    EXPECT_EQ(seen[999].name, "A query");
}

TEST(DatabaseBuilder, DefinitionsRecordColumnsAndNames) {
    DatabaseBuilder db;
    TableOptions options;
    options.realIndexCount = 2;
    ColumnSpec id = Column("ID", type::kLong);
    id.autoNumber = true;
    const auto t =
        db.AddTable("Def", {id, Column("Prénom", type::kText, 60), NumericColumn("Amount", 18, 4)}, options);
    const File file = db.Build();
    const ByteView d = PageOf(file, db.DefinitionPage(t));
    EXPECT_EQ(ReadInt8(d, 0), 2);
    EXPECT_EQ(ReadInt8(d, 1), 1);
    EXPECT_EQ(ReadInt32(d, 4), 0);
    EXPECT_EQ(ReadUInt16(d, 41), 3);
    EXPECT_EQ(ReadUInt16(d, 43), 1);
    EXPECT_EQ(ReadUInt16(d, 45), 3);
    EXPECT_EQ(ReadInt32(d, 51), 2);
    const int records = 63 + 12 * 2;
    EXPECT_EQ(ReadInt8(d, records + 0), type::kLong);
    EXPECT_EQ(ReadInt8(d, records + 15), 0x07);  // fixed, may be null, auto-number
    EXPECT_EQ(ReadUInt16(d, records + 25 + 5), 1);
    EXPECT_EQ(ReadInt8(d, records + 25 + 15) & 1, 0);
    EXPECT_EQ(ReadUInt16(d, records + 25 + 23), 60);
    EXPECT_EQ(ReadInt8(d, records + 50 + 11), 18);
    EXPECT_EQ(ReadInt8(d, records + 50 + 12), 4);
    EXPECT_EQ(ReadUInt16(d, records + 50 + 21), 4);
    const int names = records + 75;
    EXPECT_EQ(ReadUInt16(d, names), 4);
    EXPECT_EQ(DecodeUcs2(d, names + 2, 4), "ID");
    EXPECT_EQ(DecodeUcs2(d, names + 8, ReadUInt16(d, names + 6)), "Prénom");
}

// Page 1 whole, then bytes 8 to 4095 of every continuation page.
File MergeDefinition(const File& file, const std::vector<std::int32_t>& pages) {
    File merged(PageOf(file, pages[0]).begin(), PageOf(file, pages[0]).end());
    for (std::size_t k = 1; k < pages.size(); ++k) {
        const ByteView p = PageOf(file, pages[k]);
        merged.insert(merged.end(), p.begin() + 8, p.end());
    }
    return merged;
}

TEST(DatabaseBuilder, LongDefinitionsContinueOnLinkedPages) {
    DatabaseBuilder db;
    std::vector<ColumnSpec> columns;
    for (int i = 0; i < 200; ++i)
        columns.push_back(Column("Column number " + std::to_string(i), type::kLong));
    TableOptions placed;
    placed.definitionPages = {40, 55, 12};
    const auto t = db.AddTable("Wide", columns, placed);
    ASSERT_EQ(db.DefinitionPages(t), (std::vector<std::int32_t>{40, 55, 12}));
    const File file = db.Build();
    EXPECT_EQ(ReadInt32(PageOf(file, 40), 4), 55);
    EXPECT_EQ(ReadInt32(PageOf(file, 55), 4), 12);
    EXPECT_EQ(ReadInt32(PageOf(file, 12), 4), 0);
    EXPECT_EQ(ReadInt8(PageOf(file, 55), 0), 2);

    const File merged = MergeDefinition(file, db.DefinitionPages(t));
    const ByteView d(merged);
    EXPECT_EQ(ReadUInt16(d, 45), 200);
    std::int64_t at = 63 + 25 * 200;
    std::string last;
    for (int i = 0; i < 200; ++i) {
        const int n = ReadUInt16(d, at);
        last = DecodeUcs2(d, at + 2, n);
        at += 2 + n;
    }
    EXPECT_EQ(last, "Column number 199");
    EXPECT_EQ(ReadUInt16(d, 63 + 25 * 199 + 5), 199);
}

TEST(DatabaseBuilder, ChainsCanBeForcedAndLooped) {
    DatabaseBuilder db;
    TableOptions options;
    options.minDefinitionPages = 3;
    const auto t = db.AddTable("Looped", {Column("A", type::kLong)}, options);
    const auto& pages = db.DefinitionPages(t);
    ASSERT_EQ(pages.size(), 3u);
    TableOptions looping;
    looping.minDefinitionPages = 2;
    looping.lastDefinitionLink = -1;
    const auto u = db.AddTable("Stray", {Column("A", type::kLong)}, looping);
    const File file = db.Build();
    EXPECT_EQ(ReadInt32(PageOf(file, pages[0]), 4), pages[1]);
    EXPECT_EQ(ReadInt32(PageOf(file, pages[2]), 4), 0);
    EXPECT_EQ(ReadInt32(PageOf(file, db.DefinitionPages(u)[1]), 4), -1);

    DatabaseBuilder loop;
    TableOptions self;
    self.definitionPages = {20, 21};
    self.lastDefinitionLink = 20;
    loop.AddTable("Loop", {Column("A", type::kLong)}, self);
    EXPECT_EQ(ReadInt32(PageOf(loop.Build(), 21), 4), 20);
    EXPECT_THROW(loop.AddTable("Clash", {Column("A", type::kLong)}, self), std::logic_error);
}

// Follows a long value from its header, as stored, and returns its data.
File ReadLongValue(const File& file, const Cell& header) {
    const ByteView h(*header);
    const int flag = ReadInt8(h, 3) & 0xFF;
    if (flag == 0x80) return File(header->begin() + 12, header->end());
    File data;
    int row = ReadInt8(h, 4) & 0xFF;
    int page = ReadUInt24(h, 5);
    for (int guard = 0; page != 0 && guard < 100; ++guard) {
        const ByteView p = PageOf(file, page);
        EXPECT_EQ(ReadInt32(p, 4), kLongValueLink);
        const RowBounds r = Row(p, row);
        const std::int64_t skip = flag == 0x40 ? 0 : 4;
        data.insert(data.end(), p.begin() + r.start + skip, p.begin() + r.end + 1);
        if (flag == 0x40) break;
        row = ReadInt8(p, r.start) & 0xFF;
        page = ReadUInt24(p, r.start + 1);
    }
    data.resize(static_cast<std::size_t>(ReadUInt24(h, 0)));
    return data;
}

TEST(DatabaseBuilder, LongValuesInAllThreeForms) {
    DatabaseBuilder db;
    const Cell inlineMemo = db.Memo("ab", TextStorage::Compressed);
    EXPECT_EQ(*inlineMemo, (Bytes{4, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE, 'a', 'b'}));

    const Cell single = db.Memo("ab", TextStorage::Ucs2, {LongValueForm::SingleRow});
    EXPECT_EQ((*single)[3], 0x40);
    EXPECT_EQ(ReadLongValue(db.Build(), single), (File{'a', 0, 'b', 0}));

    File blob(9001);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7);
    const Cell chain = db.LongBinary(blob, {LongValueForm::Chain, 3001, true});
    EXPECT_EQ((*chain)[3], 0x00);
    EXPECT_EQ(db.LongValuePages().size(), 1u + 3u);  // 3002-byte pieces, each on a fresh page
    const File file = db.Build();
    EXPECT_EQ(ReadLongValue(file, chain), blob);
    // Every long-value row has an even length, so a row-0 end of 4095 and an
    // odd difference never cut or extend its data.
    for (std::int32_t number : db.LongValuePages()) {
        const ByteView p = PageOf(file, number);
        for (int i = 0; i < ReadUInt16(p, 12); ++i) {
            const RowBounds r = Row(p, i);
            EXPECT_EQ((r.end + 1 - r.start) % 2, 0);
        }
    }
}

TEST(DatabaseBuilder, ValueEncodings) {
    EXPECT_EQ(*Numeric(-12345), (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}));
    const unsigned __int128 big = (static_cast<unsigned __int128>(1) << 96) | 5;
    EXPECT_EQ(*Numeric(false, big), (Bytes{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0}));
    EXPECT_EQ(*Guid("{12345678-1234-5678-0102-030405060708}"),
              (Bytes{0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(*Currency(-10000), (Bytes{0xF0, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(*Text("Zoë"), (Bytes{'Z', 0, 'o', 0, 0xEB, 0}));
    EXPECT_EQ(Ucs2("😀"), (Bytes{0x3D, 0xD8, 0x00, 0xDE}));

    for (const std::string text : {"Zoë", "abc Дмитрий def", "李雷", ""}) {
        const Bytes compressed = CompressedText(text);
        ASSERT_GE(compressed.size(), 2u);
        EXPECT_EQ(compressed[0], 0xFF);
        EXPECT_EQ(DecodeJetText(ByteView(compressed), 0, static_cast<std::int64_t>(compressed.size())), text);
    }
    EXPECT_EQ(CompressedText("Zoë"), (Bytes{0xFF, 0xFE, 'Z', 'o', 0xEB}));
    EXPECT_EQ(CompressedText("Ā"), Ucs2("Ā"));  // U+0100 has a zero low byte
}

TEST(DatabaseBuilder, DamageHelpersStayInsideTheFile) {
    File bytes(5000, 0xAA);
    ZeroPage(bytes, 1);
    EXPECT_EQ(bytes[4095], 0xAA);
    EXPECT_EQ(bytes[4096], 0);
    EXPECT_EQ(bytes[4999], 0);
    ZeroPage(bytes, 7);
    FlipByte(bytes, 0, 0x0F);
    FlipByte(bytes, 99999, 0xFF);
    EXPECT_EQ(bytes[0], 0xA5);
    EXPECT_EQ(CutStart(bytes, 4990).size(), 10u);
    EXPECT_TRUE(CutStart(bytes, 6000).empty());

    std::filesystem::path kept;
    {
        TempDir dir;
        kept = dir.path();
        WriteFile(dir / "x.bin", bytes);
        EXPECT_EQ(ReadFile(dir / "x.bin"), bytes);
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(DatabaseBuilder, ShopSampleAndItsDamagedCopy) {
    const ShopSample shop = BuildShopSample();
    ASSERT_FALSE(shop.catalogPages.empty());
    EXPECT_EQ(shop.longValuePages.size(), 3u);

    OpenedFile intact(shop.intact);
    EXPECT_EQ(intact.reader().CheckFileFormat(), FormatCheck::Jet4);

    EXPECT_EQ(shop.damaged.size(), shop.intact.size() - 1000);
    OpenedFile damaged(shop.damaged);
    CDbReader& reader = damaged.reader();
    EXPECT_EQ(reader.CheckFileFormat(), FormatCheck::NotRecognised);
    ASSERT_EQ(reader.LocatePageOne(), 3096);
    reader.ScanShiftedPages(3096, RunControl{});
    for (std::int32_t page : shop.catalogPages) EXPECT_EQ(reader.Map()[page].pageType, 0);
    for (std::int32_t page : shop.longValuePages) EXPECT_EQ(reader.Map()[page].link, kLongValueLink);
}

}  // namespace
}  // namespace pw::testing
