// Tables whose definition is lost, assembled page by page: the columns
// inferred from the rows, the values they give back, and the rows and pages
// inference has to pass over.

#include <gtest/gtest.h>

#include <algorithm>

#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "schema/SystemTableSignatures.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/RowEncoder.h"

namespace pw {
namespace {

using testing::Column;
using testing::DatabaseBuilder;
namespace type = testing::type;

struct Walked {
    std::vector<std::vector<TypedValue>> rows;
};

Walked WalkAll(testing::AnalysedFile& file, const TableInfo& table) {
    Walked out;
    ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        std::vector<TypedValue> values;
        for (const CellValue& cell : row.cells) values.push_back(cell.value);
        out.rows.push_back(std::move(values));
        return true;
    });
    return out;
}

std::vector<std::string> TextsOf(const std::vector<TypedValue>& row) {
    std::vector<std::string> texts;
    for (const TypedValue& v : row)
        if (v.kind == TypedValue::Kind::Text && !v.text.empty()) texts.push_back(v.text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

const TableInfo* ByPage(const testing::AnalysedFile& file, std::int32_t page) {
    for (const TableInfo& t : file.tables())
        if (t.tdefPage == page) return &t;
    return nullptr;
}

std::int64_t EventsOfKind(const testing::AnalysedFile& file, DamageKind kind) { return file.damage.Count(kind); }

// The columns that hold fixed bytes (Yes/No columns hold none): their types
// and where each stands among the table's columns.
struct FixedColumns {
    std::vector<std::int32_t> types;
    std::vector<std::size_t> at;
};

FixedColumns FixedColumnsOf(const TableInfo& table) {
    FixedColumns fixed;
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].isFixed != 0 && table.columns[c].typeCode != ColumnType::Bit) {
            fixed.types.push_back(table.columns[c].typeCode);
            fixed.at.push_back(c);
        }
    return fixed;
}

class OrphanTables : public ::testing::Test {
protected:
    std::unique_ptr<testing::AnalysedFile> Analyse(const DatabaseBuilder& builder, std::vector<std::int32_t> zero) {
        auto bytes = builder.Build();
        for (std::int32_t page : zero) testing::ZeroPage(bytes, page);
        const auto path = dir / ("t" + std::to_string(++files) + ".mdb");
        testing::WriteFile(path, bytes);
        auto file = std::make_unique<testing::AnalysedFile>(path);
        EXPECT_TRUE(file->ok);
        return file;
    }
    testing::TempDir dir;
    int files = 0;
};

std::vector<testing::ColumnSpec> PeopleColumns() {
    return {Column("Id", type::kLong), Column("Name", type::kText, 100), Column("Born", type::kDate),
            Column("City", type::kText, 100), Column("Note", type::kMemo)};
}

TEST_F(OrphanTables, ALostDefinitionComesBackWithItsTextsCounterAndDatesUnderTheCatalogName) {
    DatabaseBuilder b;
    const auto t = b.AddTable("People", PeopleColumns());
    const std::vector<std::string> names = {"Ann", "Bérénice", "Дмитрий", "李小龍"};
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Long(i + 1), i % 2 ? testing::TextCompressed(names[i]) : testing::Text(names[i]),
                     testing::Date(30000.5 + i), i == 2 ? testing::Null : testing::Text("Town " + std::to_string(i)),
                     b.Memo("note of " + names[i], testing::TextStorage::Compressed)});
    // A long note on a long-value page of its own.
    const std::string longNote(1500, 'x');
    b.AddRow(t, {testing::Long(9), testing::Text("Zoe"), testing::Null, testing::Text("Far"),
                 b.Memo(longNote, testing::TextStorage::Ucs2, {testing::LongValueForm::SingleRow})});
    auto file = Analyse(b, {b.DefinitionPage(t)});

    const TableInfo* people = file->Find("People");
    ASSERT_NE(people, nullptr);
    EXPECT_TRUE(people->columnsInferred);
    EXPECT_FALSE(people->generatedName);
    EXPECT_EQ(people->nameSource, NameSource::Catalog);
    EXPECT_EQ(people->dataPages, b.DataPages(t));
    // The loss is told: the file is no intact file.
    ASSERT_EQ(file->damage.Count(DamageKind::DefinitionRejected), 1);
    EXPECT_EQ(file->damage.KeptEvents()[0].page, b.DefinitionPage(t));

    // The counter and the dates are told apart; the texts are variable columns.
    std::vector<std::int32_t> types;
    for (const ColumnInfo& c : people->columns) types.push_back(c.typeCode);
    EXPECT_EQ(std::count(types.begin(), types.end(), ColumnType::Long), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), ColumnType::Date), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), ColumnType::InferredVariable), 3);
    for (std::size_t i = 0; i < people->columns.size(); ++i)
        EXPECT_EQ(people->columns[i].name, "Recovered Column " + std::to_string(i + 1));

    const Walked walked = WalkAll(*file, *people);
    ASSERT_EQ(walked.rows.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        std::vector<std::string> want = {names[static_cast<std::size_t>(i)], "note of " + names[static_cast<std::size_t>(i)]};
        if (i != 2) want.push_back("Town " + std::to_string(i));
        EXPECT_EQ(TextsOf(walked.rows[static_cast<std::size_t>(i)]), Sorted(want)) << "row " << i;
    }
    EXPECT_EQ(TextsOf(walked.rows[4]), Sorted({"Far", "Zoe", longNote}));
    // The counter keeps its values and the dates theirs.
    bool sawCounter = false;
    bool sawDate = false;
    for (std::size_t c = 0; c < people->columns.size(); ++c) {
        if (people->columns[c].typeCode == ColumnType::Long) {
            sawCounter = true;
            EXPECT_EQ(walked.rows[3][c].integer, 4);
        }
        if (people->columns[c].typeCode == ColumnType::Date) {
            sawDate = true;
            EXPECT_EQ(walked.rows[1][c].kind, TypedValue::Kind::Date);
            EXPECT_DOUBLE_EQ(walked.rows[1][c].real, 30001.5);
            EXPECT_EQ(walked.rows[4][c].kind, TypedValue::Kind::Null);
        }
    }
    EXPECT_TRUE(sawCounter);
    EXPECT_TRUE(sawDate);
}

