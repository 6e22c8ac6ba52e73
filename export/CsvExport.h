#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "export/CsvFileNames.h"
#include "export/OleFiles.h"
#include "pagestore/PageSource.h"
#include "records/RowWalk.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// What an export writes for each table.
enum class ExportContent { SchemaOnly, SchemaAndData };

// How the export of one table ended.
enum class TableExportOutcome {
    Completed,    // every record was written
    Failed,       // the folder or a file could not be made or written, or the content is unknown
    NoDataPages,  // the table owns no data page (a data file then holds the header only)
    Stopped,      // a stop was requested; what was written stays
};

struct TableExportResult {
    TableExportOutcome outcome = TableExportOutcome::Failed;
    std::int64_t exportedRows = 0;    // records counted by the export
    std::int64_t rejectedValues = 0;  // values the target refused (see RejectLog)
    TableTally walk;                  // what the walk over the rows met
};

// A data file holds the header and at most this many records; the next ones
// go to "<stem>_1.csv", "<stem>_2.csv"…
inline constexpr std::int32_t kRowsPerCsvFile = 65535;

// How data files are written (RFC 4180 unless told otherwise).
struct CsvFormat {
    char delimiter = ',';
    bool header = true;
    // strftime form of dates; empty for "MM/DD/YYYY HH:MM:SS".
    std::string dateFormat;
    // Deleted rows still readable and rows of pages no longer in use are
    // written too, marked in an extra last column "_row" ("deleted" or
    // "stale"; empty for live rows).
    bool includeDeleted = false;
};

struct CsvExportSettings {
    std::filesystem::path folder;
    ExportContent content = ExportContent::SchemaAndData;
    CsvFormat format;
};

// The word of a column in a schema-only file: the SQL type words, "COUNTER"
// for a 32-bit integer in column number 0, "LONG" for the decimal type and
// "UNKNOWN-DATATYPE" (without a code) for every type that has no word.
std::string CsvSchemaWord(const ColumnInfo& column);

// Lower case per character of UTF-8 text, by the one rule names fold by
// (CaseFolded).
std::string LowerCaseUtf8(const std::string& utf8);

// RFC 4180: a field that holds the delimiter, a double quote, CR or LF is
// written between double quotes, with its double quotes doubled; any other
// field as it is.
std::string QuoteCsvField(const std::string& field, char delimiter = ',');

// The header of a data file: the lower-cased column names, each quoted as a
// field, joined by the delimiter, with CR LF after the last; empty for a
// table without columns.
std::string CsvHeaderLine(const TableInfo& table, char delimiter = ',');

// A date serial in the given strftime form, or "MM/DD/YYYY HH:MM:SS" (four
// year digits) when the form is empty; empty outside the calendar.
std::string FormatCsvDate(double serial, const std::string& format);
// FormatCsvDate(serial, format) appended to `out`.
void AppendCsvDate(std::string& out, double serial, const std::string& format);

// The stored value of a cell as a data file holds it, before quoting: the
// value unchanged (text as stored, BIT as "Yes"/"No", integers, floating
// point as the shortest text that reads back to the same value, binary as
// "0x" and two hexadecimal digits a byte, NUMERIC and CURRENCY with their
// digits), empty for NULL and for a value that could not be read (its cell
// text is for a person, never data).
std::string CsvFieldText(const CellValue& cell, const CsvFormat& format);

// Writes tables of one export into CSV files in the export folder: "<stem>.csv"
// and, past every kRowsPerCsvFile counted rows, "<stem>_<n>.csv", where the
// stem is the table's name made safe (CsvFileNamer; one namer per exporter so
// the tables of one export never share a file). Lines end in CR LF.
//
// Records are the live rows of the table's row walk, their fields the typed
// cells in the order of table.columns. The OLE objects of a table are written
// as files into "<stem>_files" beside its CSV files, numbered from 1, and the
// field names the file relative to the CSV file: an export holds all it
// wrote, and a later export can never overwrite it.
class CsvExporter {
public:
    // Called after every counted row of a data export, with the count so far.
    using RowHook = std::function<void(const TableInfo&, std::int64_t exportedRows)>;

    CsvExporter(const PageSource& pages, CsvExportSettings settings);

    void SetRowHook(RowHook hook) { rowHook_ = std::move(hook); }

    // Writes the table's file(s). A folder deleted since the export began is
    // made again.
    TableExportResult ExportTableToCsv(const TableInfo& table, const RunControl& run = {});

    // Writes the table's data as one CSV document to a stream the caller
    // owns (standard output): no parts, and OLE objects in hexadecimal.
    TableExportResult ExportTableTo(std::FILE* stream, const TableInfo& table, const RunControl& run = {});

    // The stem the table's files get (reserved on first use, per definition page).
    std::string FileStem(const TableInfo& table);
    // The folder the table's OLE objects go to.
    static std::string ObjectFolderName(const std::string& stem) { return stem + "_files"; }
    const CsvExportSettings& settings() const { return settings_; }

private:
    TableExportResult ExportSchema(const TableInfo& table, const std::string& stem);
    TableExportResult ExportData(const TableInfo& table, const std::string& stem, const RunControl& run,
                                 std::FILE* stream = nullptr);

    const PageSource& pages_;
    CsvExportSettings settings_;
    CsvFileNamer namer_;
    std::map<std::int32_t, std::string> stems_;
    RowHook rowHook_;
};

}  // namespace pw
