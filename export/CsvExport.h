#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "export/CsvFileNames.h"
#include "records/RecordReader.h"
#include "schema/TableInfo.h"

namespace pw {

// What an export writes for each table.
inline constexpr int kContentSchemaOnly = 10;
inline constexpr int kContentSchemaAndData = 11;

// A data file holds the header and at most this many records; the next ones
// go to "<stem>_1.csv", "<stem>_2.csv"…
inline constexpr std::int32_t kRowsPerCsvFile = 65535;

struct CsvExportSettings {
    std::filesystem::path folder;
    int content = kContentSchemaAndData;
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
// Records come from the reader's row walk: ReadRowText decides which slots
// are records, and the fields are the cells of the row just read, in the
// order of table.columns (never a split of the row text, so an empty value
// or a value holding the cell separator keeps its column).
class CsvExporter {
public:
    // Called after every counted row of a data export, with the count so far.
    using RowHook = std::function<void(const TableInfo&, std::int32_t exportedRows)>;

    CsvExporter(RecordReader& reader, CsvExportSettings settings);

    void SetRowHook(RowHook hook) { rowHook_ = std::move(hook); }

    // 1 when the table's export ran to its end; -1 when the content is
    // unknown, the folder cannot be made, the first file cannot be opened or
    // written, the table has no data page (the file then holds the header
    // only) or a stop was requested (the lines written so far stay). Resets
    // the table's walk fields and counts its rows in exportedRows.
    int ExportTableToCsv(TableInfo& table);

    // The stem the table's files get (reserved on first use).
    std::string FileStem(const TableInfo& table);
    const CsvExportSettings& settings() const { return settings_; }

private:
    int ExportSchema(const TableInfo& table, const std::string& stem);
    int ExportData(TableInfo& table, const std::string& stem);

    RecordReader& reader_;
    CsvExportSettings settings_;
    CsvFileNamer namer_;
    std::map<const TableInfo*, std::string> stems_;
    RowHook rowHook_;
};

}  // namespace pw
