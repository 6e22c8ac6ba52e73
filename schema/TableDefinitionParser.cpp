#include "schema/TableDefinitionParser.h"

#include <algorithm>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

constexpr int kNumericType = 16;
// Both high bits of the second flag byte mark an expression column.
constexpr int kCalculatedFlags = 0xC0;

void AppendCodePoint(std::string& out, char32_t cp) { AppendUtf8(out, cp); }

}  // namespace

std::string CleanColumnName(const std::string& utf8) {
    constexpr std::size_t kMaxBytes = kColumnNameFieldSize - 1;
    std::string cleaned;
    for (char32_t cp : Utf8CodePoints(utf8)) {
        std::string piece;
        if (cp < 0x20 || cp == 0x7F) {
            piece = "_";
        } else {
            AppendCodePoint(piece, cp);
        }
        if (cleaned.size() + piece.size() > kMaxBytes) break;
        cleaned += piece;
    }
    return cleaned;
}

int ParseColumnRecord(ByteView definition, TableInfo& table, std::int64_t p) {
    ColumnInfo column;
    column.typeCode = ReadInt8(definition, p);
    column.columnNumber = ReadUInt16(definition, p + 5);
    column.varIndex = ReadUInt16(definition, p + 7);
    column.columnIndex = ReadUInt16(definition, p + 9);
    if (column.typeCode == kNumericType) {
        column.precision = ReadInt8(definition, p + 11);
        column.scale = ReadInt8(definition, p + 12);
    }
    column.isFixed = static_cast<std::uint8_t>(ReadInt8(definition, p + 15) & 1);
    column.calculated = (ReadInt8(definition, p + 16) & kCalculatedFlags) == kCalculatedFlags;
    column.fixedOffset = ReadUInt16(definition, p + 21);
    column.length = ReadUInt16(definition, p + 23);
    table.columns.push_back(std::move(column));
    return 1;
}

int ParseTableDefinition(ByteView definition, TableInfo& table, const PageMap& map) {
    const PageLayout layout = PageLayout::Jet4();
    table.rowCount = ReadInt32(definition, layout.tdefRowCountOffset);
    table.tableType = ReadInt8(definition, layout.tableTypeOffset);
    table.maxColumns = ReadUInt16(definition, layout.maxColumnsOffset);
    table.varColumnCount = ReadUInt16(definition, layout.varColumnsOffset);
    table.columnCount = ReadUInt16(definition, layout.columnCountOffset);
    const std::int64_t realIndexCount = ReadInt32(definition, layout.realIndexCountOffset);
    if (table.columnCount == 0) return 0;

    table.columns.clear();
    const std::int64_t firstRecord = 63 + layout.realIndexEntrySize * realIndexCount;
    // A damaged count may state far more columns than the definition has
    // bytes for; records past its end would only read as zeros, and every
    // check of the columns grows with their number.
    const auto size = static_cast<std::int64_t>(definition.size());
    const std::int64_t fit = firstRecord >= size ? 0 : (size - firstRecord) / layout.columnRecordSize;
    const auto records = static_cast<int>(std::min<std::int64_t>(table.columnCount, fit));
    table.columns.reserve(static_cast<std::size_t>(records));
    std::int64_t position = firstRecord;
    for (int i = 0; i < records; ++i, position += layout.columnRecordSize)
        ParseColumnRecord(definition, table, position);

    int unnamedColumns = 0;
    for (ColumnInfo& column : table.columns) {
        const std::int32_t length = ReadUInt16(definition, position);
        column.name = CleanColumnName(DecodeJetText(definition, position + 2, length));
        if (column.name.empty()) {
            column.name = "Recovered Column " + std::to_string(++unnamedColumns);
            column.nameLost = true;
        }
        position += 2 + length;
    }

    table.dataPages.clear();
    for (const PageMapEntry& entry : map)
        if (IsPageOfType(entry, PageType::Data) && entry.link == table.tdefPage) table.dataPages.push_back(entry.pageNumber);
    return 1;
}

}  // namespace pw
