// Databases written by the engine, read back by our own reader.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "engine/Database.h"
#include "engine/EngineError.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

ColumnDesign Col(const std::string& name, std::int32_t type, std::int32_t length = 0) {
    ColumnDesign c;
    c.name = name;
    c.typeCode = type;
    c.length = length;
    return c;
}

ColumnDesign Counter(const std::string& name) {
    ColumnDesign c = Col(name, ColumnType::Long, 4);
    c.autoNumber = true;
    return c;
}

ColumnDesign DecimalColumn(const std::string& name, std::int32_t precision, std::int32_t scale) {
    ColumnDesign c = Col(name, ColumnType::Numeric, 17);
    c.precision = precision;
    c.scale = scale;
    return c;
}

TableDesign Design(const std::string& name, std::vector<ColumnDesign> columns) {
    TableDesign d;
    d.name = name;
    d.columns = std::move(columns);
    return d;
}

TypedValue Decimal(unsigned __int128 magnitude, int scale, bool negative) {
    TypedValue v;
    v.kind = TypedValue::Kind::Decimal;
    v.decimalMagnitude = magnitude;
    v.decimalScale = scale;
    v.decimalNegative = negative;
    return v;
}

TypedValue Guid(std::uint8_t seed) {
    TypedValue v;
    v.kind = TypedValue::Kind::Guid;
    for (std::size_t i = 0; i < 16; ++i) v.guid[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

std::string Pattern(std::size_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

// The rows of one table as our reader decodes them, live rows only.
std::vector<std::vector<TypedValue>> ReadBack(AnalysedFile& file, const std::string& table) {
    std::vector<std::vector<TypedValue>> rows;
    RowWalker walker(file.analysis.pages(), file.Table(table), file.control());
    while (walker.Next()) {
        const WalkedRow& row = walker.row();
        if (row.kind != SlotKind::Live) continue;
        std::vector<TypedValue> values;
        for (const CellValue& cell : row.cells) values.push_back(cell.value);
        rows.push_back(std::move(values));
    }
    return rows;
}

void ExpectSame(const TypedValue& expected, const TypedValue& actual, const std::string& where) {
    ASSERT_EQ(static_cast<int>(expected.kind), static_cast<int>(actual.kind)) << where;
    switch (expected.kind) {
        case TypedValue::Kind::Boolean: EXPECT_EQ(expected.boolean, actual.boolean) << where; break;
        case TypedValue::Kind::Integer:
        case TypedValue::Kind::Currency: EXPECT_EQ(expected.integer, actual.integer) << where; break;
        case TypedValue::Kind::Float:
        case TypedValue::Kind::Date: EXPECT_EQ(expected.real, actual.real) << where; break;
        case TypedValue::Kind::Decimal:
            EXPECT_TRUE(expected.decimalMagnitude == actual.decimalMagnitude) << where;
            EXPECT_EQ(expected.decimalScale, actual.decimalScale) << where;
            EXPECT_EQ(expected.decimalNegative, actual.decimalNegative) << where;
            break;
        case TypedValue::Kind::Text:
        case TypedValue::Kind::Bytes:
            EXPECT_EQ(expected.text.size(), actual.text.size()) << where;
            EXPECT_TRUE(expected.text == actual.text) << where;
            break;
        case TypedValue::Kind::Guid: EXPECT_EQ(expected.guid, actual.guid) << where; break;
        default: break;
    }
}

class EngineRoundTrip : public ::testing::Test {
protected:
    std::filesystem::path path() const { return dir_ / "out.mdb"; }

    // Adds one record per row, values by column index; every value must be taken.
    static void AddRows(TableWriter& table, const std::vector<std::vector<TypedValue>>& rows) {
        for (const auto& row : rows) {
            const AppendResult appended = table.Append(row);
            EXPECT_TRUE(appended.stored);
            for (const FieldRefusal& refusal : appended.refused) ADD_FAILURE() << refusal.reason;
        }
    }

    TempDir dir_;
};

TEST_F(EngineRoundTrip, EveryTypeComesBackAsItWasStored) {
    const std::vector<std::string> columns = {"Id", "Flag", "Small", "Short", "Amount", "Ratio", "Exact", "When",
                                              "Raw", "Name", "Object", "Notes", "Key", "Money"};
    {
        Database db;
        db.Create(path());
        TableWriter& all = db.CreateTable(Design(
            "Всё 全部", {Counter("Id"), Col("Flag", ColumnType::Bit, 1), Col("Small", ColumnType::Byte, 1),
                         Col("Short", ColumnType::Int, 2), Col("Amount", ColumnType::Long, 4),
                         Col("Ratio", ColumnType::Single, 4), Col("Exact", ColumnType::Double, 8),
                         Col("When", ColumnType::Date, 8), Col("Raw", ColumnType::Binary, 255),
                         Col("Name", ColumnType::Text, 200), Col("Object", ColumnType::OleObject),
                         Col("Notes", ColumnType::Memo), Col("Key", ColumnType::Guid, 16),
                         Col("Money", ColumnType::Currency, 8)}));
        TableWriter& decimals = db.CreateTable(Design("Decimals", {DecimalColumn("D", 28, 4)}));
        AddRows(all,
                {
                    {TypedValue::Integer(1), TypedValue::Boolean(true), TypedValue::Integer(255),
                     TypedValue::Integer(-32768), TypedValue::Integer(std::numeric_limits<std::int32_t>::min()),
                     TypedValue::Float(static_cast<float>(1.1), true), TypedValue::Float(-1e300, false),
                     TypedValue::Date(-693593.5), TypedValue::Bytes(std::string("\0\1\2\0", 4)),
                     TypedValue::Text("Grüße, Ελλάδα, Россия, 中国, 😀"), TypedValue::Bytes(Pattern(10000, 1)),
                     TypedValue::Text(std::string(20000, 'x') + "Ω"), Guid(3), TypedValue::Currency(-922337203685477)},
                    {TypedValue::Integer(2), TypedValue::Boolean(false), TypedValue::Null(), TypedValue::Null(),
                     TypedValue::Null(), TypedValue::Null(), TypedValue::Float(0.0, false), TypedValue::Null(),
                     TypedValue::Null(), TypedValue::Text(""), TypedValue::Bytes("tiny"),
                     TypedValue::Text("short memo"), TypedValue::Null(), TypedValue::Null()},
                    {TypedValue::Integer(7), TypedValue::Boolean(true), TypedValue::Integer(0), TypedValue::Integer(1),
                     TypedValue::Integer(2), TypedValue::Float(2.5, true), TypedValue::Float(1.0 / 3, false),
                     TypedValue::Date(45000.25), TypedValue::Bytes(std::string(255, '\xff')),
                     TypedValue::Text(std::string(100, 'a')), TypedValue::Bytes(Pattern(3000, 2)),
                     TypedValue::Text(Pattern(0, 0) + std::string(3000, 'm')), Guid(200), TypedValue::Currency(1)},
                });
        AddRows(decimals,
                {{Decimal(1234567890123456789ull, 4, true)}, {Decimal(5, 0, false)}, {Decimal(0, 4, false)}});
        db.Finish();
    }
    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.damage.TotalEvents(), 0);
    ASSERT_EQ(file.tables().size(), 2u);
    const TableInfo& table = file.Table("Всё 全部");
    ASSERT_EQ(table.columns.size(), columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) EXPECT_EQ(table.columns[i].name, columns[i]);

    const auto rows = ReadBack(file, "Всё 全部");
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<TypedValue> first = {
        TypedValue::Integer(1), TypedValue::Boolean(true), TypedValue::Integer(255), TypedValue::Integer(-32768),
        TypedValue::Integer(std::numeric_limits<std::int32_t>::min()),
        TypedValue::Float(static_cast<double>(static_cast<float>(1.1)), true), TypedValue::Float(-1e300, false),
        TypedValue::Date(-693593.5), TypedValue::Bytes(std::string("\0\1\2\0", 4)),
        TypedValue::Text("Grüße, Ελλάδα, Россия, 中国, 😀"), TypedValue::Bytes(Pattern(10000, 1)),
        TypedValue::Text(std::string(20000, 'x') + "Ω"), Guid(3), TypedValue::Currency(-922337203685477)};
    for (std::size_t i = 0; i < first.size(); ++i) ExpectSame(first[i], rows[0][i], "row 0 " + columns[i]);
    EXPECT_EQ(rows[1][2].kind, TypedValue::Kind::Null);
    EXPECT_FALSE(rows[1][1].boolean);
    ExpectSame(TypedValue::Text(""), rows[1][9], "empty text");
    ExpectSame(TypedValue::Bytes("tiny"), rows[1][10], "inline OLE");
    ExpectSame(TypedValue::Text(std::string(3000, 'm')), rows[2][11], "single-page memo");
    ExpectSame(TypedValue::Bytes(Pattern(3000, 2)), rows[2][10], "single-page OLE");

    const auto decimals = ReadBack(file, "Decimals");
    ASSERT_EQ(decimals.size(), 3u);
    ExpectSame(Decimal(1234567890123456789ull, 4, true), decimals[0][0], "decimal");
    ExpectSame(Decimal(50000, 4, false), decimals[1][0], "decimal rescaled");
}

TEST_F(EngineRoundTrip, ManyColumnsManyTablesAndPagesOfRows) {
    {
        Database db;
        db.Create(path());
        // 200 columns with long names: the definition takes several pages.
        std::vector<ColumnDesign> columns;
        for (int c = 0; c < 200; ++c) {
            const std::string name = "A rather long column name number " + std::to_string(c);
            columns.push_back(c % 2 ? Col(name, ColumnType::Long, 4) : Col(name, ColumnType::Text, 20));
        }
        TableWriter& wide = db.CreateTable(Design("Wide", columns));
        std::vector<TypedValue> row;
        for (int c = 0; c < 200; ++c) row.push_back(c % 2 ? TypedValue::Integer(c) : TypedValue::Text("t" + std::to_string(c)));
        AddRows(wide, {row});
        // Enough tables that their usage maps fill more than one page.
        for (int t = 0; t < 40; ++t) {
            TableWriter& table = db.CreateTable(
                Design("T" + std::to_string(t), {Col("N", ColumnType::Long, 4), Col("S", ColumnType::Text, 100)}));
            std::vector<std::vector<TypedValue>> rows;
            for (int r = 0; r < t * 60; ++r)
                rows.push_back({TypedValue::Integer(r), TypedValue::Text("row " + std::to_string(r))});
            AddRows(table, rows);
        }
        db.Finish();
    }
    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.damage.TotalEvents(), 0);
    ASSERT_EQ(file.tables().size(), 41u);
    const TableInfo& wide = file.Table("Wide");
    EXPECT_GT(wide.continuationPages.size(), 0u);
    ASSERT_EQ(wide.columns.size(), 200u);
    EXPECT_EQ(wide.columns[199].name, "A rather long column name number 199");
    const auto wideRows = ReadBack(file, "Wide");
    ASSERT_EQ(wideRows.size(), 1u);
    ExpectSame(TypedValue::Integer(199), wideRows[0][199], "last column");
    ExpectSame(TypedValue::Text("t198"), wideRows[0][198], "text column");
    for (int t = 0; t < 40; t += 13) {
        const auto rows = ReadBack(file, "T" + std::to_string(t));
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(t * 60)) << t;
        if (!rows.empty()) ExpectSame(TypedValue::Text("row " + std::to_string(t * 60 - 1)), rows.back()[1], "last row");
        EXPECT_EQ(file.Table("T" + std::to_string(t)).rowCount, t * 60);
    }
}