TEST_F(OrphanTables, WithoutTheCatalogTheRowsComeBackUnderAGeneratedName) {
    DatabaseBuilder b;
    const auto kept = b.AddTable("Kept", {Column("Id", type::kLong), Column("Name", type::kText, 50)});
    b.AddRow(kept, {testing::Long(1), testing::Text("one")});
    const auto t = b.AddTable("Lost", PeopleColumns());
    b.AddRow(t, {testing::Long(1), testing::Text("alpha"), testing::Null, testing::Null, testing::Null});
    std::vector<std::int32_t> zero = b.CatalogPages();
    zero.push_back(b.DefinitionPage(t));
    auto file = Analyse(b, zero);
    const TableInfo* lost = ByPage(*file, b.DefinitionPage(t));
    ASSERT_NE(lost, nullptr);
    EXPECT_TRUE(lost->columnsInferred);
    EXPECT_TRUE(lost->generatedName);
    EXPECT_EQ(lost->nameSource, NameSource::Generated);
    EXPECT_EQ(lost->name.rfind("Recovered Table ", 0), 0u);
    const Walked walked = WalkAll(*file, *lost);
    ASSERT_EQ(walked.rows.size(), 1u);
    EXPECT_EQ(TextsOf(walked.rows[0]), std::vector<std::string>{"alpha"});
    // The table whose definition survives is still read from it.
    const TableInfo* other = ByPage(*file, b.DefinitionPage(kept));
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->columnsInferred);
}

TEST_F(OrphanTables, SmallWholeNumbersThatAreNoCounterAreALongAndOtherBytesStayBinary) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Code", type::kLong), Column("Name", type::kText, 50)});
    // The same number twice, and a negative one: no counter, but a Long.
    b.AddRow(t, {testing::Long(7), testing::Text("a")});
    b.AddRow(t, {testing::Long(7), testing::Text("b")});
    b.AddRow(t, {testing::Long(-3), testing::Text("c")});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columns.size(), 2u);
    const ColumnInfo& fixed = table->columns[0].isFixed ? table->columns[0] : table->columns[1];
    EXPECT_EQ(fixed.typeCode, ColumnType::Long);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 3u);
    EXPECT_EQ(TextsOf(walked.rows[2]), std::vector<std::string>{"c"});
    const std::size_t f = table->columns[0].isFixed ? 0 : 1;
    EXPECT_EQ(walked.rows[2][f].integer, -3);

    // Numbers far too large for a plain Long, the same in two rows: bytes.
    DatabaseBuilder big;
    const auto u = big.AddTable("U", {Column("Code", type::kLong), Column("Name", type::kText, 50)});
    big.AddRow(u, {testing::Long(0x7A000000), testing::Text("a")});
    big.AddRow(u, {testing::Long(0x7A000000), testing::Text("b")});
    auto bigFile = Analyse(big, {big.DefinitionPage(u)});
    const TableInfo* bytes = bigFile->Find("U");
    ASSERT_NE(bytes, nullptr);
    const ColumnInfo& raw = bytes->columns[0].isFixed ? bytes->columns[0] : bytes->columns[1];
    EXPECT_EQ(raw.typeCode, ColumnType::Binary);
    EXPECT_EQ(raw.length, 4);
    const Walked rawRows = WalkAll(*bigFile, *bytes);
    ASSERT_EQ(rawRows.rows.size(), 2u);
    const std::size_t r = bytes->columns[0].isFixed ? 0 : 1;
    EXPECT_EQ(rawRows.rows[0][r].kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(rawRows.rows[0][r].text, std::string("\x00\x00\x00\x7A", 4));
}

