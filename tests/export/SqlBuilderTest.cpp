#include "export/SqlBuilder.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

ColumnInfo Column(std::string name, int type, int number, int length = 0) {
    ColumnInfo c;
    c.name = std::move(name);
    c.typeCode = type;
    c.columnNumber = number;
    c.length = length;
    return c;
}

TEST(SqlBuilder, OrdersExampleByteForByte) {
    TableInfo t;
    t.name = "Orders";
    t.columns = {Column("ID", 4, 0), Column("Name", 10, 1, 200), Column("Notes", 12, 2)};
    const TableSql sql = BuildTableSql(t);
    EXPECT_EQ(sql.createSql,
              "CREATE TABLE [Orders] \r\n(\r\n\t[ID] COUNTER, \r\n\t[Name] TEXT(100), \r\n\t[Notes] MEMO\r\n);");
    EXPECT_EQ(sql.insertSql, "INSERT INTO [Orders] ([ID], [Name], [Notes]) VALUES (");
}

TEST(SqlBuilder, AttachmentColumnsAreLeftOutWithoutEmptyItems) {
    TableInfo t;
    t.name = "T";
    t.columns = {Column("A", 3, 0), Column("Files", 18, 1), Column("B", 16, 2)};
    const TableSql sql = BuildTableSql(t);
    EXPECT_EQ(sql.createSql, "CREATE TABLE [T] \r\n(\r\n\t[A] INT, \r\n\t[B] DECIMAL(28,0)\r\n);");
    EXPECT_EQ(sql.insertSql, "INSERT INTO [T] ([A], [B]) VALUES (");

    TableInfo onlyAttachments;
    onlyAttachments.name = "Empty";
    onlyAttachments.columns = {Column("Files", 18, 0)};
    const TableSql empty = BuildTableSql(onlyAttachments);
    EXPECT_EQ(empty.createSql, "CREATE TABLE [Empty] \r\n(\r\n);");
    EXPECT_EQ(empty.insertSql, "INSERT INTO [Empty] () VALUES (");
}

TEST(SqlBuilder, CounterOnlyForColumnNumberZeroAndUnknownCodesPassThrough) {
    TableInfo t;
    t.name = "x]y";
    t.columns = {Column("Second", 4, 1), Column("First", 4, 0), Column("Odd", 13, 2)};
    const TableSql sql = BuildTableSql(t);
    EXPECT_EQ(sql.createSql,
              "CREATE TABLE [x]y] \r\n(\r\n\t[Second] LONG, \r\n\t[First] COUNTER, \r\n\t[Odd] UNKNOWN-DATATYPE = "
              "0xd\r\n);");
}

TEST(SqlBuilder, TextLengthsCountCharactersUpTo255) {
    TableInfo t;
    t.name = "T";
    t.columns = {Column("Short", 10, 0, 30), Column("Long", 10, 1, 510), Column("Odd", 10, 2, 7)};
    EXPECT_EQ(BuildTableSql(t).createSql,
              "CREATE TABLE [T] \r\n(\r\n\t[Short] TEXT(15), \r\n\t[Long] TEXT(255), \r\n\t[Odd] TEXT(3)\r\n);");
}

}  // namespace
}  // namespace pw
