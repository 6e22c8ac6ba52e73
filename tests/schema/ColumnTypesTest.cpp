#include "schema/ColumnTypes.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

std::string NameOf(std::int32_t typeCode, std::int32_t columnNumber = 3) {
    ColumnInfo column;
    column.typeCode = typeCode;
    column.columnNumber = columnNumber;
    return ColumnTypeName(column);
}

TEST(ColumnTypeName, KnownCodes) {
    EXPECT_EQ(NameOf(1), "BIT");
    EXPECT_EQ(NameOf(2), "BYTE");
    EXPECT_EQ(NameOf(3), "INT");
    EXPECT_EQ(NameOf(5), "CURRENCY");
    EXPECT_EQ(NameOf(6), "SINGLE");
    EXPECT_EQ(NameOf(7), "DOUBLE");
    EXPECT_EQ(NameOf(8), "DATE");
    EXPECT_EQ(NameOf(9), "BINARY");
    EXPECT_EQ(NameOf(10), "TEXT");
    EXPECT_EQ(NameOf(11), "OLEOBJECT");
    EXPECT_EQ(NameOf(12), "MEMO");
    EXPECT_EQ(NameOf(15), "GUID");
    EXPECT_EQ(NameOf(16), "LONG");
    EXPECT_EQ(NameOf(18), "ATTACHMENT");
    EXPECT_EQ(NameOf(19), "BIGINT");
    EXPECT_EQ(NameOf(20), "DATETIMEEXT");
}

TEST(ColumnTypeName, LongIntegerInColumnZeroIsTheCounter) {
    EXPECT_EQ(NameOf(4, 0), "COUNTER");
    EXPECT_EQ(NameOf(4, 1), "LONG");
    EXPECT_EQ(NameOf(4, -1), "LONG");
    EXPECT_EQ(NameOf(16, 0), "LONG");  // only the 32-bit integer becomes a counter
}

TEST(ColumnTypeName, UnknownCodesShowTheirHexadecimalCode) {
    EXPECT_EQ(NameOf(13), "UNKNOWN-DATATYPE = 0xd");
    EXPECT_EQ(NameOf(14), "UNKNOWN-DATATYPE = 0xe");
    EXPECT_EQ(NameOf(17), "UNKNOWN-DATATYPE = 0x11");
    EXPECT_EQ(NameOf(0), "UNKNOWN-DATATYPE = 0x0");
    EXPECT_EQ(NameOf(21), "UNKNOWN-DATATYPE = 0x15");
    EXPECT_EQ(NameOf(-128), "UNKNOWN-DATATYPE = 0xffffff80");
    EXPECT_EQ(NameOf(-1), "UNKNOWN-DATATYPE = 0xffffffff");
}

}  // namespace
}  // namespace pw