TEST_F(OrphanTables, TheFixedAreaSplitsIntoIntegersLongsDoublesAndDatesAtTheirOwnOffsets) {
    DatabaseBuilder b;
    // A column dropped long ago leaves a 2-byte value ahead of the key in
    // every row; the key must still be read at its own offset, not two bytes
    // early. Small Doubles (1.5, -4) are Doubles, not days of 1899.
    const auto t = b.AddTable("T", {Column("Old", type::kInt), Column("Id", type::kLong),
                                    Column("Ratio", type::kDouble), Column("When", type::kDate),
                                    Column("Name", type::kText, 50)});
    const double ratios[] = {1.5, -4.0, 0.25, 0.0};
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Int(static_cast<std::int16_t>(300 + i)), testing::Long(300 + i),
                     testing::Double(ratios[i]), testing::Date(43000.25 + i), testing::Text("n" + std::to_string(i))});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    const FixedColumns fixed = FixedColumnsOf(*table);
    const std::vector<std::size_t>& at = fixed.at;
    ASSERT_EQ(fixed.types,
              (std::vector<std::int32_t>{ColumnType::Int, ColumnType::Long, ColumnType::Double, ColumnType::Date}));
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(walked.rows[i][at[0]].integer, 300 + static_cast<std::int64_t>(i));
        EXPECT_EQ(walked.rows[i][at[1]].integer, 300 + static_cast<std::int64_t>(i));
        EXPECT_DOUBLE_EQ(walked.rows[i][at[3]].real, 43000.25 + static_cast<double>(i));
    }
    EXPECT_DOUBLE_EQ(walked.rows[1][at[2]].real, -4.0);
}

TEST_F(OrphanTables, NumbersKeptAmongTheVariableColumnsAreReadAsNumbers) {
    DatabaseBuilder b;
    // Some files store every column in the variable area, numbers too.
    auto variable = [](testing::ColumnSpec column) {
        column.fixed = false;
        return column;
    };
    const auto t = b.AddTable("T", {variable(Column("Id", type::kLong)), variable(Column("Price", type::kCurrency)),
                                    variable(Column("When", type::kDate)), Column("Code", type::kText, 10),
                                    variable(Column("Discount", type::kDouble))});
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Long(10 + i), testing::Currency(125000 + 10000 * i), testing::Date(44000.5 + i),
                     // Two UCS-2 letters are four bytes too, and stay text.
                     testing::Text(std::string("A") + static_cast<char>('B' + i)),
                     // Zero in every row: a zero, whatever number it was.
                     testing::Double(0.0)});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    std::vector<std::int32_t> types;
    for (const ColumnInfo& c : table->columns) types.push_back(c.typeCode);
    EXPECT_EQ(types, (std::vector<std::int32_t>{ColumnType::Long, ColumnType::Currency, ColumnType::Date,
                                                ColumnType::InferredVariable, ColumnType::Double}));
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 4u);
    EXPECT_EQ(walked.rows[2][0].integer, 12);
    EXPECT_DOUBLE_EQ(walked.rows[2][2].real, 44002.5);
    EXPECT_EQ(TextsOf(walked.rows[2]), std::vector<std::string>{"AD"});
    EXPECT_EQ(walked.rows[2][4].kind, TypedValue::Kind::Float);
    EXPECT_EQ(walked.rows[2][4].real, 0.0);
}

