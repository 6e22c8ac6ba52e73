#pragma once

// A walk over a data page needs the table the page belongs to. Parsing a
// definition for it would spend most of each input on the parser, so the
// input's first bytes name a small table instead, laid out as Access lays
// its tables out (fixed columns one after another, variable columns in slot
// order): the fuzzer then changes columns and rows alike, and rows that
// match their columns are decoded to the end.
//
//   byte 0        column count - 1 (low 4 bits)
//   byte 1        the most columns a row may state (at least the count)
//   byte 2        bit 0: deleted rows and stale pages too; bit 1: columns inferred
//   2 bytes each  column type (an index into kShapeTypes) and its size byte:
//                 bit 7 an expression column, bits 0 to 6 the length of text
//                 and binary columns (in words) or a decimal's precision

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/FieldReaders.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "schema/TableInfo.h"

namespace pw::fuzz {

// A code no decoder knows still has its stored bytes kept.
inline constexpr std::int32_t kUnknownType = 13;

inline constexpr std::array<std::int32_t, 19> kShapeTypes = {
    ColumnType::Bit,        ColumnType::Byte,      ColumnType::Int,         ColumnType::Long,
    ColumnType::Currency,   ColumnType::Single,    ColumnType::Double,      ColumnType::Date,
    ColumnType::Binary,     ColumnType::Text,      ColumnType::OleObject,   ColumnType::Memo,
    ColumnType::Guid,       ColumnType::Numeric,   kUnknownType,            ColumnType::Attachment,
    ColumnType::BigInt,     ColumnType::DateTimeExt, ColumnType::InferredVariable};

// Bytes a fixed column takes in the fixed area; 0 for a variable column.
inline std::int32_t FixedSize(std::int32_t type) {
    switch (type) {
        case ColumnType::Byte: return 1;
        case ColumnType::Int: return 2;
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Attachment: return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::Date:
        case ColumnType::BigInt: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::DateTimeExt: return 42;
        default: return 0;
    }
}

// Bytes past the input's end read as zero, as every field reader's do.
inline std::int32_t ShapeByte(ByteView input, std::int32_t at) { return ReadInt8(input, at) & 0xFF; }

inline bool IsFixedType(std::int32_t type) { return type == ColumnType::Bit || FixedSize(type) > 0; }

struct ShapedInput {
    TableInfo table;
    WalkOptions options;
    ByteView rest;  // what follows the shape: the pages
};

inline ShapedInput ReadTableShape(ByteView input) {
    ShapedInput shaped;
    TableInfo& table = shaped.table;
    const std::int32_t count = (ShapeByte(input, 0) & 0x0F) + 1;
    table.name = "Fuzzed";
    table.tdefPage = 0;
    table.tableType = 1;
    table.columnCount = count;
    table.maxColumns = std::max(ShapeByte(input, 1), count);
    const std::int32_t flags = ShapeByte(input, 2);
    shaped.options.includeDeleted = (flags & 1) != 0;
    table.columnsInferred = (flags & 2) != 0;
    std::int32_t fixedOffset = 0;
    std::int32_t varIndex = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto pick = static_cast<std::size_t>(ShapeByte(input, 3 + 2 * i));
        const std::int32_t type = kShapeTypes[pick % kShapeTypes.size()];
        const std::int32_t size = ShapeByte(input, 4 + 2 * i);
        ColumnInfo column;
        column.name = "c" + std::to_string(i);
        column.typeCode = type;
        column.columnNumber = i;
        column.columnIndex = i;
        column.calculated = (size & 0x80) != 0;
        column.isFixed = IsFixedType(type) ? 1 : 0;
        if (column.isFixed != 0) {
            column.length = FixedSize(type);
            column.fixedOffset = fixedOffset;
            fixedOffset += column.length;
        } else {
            column.length = 2 * (size & 0x7F);
            column.fixedOffset = 0;
            column.varIndex = varIndex++;
        }
        if (type == ColumnType::Numeric) {
            column.precision = (size & 0x7F) % 29;
            column.scale = column.precision > 0 ? i % (column.precision + 1) : 0;
        }
        table.columns.push_back(column);
    }
    table.varColumnCount = varIndex;
    const std::size_t used = std::min<std::size_t>(input.size(), static_cast<std::size_t>(3 + 2 * count));
    shaped.rest = input.subspan(used);
    return shaped;
}

}  // namespace pw::fuzz
