#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pagestore/PageSource.h"
#include "records/OleExtraction.h"
#include "records/Recordset.h"
#include "records/TypedValue.h"
#include "records/ValueDispatch.h"
#include "schema/TableInfo.h"
#include "status/RecoveryStatus.h"

namespace pw {

// Follows every cell in the text form of a row.
inline constexpr const char* kCellSeparator = "@##@#$~##%";
inline constexpr const char* kNullCell = "NULL";

// Texts that mark a row slot that holds no record.
inline constexpr const char* kUnreadableLookupRow = "Could not read lookup row.";
inline constexpr const char* kDeletedRowMark = " This row was deleted in Original database";
inline constexpr const char* kErrorReadingRecord = "ERROR Reading Record";
bool IsNonRecordText(const std::string& text);

// One decoded cell of the row in hand.
struct CellValue {
    std::int32_t present = -1;  // 1 value, 0 null, -1 before the first row
    std::string text;
    TypedValue value;
};

struct RowLocation {
    std::int32_t start = 0;  // first byte of the row in the page
    std::int32_t end = 0;    // last byte
    bool lookup = false;
    bool deleted = false;
};

// Line feeds, carriage returns and double quotes become ";", backslashes are
// doubled, apostrophes become "`".
void SanitizeCellText(std::string& text);

// Decodes the rows of a table's data pages. It owns the state of the row in
// hand (its cells and slot flags), so one walk at a time may use it: every
// operation takes the reader's lock, and a caller that reads that state
// between calls (a whole export walk) holds Session() for the walk.
class RecordReader {
public:
    RecordReader(const PageSource& pages, RecoveryStatus& status, OleExtractor* ole);

    std::unique_lock<std::recursive_mutex> Session() { return std::unique_lock(mutex_); }

    // Row level, on the page in table.pageBuffer.
    RowLocation LocateRow(const TableInfo& table, std::int32_t rowIndex);
    // N (0 or more) and the row's text, or -1 with text unchanged.
    int DecodeRowText(const TableInfo& table, std::int32_t start, std::int32_t end, std::string& text);
    int DecodeRowToRecordset(const TableInfo& table, std::int32_t start, std::int32_t end, Recordset& recordset);
    int ReadRowToRecordset(TableInfo& table, std::int32_t rowIndex, Recordset& recordset);

    // Record walks.
    void PrepareRowValues(const TableInfo& table);
    int ReadRowText(TableInfo& table, std::int32_t rowIndex, std::string& text);
    int ReadRecordWindow(TableInfo& table, std::vector<std::string>& texts);
    int ExportRowsToRecordset(TableInfo& table, Recordset& recordset);

    // Loads data page dataPages[index] into the table's buffer; returns its slot count.
    std::int32_t LoadDataPage(TableInfo& table, std::size_t index);

    // The cells of the row decoded last, indexed by column number.
    const std::vector<CellValue>& rowValues() const { return rowValues_; }
    bool lastRowLookup() const { return lastRowLookup_; }
    bool lastRowDeleted() const { return lastRowDeleted_; }
    void ClearLastRowDeleted() { lastRowDeleted_ = false; }
    OleExtractor* oleExtractor() const { return context_.ole; }
    RecoveryStatus& status() const { return status_; }

private:
    const PageSource& pages_;
    RecoveryStatus& status_;
    ValueContext context_;
    std::recursive_mutex mutex_;
    std::vector<CellValue> rowValues_;
    CellValue scratchCell_;
    bool lastRowLookup_ = false;
    bool lastRowDeleted_ = false;
};

// Calls visit with the typed cells of every record of a table, in storage
// order; deleted and unreadable slots are not records. Returns the number of
// records visited, or -1 when stopped.
int ForEachRecord(RecordReader& reader, TableInfo& table,
                  const std::function<void(const std::vector<CellValue>&)>& visit);

}  // namespace pw