TEST_F(OrphanTables, AYesNoColumnComesBackFromItsMaskBit) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Id", type::kLong), Column("Done", type::kBit), Column("Name", type::kText, 20)});
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Long(i + 1), testing::Bit(i % 2 == 1), testing::Text("n" + std::to_string(i))});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    std::size_t bit = table->columns.size();
    for (std::size_t c = 0; c < table->columns.size(); ++c)
        if (table->columns[c].typeCode == ColumnType::Bit) bit = c;
    ASSERT_LT(bit, table->columns.size());
    EXPECT_EQ(table->columns[bit].columnNumber, 1);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(walked.rows[i][bit].kind, TypedValue::Kind::Boolean) << i;
        EXPECT_EQ(walked.rows[i][bit].boolean, i % 2 == 1) << i;
    }
}

TEST_F(OrphanTables, TwoIntegersSideBySideAreNotReadAsOneLong) {
    auto fixedTypesOf = [this](DatabaseBuilder& b, DatabaseBuilder::TableId t) {
        auto file = Analyse(b, {b.DefinitionPage(t)});
        std::vector<std::int32_t> types;
        const TableInfo* table = file->Find("T");
        if (table == nullptr) return types;
        for (const ColumnInfo& c : table->columns)
            if (c.isFixed != 0 && c.typeCode != ColumnType::Bit) types.push_back(c.typeCode);
        return types;
    };
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("InStock", type::kInt), Column("OnOrder", type::kInt),
                                    Column("Total", type::kLong), Column("Name", type::kText, 20)});
    const std::int16_t stock[] = {39, 17, 13, 53};
    const std::int16_t onOrder[] = {0, 40, 70, 0};
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Int(stock[i]), testing::Int(onOrder[i]), testing::Long(100003 + 7919 * i), testing::Text("p")});
    EXPECT_EQ(fixedTypesOf(b, t), (std::vector<std::int32_t>{ColumnType::Int, ColumnType::Int, ColumnType::Long}));

    // Small negative Longs fill their high half with the sign alone: one Long.
    DatabaseBuilder n;
    const auto u = n.AddTable("T", {Column("Delta", type::kLong), Column("Name", type::kText, 20)});
    for (int i = 0; i < 4; ++i) n.AddRow(u, {testing::Long(-1 - i), testing::Text("p")});
    EXPECT_EQ(fixedTypesOf(n, u), (std::vector<std::int32_t>{ColumnType::Long}));
}

TEST_F(OrphanTables, TwoByteCodesSideBySideAreNotReadAsOneInteger) {
    DatabaseBuilder b;
    // A status and a level, then a quantity past 255 whose low byte is no
    // small code: two Bytes and an Integer, each at its own offset.
    const auto t = b.AddTable("T", {Column("Status", type::kByte), Column("Level", type::kByte),
                                    Column("Quantity", type::kInt), Column("Name", type::kText, 20)});
    const std::uint8_t status[] = {1, 2, 3, 1, 0};
    const std::uint8_t level[] = {3, 3, 1, 2, 4};
    const std::int16_t quantity[] = {300, 517, 1210, 2049, 700};
    for (int i = 0; i < 5; ++i)
        b.AddRow(t, {testing::Byte(status[i]), testing::Byte(level[i]), testing::Int(quantity[i]), testing::Text("p")});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    const FixedColumns fixed = FixedColumnsOf(*table);
    const std::vector<std::size_t>& at = fixed.at;
    ASSERT_EQ(fixed.types, (std::vector<std::int32_t>{ColumnType::Byte, ColumnType::Byte, ColumnType::Int}));
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        if (status[i] != 0) {
            EXPECT_EQ(walked.rows[i][at[0]].integer, status[i]) << i;
        }
        EXPECT_EQ(walked.rows[i][at[1]].integer, level[i]) << i;
        EXPECT_EQ(walked.rows[i][at[2]].integer, quantity[i]) << i;
    }
}

TEST_F(OrphanTables, NumbersThatAreZeroInEveryRowComeBackAsZeros) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Id", type::kLong), Column("Parent", type::kLong), Column("Replies", type::kLong),
                                    Column("Posted", type::kDate), Column("Title", type::kText, 50)});
    for (int i = 0; i < 4; ++i)
        b.AddRow(t, {testing::Long(6 + i), testing::Long(0), testing::Long(0), testing::Date(40647.25 + i),
                     testing::Text("t" + std::to_string(i))});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    const FixedColumns fixed = FixedColumnsOf(*table);
    const std::vector<std::size_t>& at = fixed.at;
    ASSERT_EQ(fixed.types, (std::vector<std::int32_t>{ColumnType::Long, ColumnType::Long, ColumnType::Long, ColumnType::Date}));
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(walked.rows[i][at[0]].integer, 6 + static_cast<std::int64_t>(i));
        for (std::size_t zero : {at[1], at[2]}) {
            EXPECT_EQ(walked.rows[i][zero].kind, TypedValue::Kind::Integer) << i;
            EXPECT_EQ(walked.rows[i][zero].integer, 0) << i;
        }
    }
}