TEST_F(EngineRoundTrip, DesignsTheFormatCannotHoldAreRefusedAndTheDatabaseStaysUsable) {
    Database db;
    db.Create(path());
    EXPECT_THROW(db.Create(dir_ / "second.mdb"), EngineError);
    EXPECT_THROW(db.CreateTable(Design("Odd", {Col("A", 0x0d, 4)})), EngineError);
    EXPECT_THROW(db.CreateTable(Design("Twice", {Col("A", ColumnType::Long, 4), Col("a", ColumnType::Byte, 1)})),
                 EngineError);
    EXPECT_THROW(db.CreateTable(Design("Wide text", {Col("A", ColumnType::Text, 600)})), EngineError);
    EXPECT_THROW(db.CreateTable(Design("Big decimal", {DecimalColumn("D", 29, 0)})), EngineError);
    EXPECT_THROW(db.CreateTable(Design("", {Col("A", ColumnType::Long, 4)})), EngineError);
    // Names hold any character, brackets included.
    TableWriter& t = db.CreateTable(Design("T] (x", {Counter("Id"), Col("B]", ColumnType::Byte, 1),
                                                      Col("When", ColumnType::Date, 8)}));
    EXPECT_THROW(db.CreateTable(Design("t] (X", {Col("A", ColumnType::Long, 4)})), EngineError);
    EXPECT_EQ(db.FindTable("t] (X"), &t);
    db.Finish();

    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.tables().size(), 1u);
    ASSERT_EQ(file.Table("T] (x").columns.size(), 3u);
    EXPECT_EQ(file.Table("T] (x").columns[1].name, "B]");
}

