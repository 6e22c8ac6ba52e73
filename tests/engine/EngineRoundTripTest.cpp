// Databases written by the engine, read back by our own reader.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "engine/Database.h"
#include "engine/EngineError.h"
#include "engine/TableRecordset.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

constexpr const char* kLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";

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

    // Adds one record per row; cells by column name, in column order.
    static void AddRows(Database& db, const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<std::vector<TypedValue>>& rows) {
        auto rs = db.OpenRecordset("select * from [" + table + "] where 1=-1");
        for (const auto& row : rows) {
            rs->AddNew();
            for (std::size_t i = 0; i < columns.size(); ++i) rs->SetFieldValue(columns[i], "", row[i]);
            rs->Update();
        }
        rs->Close();
    }

    TempDir dir_;
};

TEST_F(EngineRoundTrip, EveryTypeComesBackAsItWasStored) {
    const std::vector<std::string> columns = {"Id", "Flag", "Small", "Short", "Amount", "Ratio", "Exact", "When",
                                              "Raw", "Name", "Object", "Notes", "Key", "Money"};
    {
        Database db;
        db.Create(path(), kLocale);
        db.Execute("CREATE TABLE [Всё 全部] \r\n(\r\n\t[Id] COUNTER, \r\n\t[Flag] BIT, \r\n\t[Small] BYTE, \r\n\t"
                   "[Short] INT, \r\n\t[Amount] LONG, \r\n\t[Ratio] SINGLE, \r\n\t[Exact] DOUBLE, \r\n\t[When] DATE, "
                   "\r\n\t[Raw] BINARY, \r\n\t[Name] TEXT(100), \r\n\t[Object] OLEOBJECT, \r\n\t[Notes] MEMO, \r\n\t"
                   "[Key] GUID, \r\n\t[Money] CURRENCY\r\n);");
        db.Execute("CREATE TABLE [Decimals] \r\n(\r\n\t[D] DECIMAL(28,4)\r\n);");
        AddRows(db, "Всё 全部", columns,
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
        AddRows(db, "Decimals", {"D"},
                {{Decimal(1234567890123456789ull, 4, true)}, {Decimal(5, 0, false)}, {Decimal(0, 4, false)}});
        db.Close();
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
        db.Create(path(), kLocale);
        // 200 columns with long names: the definition takes several pages.
        std::string sql = "CREATE TABLE [Wide] \r\n(";
        std::vector<std::string> names;
        for (int c = 0; c < 200; ++c) {
            names.push_back("A rather long column name number " + std::to_string(c));
            sql += (c ? ", " : "") + std::string("\r\n\t[") + names.back() + "] " + (c % 2 ? "LONG" : "TEXT(10)");
        }
        db.Execute(sql + "\r\n);");
        std::vector<TypedValue> row;
        for (int c = 0; c < 200; ++c) row.push_back(c % 2 ? TypedValue::Integer(c) : TypedValue::Text("t" + std::to_string(c)));
        AddRows(db, "Wide", names, {row});
        // Enough tables that their usage maps fill more than one page.
        for (int t = 0; t < 40; ++t) {
            db.Execute("CREATE TABLE [T" + std::to_string(t) + "] \r\n(\r\n\t[N] LONG, \r\n\t[S] TEXT(50)\r\n);");
            std::vector<std::vector<TypedValue>> rows;
            for (int r = 0; r < t * 60; ++r)
                rows.push_back({TypedValue::Integer(r), TypedValue::Text("row " + std::to_string(r))});
            AddRows(db, "T" + std::to_string(t), {"N", "S"}, rows);
        }
        db.Close();
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

TEST_F(EngineRoundTrip, RefusalsAreThrownAndLeaveTheDatabaseUsable) {
    Database db;
    db.Create(path(), kLocale);
    EXPECT_THROW(db.Create(dir_ / "second.mdb", kLocale), EngineError);
    EXPECT_THROW(db.Execute("CREATE TABLE [Odd] \r\n(\r\n\t[A] UNKNOWN-DATATYPE = 0xd\r\n);"), EngineError);
    EXPECT_THROW(db.Execute("DROP TABLE [X]"), EngineError);
    db.Execute("CREATE TABLE [T] \r\n(\r\n\t[Id] COUNTER, \r\n\t[B] BYTE, \r\n\t[When] DATE\r\n);");
    EXPECT_THROW(db.Execute("CREATE TABLE [t] \r\n(\r\n\t[A] LONG\r\n);"), EngineError);
    EXPECT_THROW(db.OpenRecordset("select * from [Missing] where 1=-1"), EngineError);
    EXPECT_THROW(db.OpenRecordset("select Id from [T]"), EngineError);

    auto rs = db.OpenRecordset("select * from [T] where 1=-1");
    EXPECT_THROW(rs->Update(), EngineError);  // nothing pending
    rs->AddNew();
    EXPECT_THROW(rs->SetFieldValue("Nope", "1", TypedValue::Integer(1)), EngineError);
    EXPECT_THROW(rs->SetFieldValue("B", "300", TypedValue::Integer(300)), EngineError);
    EXPECT_THROW(rs->SetFieldValue("When", "soon", TypedValue::Text("soon")), EngineError);
    rs->SetFieldValue("B", "7", TypedValue::Text("7"));  // a text where a text is all there is
    rs->Update();
    rs->AddNew();
    rs->SetFieldValue("B", "9", TypedValue::Integer(9));
    rs->Close();  // the pending record is discarded
    EXPECT_EQ(rs->storedRecords(), 1);
    db.Close();

    AnalysedFile file(path());
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.tables().size(), 1u);
    const auto rows = ReadBack(file, "T");
    ASSERT_EQ(rows.size(), 1u);
    ExpectSame(TypedValue::Integer(1), rows[0][0], "auto-number given");
    ExpectSame(TypedValue::Integer(7), rows[0][1], "text converted");
}

TEST_F(EngineRoundTrip, AnExistingFileIsNeverReplaced) {
    WriteFile(path(), {1, 2, 3});
    Database db;
    EXPECT_THROW(db.Create(path(), kLocale), EngineError);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadFile(path()).size(), 3u);
}

}  // namespace
}  // namespace pw::testing
