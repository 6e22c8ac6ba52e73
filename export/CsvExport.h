#pragma once

#include <cstdint>
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
enum class ExportContent { SchemaOnly = 10, SchemaAndData = 11 };

// How the export of one table ended.
enum class TableExportOutcome {
    Completed,    // every record was written
    Failed,       // the folder or a file could not be made or written, or the content is unknown
    NoDataPages,  // the table owns no data page (a data file then holds the header only)
    Stopped,      // a stop was requested; what was written stays
};

struct TableExportResult {
    TableExportOutcome outcome = TableExportOutcome::Failed;
    std::int64_t exportedRows = 0;  // records counted by the export
    WalkTally walk;                 // what the walk over the rows met
};

// A data file holds the header and at most this many records; the next ones
// go to "<stem>_1.csv", "<stem>_2.csv"…
inline constexpr std::int32_t kRowsPerCsvFile = 65535;

struct CsvExportSettings {
    std::filesystem::path folder;
    ExportContent content = ExportContent::SchemaAndData;
};

// The word of a column in a schema-only file: the SQL type words, "COUNTER"
// for a 32-bit integer in column number 0, "LONG" for the decimal type and
// "UNKNOWN-DATATYPE" (without a code) for every type that has no word.
std::string CsvSchemaWord(const ColumnInfo& column);

// Lower case per character of UTF-8 text; bytes that are not valid UTF-8 are
// kept as they are.
std::string LowerCaseUtf8(const std::string& utf8);

// A field that holds a comma is written between double quotes. Cell fields
// cannot hold a double quote (SanitizeCellText replaced it); one in a column
// name is doubled.
std::string QuoteCsvField(const std::string& field);

// The header of a data file: the quoted column names joined by ", ",
// lower-cased, with CR LF after the last; empty for a table without columns.
std::string CsvHeaderLine(const TableInfo& table);

// A cell text as written in a data file: sanitised, "NULL" as an empty field,
// BIT as "Yes"/"No", BINARY as one blank, OLE as "?{file '<path>'}", then
// quoted when it holds a comma.
std::string RenderCsvField(const ColumnInfo& column, const std::string& cellText);

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

    // The stem the table's files get (reserved on first use, per definition page).
    std::string FileStem(const TableInfo& table);
    // The folder the table's OLE objects go to.
    static std::string ObjectFolderName(const std::string& stem) { return stem + "_files"; }
    const CsvExportSettings& settings() const { return settings_; }

private:
    TableExportResult ExportSchema(const TableInfo& table, const std::string& stem);
    TableExportResult ExportData(const TableInfo& table, const std::string& stem, const RunControl& run);

    const PageSource& pages_;
    CsvExportSettings settings_;
    CsvFileNamer namer_;
    std::map<std::int32_t, std::string> stems_;
    RowHook rowHook_;
};

}  // namespace pw
