#include <gtest/gtest.h>

#include "engine/CreateTableParser.h"
#include "engine/EngineError.h"
#include "export/SqlBuilder.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

ColumnInfo Col(const std::string& name, std::int32_t type, std::int32_t number, std::int32_t length = 0) {
    ColumnInfo c;
    c.name = name;
    c.typeCode = type;
    c.columnNumber = number;
    c.length = length;
    return c;
}

TEST(CreateTableParser, ReadsWhatTheStatementBuilderWrites) {
    TableInfo t;
    t.name = "Or]ders [2024]";
    t.columns = {Col("ID", ColumnType::Long, 0, 4), Col("Na]me", ColumnType::Text, 1, 100),
                 Col("Notes", ColumnType::Memo, 2), Col("Flag", ColumnType::Bit, 3, 1),
                 Col("Price", ColumnType::Currency, 4, 8), Col("Key", ColumnType::Guid, 5, 16),
                 Col("Blob", ColumnType::OleObject, 6), Col("Raw", ColumnType::Binary, 7, 255),
                 Col("N", ColumnType::Long, 8, 4)};
    ColumnInfo decimal = Col("Amount", ColumnType::Numeric, 9, 17);
    decimal.precision = 18;
    decimal.scale = 4;
    t.columns.push_back(decimal);

    const TableDesign design = ParseCreateTable(BuildTableSql(t).createSql);
    EXPECT_EQ(design.name, "Or]ders [2024]");
    ASSERT_EQ(design.columns.size(), 10u);
    EXPECT_EQ(design.columns[0].typeCode, ColumnType::Long);
    EXPECT_TRUE(design.columns[0].autoNumber);
    EXPECT_EQ(design.columns[1].name, "Na]me");
    EXPECT_EQ(design.columns[1].length, 100);  // 50 characters, two bytes each
    EXPECT_EQ(design.columns[2].typeCode, ColumnType::Memo);
    EXPECT_EQ(design.columns[7].typeCode, ColumnType::Binary);
    EXPECT_FALSE(design.columns[8].autoNumber);
    EXPECT_EQ(design.columns[9].typeCode, ColumnType::Numeric);
    EXPECT_EQ(design.columns[9].precision, 18);
    EXPECT_EQ(design.columns[9].scale, 4);
    EXPECT_TRUE(design.notes.empty());
}

TEST(CreateTableParser, TypesTheFormatLacksBecomeOnesThatLoseNothingAndAreNoted) {
    const TableDesign design = ParseCreateTable(
        "CREATE TABLE [T] \r\n(\r\n\t[Big] BIGINT, \r\n\t[When] DATETIMEEXT, \r\n\t[Calc] TEXT(0), \r\n\t[Long] TEXT(300)\r\n);");
    ASSERT_EQ(design.columns.size(), 4u);
    EXPECT_EQ(design.columns[0].typeCode, ColumnType::Numeric);
    EXPECT_EQ(design.columns[0].precision, 19);
    EXPECT_EQ(design.columns[1].typeCode, ColumnType::Text);
    EXPECT_EQ(design.columns[2].length, 510);
    EXPECT_EQ(design.columns[3].typeCode, ColumnType::Memo);
    EXPECT_EQ(design.notes.size(), 4u);
}

TEST(CreateTableParser, AnEmptyColumnListMakesATableWithoutColumns) {
    const TableDesign design = ParseCreateTable("CREATE TABLE [Nothing] \r\n(\r\n);");
    EXPECT_EQ(design.name, "Nothing");
    EXPECT_TRUE(design.columns.empty());
}

TEST(CreateTableParser, RefusesWhatItDoesNotKnow) {
    for (const char* sql : {
             "CREATE TABLE [T] \r\n(\r\n\t[A] UNKNOWN-DATATYPE = 0xd\r\n);",
             "CREATE TABLE [T] \r\n(\r\n\t[A] LONG, \r\n\t[A] INT\r\n);",
             "CREATE TABLE [T] (\r\n\t[A] DECIMAL(40,2)\r\n);",
             "CREATE TABLE [T] (\r\n\t[A] BINARY(0)\r\n);",
             "CREATE TABLE [T] (\r\n\t[A] LONG",
             "CREATE TABLE T (A LONG);",
             "CREATE TABLE [] ([A] LONG);",
             "CREATE TABLE [T] ([A] LONG); DROP TABLE [T];",
             "SELECT * FROM [T]",
             "",
         })
        EXPECT_THROW(ParseCreateTable(sql), EngineError) << sql;
}

}  // namespace
}  // namespace pw