TEST_F(OrphanTables, NullNumbersWhoseBytesHoldLeftoversDoNotSpoilTheirColumn) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Name", type::kText, 20), Column("Value", type::kLong)});
    const std::int32_t values[] = {13, 49, 0, -45, 0, 9087, 0, -3462, -12};
    const bool null[] = {false, false, true, false, false, false, true, false, false};
    for (int i = 0; i < 9; ++i) {
        // A null keeps whatever its bytes held before: here the start of a text.
        testing::Bytes row = testing::EncodeRow(
            b.Layout(t), {testing::Text("row" + std::to_string(i)), testing::Long(null[i] ? 0x6F72FEFF : values[i])});
        if (null[i]) row.back() = static_cast<std::uint8_t>(row.back() & ~(1u << 1));
        b.AddRawRow(t, row);
    }
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    std::size_t at = table->columns.size();
    for (std::size_t c = 0; c < table->columns.size(); ++c)
        if (table->columns[c].isFixed != 0 && table->columns[c].typeCode != ColumnType::Bit) at = c;
    ASSERT_LT(at, table->columns.size());
    EXPECT_EQ(table->columns[at].typeCode, ColumnType::Long);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        if (null[i]) {
            EXPECT_EQ(walked.rows[i][at].kind, TypedValue::Kind::Null) << i;
        } else {
            EXPECT_EQ(walked.rows[i][at].integer, values[i]) << i;
        }
    }
}

TEST_F(OrphanTables, RowsWrittenBeforeAColumnWasAddedKeepTheirValues) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Id", type::kLong), Column("Name", type::kText, 50),
                                    Column("Extra", type::kLong), Column("More", type::kText, 50)});
    // Rows of the table before Extra and More existed store two columns only.
    testing::RowOptions older;
    older.storedColumnCount = 2;
    const auto& layout = b.Layout(t);
    (void)layout;
    b.AddRow(t, {testing::Long(1), testing::Text("old one")}, older);
    b.AddRow(t, {testing::Long(2), testing::Text("new one"), testing::Long(5), testing::Text("more")});
    b.AddRow(t, {testing::Long(3), testing::Text("new two"), testing::Long(6), testing::Text("still more")});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 3u);
    EXPECT_EQ(TextsOf(walked.rows[0]), std::vector<std::string>{"old one"});
    EXPECT_EQ(TextsOf(walked.rows[1]), Sorted({"new one", "more"}));
    EXPECT_EQ(TextsOf(walked.rows[2]), Sorted({"new two", "still more"}));
}

// Bytes left between a row's fixed area and its variable data, as Access
// leaves a row's old bytes there when it rewrites it: every variable offset
// moves on by their count.
testing::Bytes WithBytesAfterFixedArea(testing::Bytes row, std::int32_t storedColumns, std::size_t count) {
    const std::size_t mask = static_cast<std::size_t>((storedColumns - 1) / 8 + 1);
    const std::size_t varCountAt = row.size() - mask - 2;
    const std::size_t varCount = row[varCountAt] | (row[varCountAt + 1] << 8);
    std::size_t fixedEnd = row.size();
    for (std::size_t k = 0; k <= varCount; ++k) {
        const std::size_t at = varCountAt - 2 * (k + 1);
        const std::size_t offset = (row[at] | (row[at + 1] << 8)) + count;
        if (k == 0) fixedEnd = offset - count;
        row[at] = static_cast<std::uint8_t>(offset & 0xFF);
        row[at + 1] = static_cast<std::uint8_t>(offset >> 8);
    }
    row.insert(row.begin() + static_cast<std::ptrdiff_t>(fixedEnd), count, 0x5A);
    return row;
}