TEST_F(EngineRoundTrip, RefusedValuesAreNamedAndTheirRecordsStoredWithTheFieldEmpty) {
    {
        Database db;
        db.Create(path());
        TableWriter& t = db.CreateTable(Design("T", {Counter("Id"), Col("B", ColumnType::Byte, 1),
                                                    Col("When", ColumnType::Date, 8),
                                                    DecimalColumn("D", 5, 1)}));
        AppendResult first = t.Append({TypedValue::Null(), TypedValue::Integer(300), TypedValue::Text("soon"),
                                       Decimal(125, 2, false)});
        EXPECT_TRUE(first.stored);
        ASSERT_EQ(first.refused.size(), 3u);
        EXPECT_EQ(first.refused[0].column, 1u);
        EXPECT_NE(first.refused[0].reason.find("300 is out of range"), std::string::npos) << first.refused[0].reason;
        EXPECT_EQ(first.refused[1].column, 2u);
        EXPECT_NE(first.refused[1].reason.find("text"), std::string::npos) << first.refused[1].reason;
        EXPECT_EQ(first.refused[2].column, 3u);
        EXPECT_NE(first.refused[2].reason.find("1.25 has more decimal places"), std::string::npos)
            << first.refused[2].reason;
        // A text is never parsed into a number.
        const AppendResult second = t.Append({TypedValue::Null(), TypedValue::Text("7")});
        ASSERT_EQ(second.refused.size(), 1u);
        const AppendResult third = t.Append({TypedValue::Null(), TypedValue::Integer(9)});
        EXPECT_TRUE(third.refused.empty());
        db.Finish();
    }
    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    const auto rows = ReadBack(file, "T");
    ASSERT_EQ(rows.size(), 3u);
    ExpectSame(TypedValue::Integer(1), rows[0][0], "auto-number given");
    EXPECT_EQ(rows[0][1].kind, TypedValue::Kind::Null);
    EXPECT_EQ(rows[0][2].kind, TypedValue::Kind::Null);
    EXPECT_EQ(rows[0][3].kind, TypedValue::Kind::Null);
    EXPECT_EQ(rows[1][1].kind, TypedValue::Kind::Null);
    ExpectSame(TypedValue::Integer(9), rows[2][1], "accepted");
    ExpectSame(TypedValue::Integer(3), rows[2][0], "auto-number counts on");
}

