#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ValueEncoding.h"

namespace pw::testing {

// A column as the test describes it. Unset fields take the type's usual
// values: length (BIT 1, BYTE 1, INT 2, LONG 4, CURRENCY 8, SINGLE 4,
// DOUBLE 8, DATE 8, GUID 16, NUMERIC 17, BIGINT 8, BINARY 255, TEXT 100,
// MEMO and OLE 0), fixed for types 1-8, 15, 16 and 19, variable otherwise.
struct ColumnSpec {
    std::string name;  // UTF-8; stored as UCS-2
    int typeCode = type::kLong;
    int length = -1;
    std::optional<bool> fixed;
    int precision = 0;  // written for NUMERIC only
    int scale = 0;
    int columnNumber = -1;  // -1: the column's position in the definition
    bool autoNumber = false;
};

ColumnSpec Column(std::string name, int typeCode, int length = -1);
ColumnSpec NumericColumn(std::string name, int precision, int scale);

// A column with every field resolved, as written into the column record.
struct ColumnLayout {
    ColumnSpec declared;
    int length = 0;
    bool fixed = true;
    int columnNumber = 0;
    int columnIndex = 0;  // position in the definition
    int fixedOffset = 0;  // within the fixed area; 0 for variable columns
    int varIndex = 0;     // among the variable columns; 0 for fixed columns
    std::uint8_t flags = 0;
};

// Where every column of a table goes. Fixed columns take consecutive fixed
// offsets in column-number order (a BIT column takes none: its value lives in
// the null mask); variable columns are numbered in column-number order, which
// is the order their values and offsets are stored in a row.
struct TableLayout {
    std::vector<ColumnLayout> columns;  // definition order
    int fixedAreaSize = 0;
    int variableCount = 0;
    int maxColumnNumber = -1;
};

TableLayout LayoutColumns(const std::vector<ColumnSpec>& specs);

// One row in the layout the row decoder reads, from its first to its last
// byte: the stored column count N, the fixed area, the variable values, then
// (only when the table has variable columns) the end-of-data offset, the
// variable offsets from last to first and the variable count, and the null
// mask of (N - 1) / 8 + 1 bytes last. Cells are given in definition order;
// missing trailing cells are null. Fixed values are cut or zero-padded to
// the column's length. N is the number of columns, or the highest column
// number + 1 when that is larger, so every column has its mask bit;
// storedColumnCount replaces it, and then mask bits of column numbers that
// N's mask cannot hold are lost.
Bytes EncodeRow(const TableLayout& layout, const std::vector<Cell>& cells,
                std::optional<int> storedColumnCount = std::nullopt);

}  // namespace pw::testing