TEST_F(OrphanTables, RowsMovedUnderTheOverflowFlagThatStoreMoreColumnsKeepThemAndTheirNumbers) {
    // The table gained a column; only the rows updated since, which Access
    // moved and flagged, store it, and one of them keeps old bytes before
    // its variable data.
    DatabaseBuilder b;
    const auto t =
        b.AddTable("T", {Column("Id", type::kLong), Column("Name", type::kText, 50), Column("Word", type::kText, 50)});
    testing::RowOptions older;
    older.storedColumnCount = 2;
    for (int i = 1; i <= 3; ++i) b.AddRow(t, {testing::Long(i), testing::Text("old " + std::to_string(i))}, older);
    testing::RowOptions moved;
    moved.lookup = true;
    for (int i = 4; i <= 6; ++i) {
        testing::Bytes row = testing::EncodeRow(
            b.Layout(t), {testing::Long(i), testing::Text("name " + std::to_string(i)), testing::Text("word " + std::to_string(i))});
        if (i == 6) row = WithBytesAfterFixedArea(row, 3, 6);
        b.AddRawRow(t, row, moved);
    }
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    const FixedColumns fixed = FixedColumnsOf(*table);
    ASSERT_FALSE(fixed.types.empty());
    EXPECT_EQ(fixed.types[0], ColumnType::Long);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 6u);
    for (std::size_t r = 0; r < 6; ++r) {
        const auto id = static_cast<std::int64_t>(r + 1);
        EXPECT_EQ(walked.rows[r][fixed.at[0]].integer, id) << r;
        const std::string n = std::to_string(id);
        EXPECT_EQ(TextsOf(walked.rows[r]), r < 3 ? std::vector<std::string>{"old " + n} : Sorted({"name " + n, "word " + n}))
            << r;
    }
}

TEST_F(OrphanTables, RowsWithImpossibleLayoutsAreSkippedAndReported) {
    DatabaseBuilder b;
    const auto t = b.AddTable("T", {Column("Id", type::kLong), Column("Name", type::kText, 50)});
    b.AddRow(t, {testing::Long(1), testing::Text("first")});
    testing::Bytes garbage(24, 0xEE);  // states 0xEEEE columns
    b.AddRawRow(t, garbage);
    b.AddRow(t, {testing::Long(2), testing::Text("second")});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("T");
    ASSERT_NE(table, nullptr);
    EXPECT_GE(EventsOfKind(*file, DamageKind::RowRejected), 1);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 2u);
    EXPECT_EQ(TextsOf(walked.rows[0]), std::vector<std::string>{"first"});
    EXPECT_EQ(TextsOf(walked.rows[1]), std::vector<std::string>{"second"});
}

TEST_F(OrphanTables, PagesWithoutALiveRowGiveNoTableAndAreReported) {
    DatabaseBuilder b;
    const auto t = b.AddTable("Gone", {Column("Id", type::kLong), Column("Name", type::kText, 50)});
    testing::RowOptions deleted;
    deleted.deleted = true;
    b.AddRow(t, {testing::Long(1), testing::Text("x")}, deleted);
    auto file = Analyse(b, {b.DefinitionPage(t)});
    EXPECT_EQ(file->Find("Gone"), nullptr);
    EXPECT_EQ(ByPage(*file, b.DefinitionPage(t)), nullptr);
    // One event for the pages, one for the catalog row that still names the table.
    EXPECT_EQ(EventsOfKind(*file, DamageKind::DefinitionRejected), 2);
    bool named = false;
    for (const DamageEvent& e : file->damage.KeptEvents()) named = named || e.table == "Gone";
    EXPECT_TRUE(named);
}

TEST_F(OrphanTables, ATableTheCatalogNamesButWhollyLostIsReported) {
    DatabaseBuilder b;
    const auto kept = b.AddTable("Kept", {Column("Id", type::kLong)});
    const auto gone = b.AddTable("Gone", {Column("Id", type::kLong)});
    b.AddRow(kept, {testing::Long(1)});
    b.AddRow(gone, {testing::Long(2)});
    std::vector<std::int32_t> wiped = b.DataPages(gone);
    wiped.push_back(b.DefinitionPage(gone));
    auto file = Analyse(b, wiped);
    EXPECT_NE(file->Find("Kept"), nullptr);
    EXPECT_EQ(file->Find("Gone"), nullptr);
    bool named = false;
    for (const DamageEvent& e : file->damage.KeptEvents())
        named = named || (e.kind == DamageKind::DefinitionRejected && e.table == "Gone");
    EXPECT_TRUE(named);
}

TEST_F(OrphanTables, VariableValuesThatAreNoTextComeBackAsBytes) {
    DatabaseBuilder b;
    const auto t = b.AddTable("Blobs", {Column("Id", type::kLong), Column("Raw", type::kBinary, 20),
                                        Column("Name", type::kText, 50)});
    const testing::Bytes raw = {0x01, 0x00, 0x02, 0x00, 0xFF};
    b.AddRow(t, {testing::Long(1), testing::Binary(raw), testing::Text("named")});
    b.AddRow(t, {testing::Long(2), testing::Binary({0x00, 0x00}), testing::Text("two")});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("Blobs");
    ASSERT_NE(table, nullptr);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 2u);
    bool sawBytes = false;
    for (const TypedValue& v : walked.rows[0])
        if (v.kind == TypedValue::Kind::Bytes && v.text == std::string(raw.begin(), raw.end())) sawBytes = true;
    EXPECT_TRUE(sawBytes);
    EXPECT_EQ(TextsOf(walked.rows[0]), std::vector<std::string>{"named"});
}

