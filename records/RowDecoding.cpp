#include <algorithm>

#include "pagestore/FieldReaders.h"
#include "records/RecordReader.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kOffsetMask = 0x1FFF;
constexpr std::int32_t kLookupFlag = 0x8000;
constexpr std::int32_t kDeletedFlag = 0x4000;
constexpr std::int32_t kMaxStoredColumns = 256;

// The row's own layout, read from its end: null mask, variable count and the
// variable offset table. Positions are page offsets unless said otherwise.
struct RowLayout {
    std::int32_t start = 0;
    std::int32_t end = 0;
    std::int32_t storedColumns = 0;   // N
    std::int32_t maskLength = 0;      // M
    std::int32_t varCount = 0;        // V
    std::int32_t dataEnd = 0;         // row-relative end of the variable data
    std::int32_t varStart = 0;        // row-relative start of the first variable value

    std::int32_t MaskPosition() const { return end - maskLength + 1; }
    // Row-relative start of variable value k (k == V gives the end of the data).
    std::int32_t VarOffset(ByteView page, std::int32_t k) const {
        return ReadUInt16(page, end - maskLength - 3 - 2 * k);
    }
};

bool MaskBit(ByteView page, const RowLayout& row, std::int32_t columnNumber) {
    if (columnNumber < 0 || columnNumber / 8 >= row.maskLength) return false;
    return (ReadInt8(page, row.MaskPosition() + columnNumber / 8) >> (columnNumber % 8) & 1) != 0;
}

bool SchemaHasVariableColumns(const TableInfo& table) {
    const std::size_t count = std::min(table.columns.size(), static_cast<std::size_t>(std::max(table.columnCount, 0)));
    for (std::size_t i = 0; i < count; ++i)
        if (table.columns[i].isFixed == 0) return true;
    return false;
}

// Checks the row's counts and offsets; false rejects the row.
bool ReadRowLayout(ByteView page, const TableInfo& table, std::int32_t start, std::int32_t end, RowLayout& row) {
    row.start = start;
    row.end = end;
    if (start < 0 || end >= static_cast<std::int32_t>(page.size()) || end < start) return false;
    row.storedColumns = ReadUInt16(page, start);
    if (row.storedColumns > table.maxColumns || row.storedColumns > kMaxStoredColumns) return false;
    row.maskLength = row.storedColumns == 0 ? 1 : (row.storedColumns - 1) / 8 + 1;
    row.varCount = SchemaHasVariableColumns(table) ? ReadUInt16(page, end - row.maskLength - 1) : 0;
    if (row.varCount > row.storedColumns) return false;
    const std::int32_t afterData = end - row.maskLength - start + 1;
    row.dataEnd = row.varCount > 0 ? row.VarOffset(page, row.varCount) : afterData;
    if (row.dataEnd < 0 || row.dataEnd > end - start) return false;
    row.varStart = row.varCount > 0 ? row.VarOffset(page, 0) : afterData;
    const std::int32_t lastFixedByte = row.varStart != 0 ? row.varStart - 1 : 0;
    if (lastFixedByte > row.dataEnd) return false;
    return true;
}

std::size_t ColumnsInUse(const TableInfo& table) {
    return std::min(table.columns.size(), static_cast<std::size_t>(std::max(table.columnCount, 0)));
}

}  // namespace

bool IsNonRecordText(const std::string& text) {
    static const std::string kBoth = std::string(kUnreadableLookupRow) + kDeletedRowMark;
    static const std::string kDeletedTwice = std::string(kDeletedRowMark) + kDeletedRowMark;
    return text.empty() || text == kErrorReadingRecord || text == kUnreadableLookupRow || text == kDeletedRowMark ||
           text == kDeletedTwice || text == kBoth;
}

void SanitizeCellText(std::string& text) {
    const bool clean = std::none_of(text.begin(), text.end(), [](char c) {
        return c == '\n' || c == '\r' || c == '"' || c == '\\' || c == '\'';
    });
    if (clean) return;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '"') {
            out.push_back(';');
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\'') {
            out.push_back('`');
        } else {
            out.push_back(c);
        }
    }
    text = std::move(out);
}

RecordReader::RecordReader(const PageSource& pages, RecoveryStatus& status, OleExtractor* ole)
    : pages_(pages), status_(status) {
    context_.pages = &pages;
    context_.ole = ole;
}

