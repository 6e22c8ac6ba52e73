// Date/Time Extended values and columns in the SQL text, the CSV and the dump.

#include <gtest/gtest.h>

#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "export/SqlBuilder.h"
#include "records/ExtendedDateTime.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

ColumnInfo Column(const std::string& name, std::int32_t typeCode, std::int32_t number) {
    ColumnInfo column;
    column.name = name;
    column.typeCode = typeCode;
    column.columnNumber = number;
    column.length = typeCode == ColumnType::DateTimeExt ? 42 : 4;
    return column;
}

TEST(DateTimeExtExport, ColumnWordIsDatetimeextEverywhere) {
    const ColumnInfo column = Column("When", ColumnType::DateTimeExt, 1);
    EXPECT_EQ(ColumnTypeName(column), "DATETIMEEXT");
    EXPECT_EQ(DumpTypeName(column), "DATETIMEEXT");
    EXPECT_EQ(CsvSchemaWord(column), "DATETIMEEXT");
    TableInfo table;
    table.name = "Log";
    table.columns = {Column("ID", ColumnType::Long, 0), column};
    EXPECT_EQ(BuildTableSql(table).createSql,
              "CREATE TABLE [Log] \r\n(\r\n\t[ID] COUNTER, \r\n\t[When] DATETIMEEXT\r\n);");
}

TEST(DateTimeExtExport, CsvAndDumpWriteTheCellText) {
    // 2021-06-14 22:45:12.3456789
    const std::int64_t ticks = 737954 * kTicksPerDay + 819123456789;
    CellValue cell;
    cell.present = true;
    cell.text = FormatExtendedDateTime(ticks);
    cell.value = TypedValue::DateTimeExt(ticks);
    EXPECT_EQ(cell.text, "2021-06-14 22:45:12.3456789");
    EXPECT_EQ(CsvFieldText(cell, CsvFormat{}), cell.text);
    // A date format of the user's is for ordinary dates; these keep their 100 ns.
    CsvFormat format;
    format.dateFormat = "%d.%m.%Y";
    EXPECT_EQ(CsvFieldText(cell, format), cell.text);
    EXPECT_EQ(ValueJson(cell.value), cell.text);
    // Ticks outside the range (never made by the decoder) still give defined output.
    EXPECT_TRUE(ValueJson(TypedValue::DateTimeExt(-1)).is_null());
}

}  // namespace
}  // namespace pw