TEST_F(OrphanTables, ATableWithoutVariableColumnsIsReadAsFixedOnly) {
    DatabaseBuilder b;
    const auto t = b.AddTable("Numbers", {Column("Id", type::kLong), Column("When", type::kDate)});
    for (int i = 0; i < 3; ++i) b.AddRow(t, {testing::Long(10 + i), testing::Date(40000.25 + i)});
    auto file = Analyse(b, {b.DefinitionPage(t)});
    const TableInfo* table = file->Find("Numbers");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columns.size(), 2u);
    EXPECT_EQ(table->columns[0].typeCode, ColumnType::Long);
    EXPECT_EQ(table->columns[1].typeCode, ColumnType::Date);
    const Walked walked = WalkAll(*file, *table);
    ASSERT_EQ(walked.rows.size(), 3u);
    EXPECT_EQ(walked.rows[2][0].integer, 12);
    EXPECT_DOUBLE_EQ(walked.rows[2][1].real, 40002.25);
}

std::vector<testing::ColumnSpec> NavPaneColumns() {
    return {Column("Id", type::kLong),       Column("ObjectID", type::kLong), Column("GroupID", type::kLong),
            Column("Name", type::kText, 510), Column("Position", type::kLong), Column("Icon", type::kLong),
            Column("Flags", type::kLong)};
}

TEST_F(OrphanTables, WithoutTheCatalogSystemTablesAreToldByTheirColumnsAndTheNavigationPaneNames) {
    DatabaseBuilder b;
    testing::TableOptions system;
    system.catalogName = "MSysNavPaneGroupToObjects";
    const auto nav = b.AddTable("MSysNavPaneGroupToObjects", NavPaneColumns(), system);
    const auto orders = b.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText, 50)});
    b.AddRow(orders, {testing::Long(1), testing::Text("pen")});
    const auto clients = b.AddTable("Clients", {Column("Id", type::kLong), Column("Who", type::kText, 50)});
    b.AddRow(clients, {testing::Long(1), testing::Text("Ann")});
    const auto unlisted = b.AddTable("Unlisted", {Column("Id", type::kLong)});
    b.AddRow(unlisted, {testing::Long(1)});
    int id = 0;
    for (auto [table, name] : {std::pair{orders, "Orders"}, std::pair{clients, "Clients"}})
        b.AddRow(nav, {testing::Long(++id), testing::Long(b.DefinitionPage(table)), testing::Long(1),
                       testing::Text(name), testing::Long(id), testing::Long(0), testing::Long(0)});
    // Clients' definition is lost too: its rows are named from the pane all the same.
    std::vector<std::int32_t> zero = b.CatalogPages();
    zero.push_back(b.DefinitionPage(clients));
    auto file = Analyse(b, zero);

    EXPECT_EQ(ByPage(*file, b.DefinitionPage(nav)), nullptr);  // a system table: not listed
    const TableInfo* o = file->Find("Orders");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->nameSource, NameSource::NavigationPane);
    EXPECT_FALSE(o->generatedName);
    EXPECT_EQ(o->tdefPage, b.DefinitionPage(orders));
    const TableInfo* c = file->Find("Clients");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->columnsInferred);
    EXPECT_EQ(c->nameSource, NameSource::NavigationPane);
    const TableInfo* u = ByPage(*file, b.DefinitionPage(unlisted));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->nameSource, NameSource::Generated);
    EXPECT_EQ(file->tables().size(), 3u);
}