RowLocation RecordReader::LocateRow(const TableInfo& table, std::int32_t rowIndex) {
    std::lock_guard lock(mutex_);
    ByteView page(table.pageBuffer);
    RowLocation row;
    const std::int32_t slot = ReadUInt16(page, 14 + 2 * static_cast<std::int64_t>(rowIndex));
    const std::int32_t previous =
        rowIndex == 0 ? kPageSize : (ReadUInt16(page, 12 + 2 * static_cast<std::int64_t>(rowIndex)) & kOffsetMask);
    row.start = slot & kOffsetMask;
    row.end = previous - 1;
    row.lookup = (slot & kLookupFlag) != 0;
    row.deleted = (slot & kDeletedFlag) != 0;
    lastRowLookup_ = row.lookup;
    lastRowDeleted_ = row.deleted;
    return row;
}

void RecordReader::PrepareRowValues(const TableInfo& table) {
    std::lock_guard lock(mutex_);
    std::int32_t size = std::max(table.maxColumns, 0);
    for (const ColumnInfo& column : table.columns) size = std::max(size, column.columnNumber + 1);
    rowValues_.assign(static_cast<std::size_t>(size), CellValue{});
}

int RecordReader::DecodeRowText(const TableInfo& table, std::int32_t start, std::int32_t end, std::string& text) {
    std::lock_guard lock(mutex_);
    ByteView page(table.pageBuffer);
    RowLayout row;
    if (!ReadRowLayout(page, table, start, end, row)) return -1;

    if (rowValues_.size() < static_cast<std::size_t>(std::max(table.maxColumns, 0))) PrepareRowValues(table);
    for (std::size_t c = 0; c < rowValues_.size(); ++c) {
        CellValue& cell = rowValues_[c];
        cell.present = MaskBit(page, row, static_cast<std::int32_t>(c)) ? 1 : 0;
        cell.text.assign(kNullCell, 4);
        cell.value.kind = TypedValue::Kind::Null;
    }

    std::string result;
    result.reserve(static_cast<std::size_t>(end - start) * 2 + 16);
    const std::size_t columns = ColumnsInUse(table);
    for (std::size_t i = 0; i < columns; ++i) {
        if (status_.StopRequested()) return -1;
        const ColumnInfo& column = table.columns[i];
        const bool inRowValues = column.columnNumber >= 0 && static_cast<std::size_t>(column.columnNumber) < rowValues_.size();
        // A column number the table's counts do not cover still gets a cell.
        if (!inRowValues) {
            scratchCell_.text.assign(kNullCell, 4);
            scratchCell_.value.kind = TypedValue::Kind::Null;
        }
        CellValue& cell = inRowValues ? rowValues_[static_cast<std::size_t>(column.columnNumber)] : scratchCell_;
        const bool hasValue = MaskBit(page, row, column.columnNumber);
        cell.present = hasValue ? 1 : 0;

        if (column.typeCode == ColumnType::Bit) {
            // The mask bit is the value itself.
            cell.text.assign(1, hasValue ? '1' : '0');
            cell.value.kind = TypedValue::Kind::Boolean;
            cell.value.boolean = hasValue;
        } else if (column.isFixed != 0) {
            // A fixed value is read where the definition places it, and only
            // while it lies inside the row's fixed area.
            const std::int64_t at = 2 + static_cast<std::int64_t>(column.fixedOffset);
            const bool inside = column.fixedOffset >= 0 && at + column.length <= row.varStart;
            if (hasValue && inside && column.columnNumber < row.storedColumns) {
                DecodedCell decoded;
                DecodeFixedValue(context_, page, column, row.start + at, decoded);
                cell.text = std::move(decoded.text);
                cell.value = std::move(decoded.value);
            } else {
                cell.present = 0;
            }
        } else {
            // A variable value is found through the column's own slot in the
            // offset table, so deleted and added columns keep their values.
            const std::int32_t k = column.varIndex;
            bool decoded = false;
            if (hasValue && k >= 0 && k < row.varCount) {
                const std::int32_t p = row.VarOffset(page, k);
                const std::int32_t q = k + 1 == row.varCount ? row.dataEnd : row.VarOffset(page, k + 1);
                const std::int32_t lastFixedByte = row.varStart != 0 ? row.varStart - 1 : 0;
                if (p > lastFixedByte && p <= row.dataEnd && q >= p && q <= row.dataEnd) {
                    DecodedCell value;
                    DecodeValue(context_, page, column, row.start + p, q - p, value);
                    cell.text = std::move(value.text);
                    cell.value = std::move(value.value);
                    decoded = true;
                }
            }
            if (!decoded) cell.present = 0;
        }
        result += cell.text;
        result += kCellSeparator;
    }
    text = std::move(result);
    return row.storedColumns;
}

}  // namespace pw