TEST_F(EngineRoundTrip, ARecordLongerThanAPageIsRefusedWholeAndTheNextOneStored) {
    {
        Database db;
        db.Create(path());
        std::vector<ColumnDesign> columns;
        for (int c = 0; c < 20; ++c) columns.push_back(Col("T" + std::to_string(c), ColumnType::Text, 510));
        TableWriter& t = db.CreateTable(Design("T", columns));
        const AppendResult full = t.Append(std::vector<TypedValue>(20, TypedValue::Text(std::string(255, 'x'))));
        EXPECT_FALSE(full.stored);
        ASSERT_EQ(full.refused.size(), 1u);
        EXPECT_EQ(full.refused[0].column, FieldRefusal::kWholeRecord);
        EXPECT_TRUE(t.Append({TypedValue::Text("small")}).stored);
        db.Finish();
    }
    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    const auto rows = ReadBack(file, "T");
    ASSERT_EQ(rows.size(), 1u);
    ExpectSame(TypedValue::Text("small"), rows[0][0], "the next record");
}

TEST_F(EngineRoundTrip, AnExistingFileIsNeverReplaced) {
    WriteFile(path(), {1, 2, 3});
    Database db;
    EXPECT_THROW(db.Create(path()), EngineError);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadFile(path()).size(), 3u);
}

}  // namespace
}  // namespace pw::testing