// Access creates its own tables first: a definition lost on page 3 was the
// access-control table's, whose rows must not pass for a user table.
TEST_F(OrphanTables, WithoutTheCatalogAndItsDefinitionAnAccessTableIsKnownByItsPage) {
    DatabaseBuilder b;
    constexpr DatabaseBuilder::TableId kAces = 1;
    for (std::int32_t object = 0; object < 3; ++object)
        b.AddRow(kAces, {testing::Long(0xFFFFF), testing::Bit(true), testing::Long(0x0F000000 + object),
                         testing::Binary({0x01, 0x02})});
    const auto orders = b.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText, 50)});
    b.AddRow(orders, {testing::Long(1), testing::Text("pen")});
    std::vector<std::int32_t> zero = b.CatalogPages();
    zero.push_back(b.DefinitionPage(kAces));
    auto file = Analyse(b, zero);

    EXPECT_EQ(ByPage(*file, b.DefinitionPage(kAces)), nullptr);
    ASSERT_EQ(file->tables().size(), 1u);
    EXPECT_EQ(file->tables()[0].tdefPage, b.DefinitionPage(orders));
    EXPECT_EQ(SystemTableAtPage(3, 4), std::optional<std::string>("MSysACEs"));
    EXPECT_EQ(SystemTableAtPage(5, 8), std::optional<std::string>("MSysRelationships"));
    // Rows of another width are no rows of that table; nor is any other page.
    EXPECT_EQ(SystemTableAtPage(3, 5), std::nullopt);
    EXPECT_EQ(SystemTableAtPage(6, 4), std::nullopt);
    EXPECT_EQ(SystemTableAtPage(2, 17), std::nullopt);
}

// Access usually leaves the group table's names empty; the object table
// holds them, beside forms and queries that must name nothing.
TEST_F(OrphanTables, TheNavigationPaneObjectListNamesTablesButNotFormsOrQueries) {
    DatabaseBuilder b;
    testing::TableOptions system;
    system.catalogName = "MSysNavPaneObjectIDs";
    const auto objects = b.AddTable(
        "MSysNavPaneObjectIDs", {Column("Id", type::kLong), Column("Name", type::kText, 130), Column("Type", type::kLong)},
        system);
    const auto orders = b.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText, 50)});
    b.AddRow(orders, {testing::Long(1), testing::Text("pen")});
    const auto unlisted = b.AddTable("Unlisted", {Column("Id", type::kLong)});
    b.AddRow(unlisted, {testing::Long(1)});
    b.AddRow(objects, {testing::Long(b.DefinitionPage(orders)), testing::Text("Orders"), testing::Long(1)});
    b.AddRow(objects, {testing::Long(b.DefinitionPage(unlisted)), testing::Text("A query"), testing::Long(5)});
    auto file = Analyse(b, b.CatalogPages());

    EXPECT_EQ(ByPage(*file, b.DefinitionPage(objects)), nullptr);
    const TableInfo* o = file->Find("Orders");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->nameSource, NameSource::NavigationPane);
    const TableInfo* u = ByPage(*file, b.DefinitionPage(unlisted));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->nameSource, NameSource::Generated);
}

// The object list lost with the catalog and its own definition still lists
// the catalog by name; a user table of the same shape does not.
TEST_F(OrphanTables, AnObjectListWhoseDefinitionIsLostIsKnownByItsRowsAndStillNamesTables) {
    DatabaseBuilder b;
    testing::TableOptions system;
    system.catalogName = "MSysNavPaneObjectIDs";
    const std::vector<testing::ColumnSpec> columns = {Column("Id", type::kLong), Column("Name", type::kText, 130),
                                                      Column("Type", type::kLong)};
    const auto objects = b.AddTable("MSysNavPaneObjectIDs", columns, system);
    const auto orders = b.AddTable("Orders", {Column("Id", type::kLong), Column("Item", type::kText, 50)});
    b.AddRow(orders, {testing::Long(1), testing::Text("pen")});
    b.AddRow(orders, {testing::Long(2), testing::Text("ink")});
    const auto lookalike = b.AddTable("Lookalike", columns);
    for (auto [id, name] : {std::pair{2, "MSysObjects"}, std::pair{3, "MSysACEs"},
                            std::pair{b.DefinitionPage(orders), "Orders"}})
        b.AddRow(objects, {testing::Long(id), testing::Text(name), testing::Long(1)});
    b.AddRow(lookalike, {testing::Long(7), testing::Text("Seven"), testing::Long(1)});
    b.AddRow(lookalike, {testing::Long(9), testing::Text("Nine"), testing::Long(1)});
    std::vector<std::int32_t> zero = b.CatalogPages();
    for (auto table : {objects, orders, lookalike}) zero.push_back(b.DefinitionPage(table));
    auto file = Analyse(b, zero);

    EXPECT_EQ(ByPage(*file, b.DefinitionPage(objects)), nullptr);
    const TableInfo* o = file->Find("Orders");
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(o->columnsInferred);
    EXPECT_EQ(o->nameSource, NameSource::NavigationPane);
    const TableInfo* l = ByPage(*file, b.DefinitionPage(lookalike));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->nameSource, NameSource::Generated);
    EXPECT_EQ(file->tables().size(), 2u);
}

}  // namespace
}  // namespace pw
