#include <algorithm>
#include <fstream>
#include <iterator>

#include "pagestore/FieldReaders.h"
#include "records/RecordReader.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kWindowSize = 100;

bool IsLastPage(const TableInfo& table) {
    return table.pageCursor >= static_cast<std::int32_t>(table.dataPages.size()) - 1;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::int32_t RecordReader::LoadDataPage(TableInfo& table, std::size_t index) {
    table.pageBuffer.fill(0);
    if (index >= table.dataPages.size()) return 0;
    const std::int32_t pageNumber = table.dataPages[index];
    pages_.ReadPage(table.pageBuffer, pageNumber);
    const PageMap& map = pages_.Map();
    if (pageNumber < 0 || static_cast<std::size_t>(pageNumber) >= map.size()) return 0;
    return map[static_cast<std::size_t>(pageNumber)].rowCount;
}

int RecordReader::ReadRowText(TableInfo& table, std::int32_t rowIndex, std::string& text) {
    std::lock_guard lock(mutex_);
    text.clear();
    const RowLocation row = LocateRow(table, rowIndex);
    if (row.lookup) text = kUnreadableLookupRow;
    if (row.deleted) {
        text += kDeletedRowMark;
        // A removed row may still name the page its record moved to; that
        // page's rows then count towards the table's total.
        const std::int32_t movedTo = ReadUInt24(ByteView(table.pageBuffer), row.start + 1);
        if (std::find(table.dataPages.begin(), table.dataPages.end(), movedTo) != table.dataPages.end()) {
            const PageMap& map = pages_.Map();
            table.rowCount += map[static_cast<std::size_t>(movedTo)].rowCount;
        }
        return -1;
    }
    if (status_.StopRequested()) return -1;
    return DecodeRowText(table, row.start, row.end, text) == 0 ? 0 : 1;
}

int RecordReader::ReadRecordWindow(TableInfo& table, std::vector<std::string>& texts) {
    std::lock_guard lock(mutex_);
    std::int32_t i = table.recordCursor;
    std::int32_t s = table.slotCursor;
    std::int32_t bound = i < table.rowCount - kWindowSize ? i + kWindowSize : table.rowCount;
    PrepareRowValues(table);
    if (table.dataPages.empty()) return -1;
    if (table.pageCursor < 0 || table.pageCursor >= static_cast<std::int32_t>(table.dataPages.size()))
        table.pageCursor = 0;
    std::int32_t slots = LoadDataPage(table, static_cast<std::size_t>(table.pageCursor));
    std::size_t k = 0;

    auto advanceToSlot = [&]() {
        while (s >= slots) {
            if (IsLastPage(table)) return false;
            ++table.pageCursor;
            slots = LoadDataPage(table, static_cast<std::size_t>(table.pageCursor));
            s = 0;
        }
        return true;
    };

    while (i < bound && k < texts.size()) {
        if (!advanceToSlot()) break;
        if (status_.StopRequested()) return -1;
        if (ReadRowText(table, s, texts[k]) == 0) texts[k] = kErrorReadingRecord;
        if (IsNonRecordText(texts[k])) {
            bound = std::min(bound + 1, table.rowCount);
            lastRowDeleted_ = false;
        } else {
            ++k;
        }
        ++s;
        ++i;
    }
    if (status_.StopRequested()) return -1;

    // The definition's row count was too small for the rows actually stored:
    // the first window is filled up from the pages that follow.
    if (i < kWindowSize && i >= bound && !IsLastPage(table)) {
        if (s == 0) {
            s = table.slotCursor;
            slots = LoadDataPage(table, static_cast<std::size_t>(table.pageCursor));
        }
        while (s < kWindowSize && !IsLastPage(table) && i - table.recordCursor < kWindowSize && k < texts.size()) {
            ++table.rowCount;
            lastRowDeleted_ = false;
            if (!advanceToSlot()) break;
            if (status_.StopRequested()) return -1;
            if (ReadRowText(table, s, texts[k]) == 0) texts[k] = kErrorReadingRecord;
            ++k;
            ++s;
            ++i;
        }
    }
    table.recordCursor = i;
    table.slotCursor = s;
    return 1;
}

int RecordReader::DecodeRowToRecordset(const TableInfo& table, std::int32_t start, std::int32_t end,
                                       Recordset& recordset) {
    std::lock_guard lock(mutex_);
    std::string text;
    if (DecodeRowText(table, start, end, text) < 0) return -1;
    const bool anyValue = std::any_of(rowValues_.begin(), rowValues_.begin() + std::min<std::ptrdiff_t>(
                                                                                 rowValues_.size(), std::max(table.maxColumns, 0)),
                                      [](const CellValue& c) { return c.present == 1; });
    if (table.maxColumns == 0 || !anyValue) return 1;

    int fieldsSet = 0;
    const std::size_t columns = std::min(table.columns.size(), static_cast<std::size_t>(std::max(table.columnCount, 0)));
    for (std::size_t i = 0; i < columns; ++i) {
        const ColumnInfo& column = table.columns[i];
        if (column.columnNumber < 0 || static_cast<std::size_t>(column.columnNumber) >= rowValues_.size()) continue;
        const CellValue& cell = rowValues_[static_cast<std::size_t>(column.columnNumber)];
        if (column.typeCode != ColumnType::Bit && cell.present == 0) continue;
        std::string shown = cell.text;
        SanitizeCellText(shown);
        if (shown == kNullCell) continue;
        try {
            if (column.typeCode == ColumnType::OleObject) {
                const std::string bytes = cell.text.empty() ? std::string() : ReadWholeFile(cell.text);
                recordset.SetFieldValue(column.name, shown, TypedValue::Bytes(bytes));
            } else {
                recordset.SetFieldValue(column.name, shown, cell.value);
            }
            ++fieldsSet;
        } catch (const std::exception&) {
            // A field the output refuses is left empty; the row goes on.
        }
    }
    return fieldsSet;
}

int RecordReader::ReadRowToRecordset(TableInfo& table, std::int32_t rowIndex, Recordset& recordset) {
    std::lock_guard lock(mutex_);
    const RowLocation row = LocateRow(table, rowIndex);
    if (row.deleted) return 0;
    if (status_.StopRequested()) return -1;
    return DecodeRowToRecordset(table, row.start, row.end, recordset) != 0 ? 1 : 0;
}

int ForEachRecord(RecordReader& reader, TableInfo& table,
                  const std::function<void(const std::vector<CellValue>&)>& visit) {
    auto session = reader.Session();
    reader.PrepareRowValues(table);
    int records = 0;
    std::string text;
    for (std::size_t p = 0; p < table.dataPages.size(); ++p) {
        table.pageCursor = static_cast<std::int32_t>(p);
        const std::int32_t slots = reader.LoadDataPage(table, p);
        for (std::int32_t r = 0; r < slots; ++r) {
            const RowLocation row = reader.LocateRow(table, r);
            if (row.deleted) continue;
            if (reader.status().StopRequested()) return -1;
            if (reader.DecodeRowText(table, row.start, row.end, text) <= 0) continue;
            visit(reader.rowValues());
            ++records;
        }
    }
    return records;
}

}  // namespace pw
