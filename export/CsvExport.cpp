#include "export/CsvExport.h"

#include <algorithm>
#include <optional>
#include <ctime>
#include <cmath>
#include <chrono>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <system_error>

#include "export/AttachmentFiles.h"
#include "pagestore/CaseFolding.h"
#include "pagestore/TextDecoding.h"
#include "records/ScalarDecoders.h"
#include "records/CalendarDate.h"
#include "records/ComplexColumns.h"
#include "records/ExtendedDateTime.h"
#include "records/NumberText.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kWriteBufferSize = 1 << 20;

// One output file, written in binary so the CR LF line ends are exact.
class CsvFile {
public:
    ~CsvFile() { Close(); }

    // Writes to a stream the caller owns (standard output); Close leaves it open.
    void Borrow(std::FILE* stream) {
        Close();
        stream_ = stream;
        borrowed_ = true;
    }

    bool Open(const std::filesystem::path& path) {
        Close();
        stream_ = std::fopen(path.c_str(), "wb");
        if (stream_ == nullptr) return false;
        buffer_ = std::make_unique<char[]>(kWriteBufferSize);
        std::setvbuf(stream_, buffer_.get(), _IOFBF, kWriteBufferSize);
        return true;
    }
    bool IsOpen() const { return stream_ != nullptr; }
    void Write(const std::string& text) {
        if (stream_ != nullptr && std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
            failed_ = true;
    }
    void Close() {
        if (stream_ == nullptr) return;
        if (borrowed_ ? std::fflush(stream_) != 0 : std::fclose(stream_) != 0) failed_ = true;
        stream_ = nullptr;
        borrowed_ = false;
        buffer_.reset();
    }
    bool failed() const { return failed_; }

private:
    std::FILE* stream_ = nullptr;
    bool borrowed_ = false;
    std::unique_ptr<char[]> buffer_;
    bool failed_ = false;
};


// Columns beyond those the definition counts have no cell: they show as NULL.
const std::string& CellText(const std::vector<CellValue>& cells, std::size_t position) {
    static const std::string kNull = kNullCell;
    return position < cells.size() ? cells[position].text : kNull;
}

std::filesystem::path DataFilePath(const std::filesystem::path& folder, const std::string& stem,
                                   unsigned number) {
    return folder / (number == 0 ? stem + ".csv" : stem + "_" + std::to_string(number) + ".csv");
}

// The field of a record's attachments: each file written into the table's
// objects folder and named relative to the CSV file, "?{file '<stem>_files/record<n>/<name>'}",
// several joined by kComplexItemSeparator.
std::string AttachmentField(const TypedValue& list, const std::string& objectFolder, std::int64_t record,
                            std::unique_ptr<AttachmentFileWriter>& writer, const std::filesystem::path& folder) {
    std::string field;
    for (const TypedValue& item : list.items) {
        if (!writer) writer = std::make_unique<AttachmentFileWriter>(folder / objectFolder);
        if (!field.empty()) field += kComplexItemSeparator;
        field += "?{file '" + objectFolder + "/" + writer->Write(record, item.name, item.text) + "'}";
    }
    return field;
}

}  // namespace

std::string CsvSchemaWord(const ColumnInfo& column) {
    // The SQL word, except that types without one (attachments included)
    // are listed under a word without their code.
    std::string word = ColumnTypeName(column);
    if (word == "ATTACHMENT" || word.rfind("UNKNOWN", 0) == 0) return "UNKNOWN-DATATYPE";
    return word;
}

std::string LowerCaseUtf8(const std::string& utf8) { return CaseFolded(utf8); }

std::string QuoteCsvField(const std::string& field, char delimiter) {
    const bool plain = std::none_of(field.begin(), field.end(), [delimiter](char c) {
        return c == delimiter || c == '"' || c == '\r' || c == '\n';
    });
    if (plain) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string CsvHeaderLine(const TableInfo& table, char delimiter) {
    if (table.columns.empty()) return {};
    std::string header;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (i != 0) header.push_back(delimiter);
        header += QuoteCsvField(LowerCaseUtf8(table.columns[i].name), delimiter);
    }
    return header + kLineEnd;
}

void AppendCsvDate(std::string& out, double serial, const std::string& format) {
    const std::optional<CivilDateTime> when = DateTimeFromSerial(serial);
    if (!when) return;
    const int year = static_cast<int>(when->date.year());
    const int month = static_cast<int>(static_cast<unsigned>(when->date.month()));
    const int day = static_cast<int>(static_cast<unsigned>(when->date.day()));
    const auto seconds = static_cast<int>(when->timeOfDay.count());
    if (format.empty()) {
        // "MM/DD/YYYY HH:MM:SS", digit by digit: this runs for every date of
        // an export, and strftime pads years below 1000 differently from one
        // C library to the next.
        char text[20];
        auto two = [&text](int at, int value) {
            text[at] = static_cast<char>('0' + value / 10);
            text[at + 1] = static_cast<char>('0' + value % 10);
        };
        two(0, month);
        text[2] = '/';
        two(3, day);
        text[5] = '/';
        two(6, year / 100);
        two(8, year % 100);
        text[10] = ' ';
        two(11, seconds / 3600);
        text[13] = ':';
        two(14, seconds / 60 % 60);
        text[16] = ':';
        two(17, seconds % 60);
        // Only the rounding past 9999-12-31 reaches a fifth year digit.
        if (year > 9999) {
            out.append(text, 6);
            out += std::to_string(year);
            out.append(text + 10, 9);
            return;
        }
        out.append(text, 19);
        return;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = seconds / 3600;
    tm.tm_min = seconds / 60 % 60;
    tm.tm_sec = seconds % 60;
    tm.tm_wday = static_cast<int>(std::chrono::weekday(std::chrono::sys_days(when->date)).c_encoding());
    tm.tm_yday = static_cast<int>(
        (std::chrono::sys_days(when->date) - std::chrono::sys_days(when->date.year() / 1 / 1)).count());
    char text[512];
    const std::size_t n = std::strftime(text, sizeof text, format.c_str(), &tm);
    out.append(text, n);
}

std::string FormatCsvDate(double serial, const std::string& format) {
    std::string text;
    AppendCsvDate(text, serial, format);
    return text;
}

std::string HexBytes(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    text.reserve(2 + 2 * bytes.size());
    for (unsigned char byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

static std::string ListItemCsvText(const TypedValue& item, const CsvFormat& format) {
    using Kind = TypedValue::Kind;
    switch (item.kind) {
        case Kind::Bytes:
            if (!item.name.empty()) return item.name;
            break;
        case Kind::Currency: return FormatCurrency(item.integer);
        case Kind::Decimal: return FormatDecimal(item.decimalMagnitude, item.decimalScale, item.decimalNegative);
        case Kind::Guid: return FormatGuid(item.guid);
        case Kind::List: {
            std::string joined;
            for (const TypedValue& field : item.items) {
                if (!joined.empty()) joined += ", ";
                joined += ListItemCsvText(field, format);
            }
            return "(" + joined + ")";
        }
        default: break;
    }
    CellValue cell;
    cell.present = item.kind != Kind::Null;
    cell.value = item;
    return CsvFieldText(cell, format);
}

std::string CsvFieldText(const CellValue& cell, const CsvFormat& format) {
    const TypedValue& value = cell.value;
    using Kind = TypedValue::Kind;
    switch (value.kind) {
        case Kind::Null: return {};
        case Kind::Boolean: return value.boolean ? "Yes" : "No";
        case Kind::Integer: return std::to_string(value.integer);
        case Kind::Float: {
            if (std::isnan(value.real)) return "NaN";
            if (std::isinf(value.real)) return value.real > 0 ? "Infinity" : "-Infinity";
            // The shortest text that reads back to the same value.
            char text[64];
            const auto result = value.isSingle
                                    ? std::to_chars(text, text + sizeof text, static_cast<float>(value.real))
                                    : std::to_chars(text, text + sizeof text, value.real);
            return std::string(text, result.ptr);
        }
        case Kind::Currency:
        case Kind::Decimal:
        case Kind::Guid: return cell.text;
        case Kind::Date: return FormatCsvDate(value.real, format.dateFormat);
        case Kind::Text: return value.text;
        case Kind::Bytes: return HexBytes(value.text);
        case Kind::DateTimeExt: return FormatExtendedDateTime(value.integer);
        case Kind::List: {
            // Attachments by their stored names, other values by their own
            // rules; a row of several values in parentheses.
            std::string joined;
            for (const TypedValue& item : value.items) {
                if (!joined.empty()) joined += kComplexItemSeparator;
                joined += ListItemCsvText(item, format);
            }
            return joined;
        }
    }
    return cell.text;
}

CsvExporter::CsvExporter(const PageSource& pages, CsvExportSettings settings)
    : pages_(pages), settings_(std::move(settings)) {}

std::string CsvExporter::FileStem(const TableInfo& table) {
    auto found = stems_.find(table.tdefPage);
    if (found == stems_.end()) found = stems_.emplace(table.tdefPage, namer_.Reserve(table.name)).first;
    return found->second;
}

TableExportResult CsvExporter::ExportTableToCsv(const TableInfo& table, const RunControl& run) {
    if (settings_.content != ExportContent::SchemaOnly && settings_.content != ExportContent::SchemaAndData)
        return {};
    // A missing folder (deleted since the export began) is made again, so the
    // table is still written.
    std::error_code error;
    std::filesystem::create_directories(settings_.folder, error);
    if (!std::filesystem::is_directory(settings_.folder, error)) return {};
    const std::string stem = FileStem(table);
    return settings_.content == ExportContent::SchemaOnly ? ExportSchema(table, stem) : ExportData(table, stem, run);
}

TableExportResult CsvExporter::ExportSchema(const TableInfo& table, const std::string& stem) {
    CsvFile file;
    if (!file.Open(DataFilePath(settings_.folder, stem, 0))) return {};
    for (const ColumnInfo& column : table.columns)
        file.Write(QuoteCsvField(column.name, ',') + "," + CsvSchemaWord(column) + "," + kLineEnd);
    file.Close();
    TableExportResult result;
    result.outcome = file.failed() ? TableExportOutcome::Failed : TableExportOutcome::Completed;
    return result;
}

TableExportResult CsvExporter::ExportTableTo(std::FILE* stream, const TableInfo& table, const RunControl& run) {
    return ExportData(table, FileStem(table), run, stream);
}

namespace {

// The header line of a data file: the column names and, when withheld rows
// are written too, the column that marks them.
std::string DataHeader(const TableInfo& table, const CsvFormat& format) {
    std::string header = format.header ? CsvHeaderLine(table, format.delimiter) : std::string();
    if (format.includeDeleted && !header.empty()) {
        header.resize(header.size() - std::string_view(kLineEnd).size());
        header += std::string(1, format.delimiter) + kRowKindColumn + kLineEnd;
    }
    return header;
}

// Turns the rows of one table into the lines of its data file. OLE objects
// and attachment files are written beside the CSV file as they come (the
// folders are made with the first one, so a table without any leaves none);
// a stream has no folder beside it, and its objects go into the field in
// hexadecimal like any binary value.
class RecordLines {
public:
    RecordLines(const PageSource& pages, const TableInfo& table, const CsvFormat& format,
                const std::filesystem::path& folder, const std::string& stem, bool toStream, const RunControl& run)
        : table_(table), format_(format), folder_(folder), objectFolder_(CsvExporter::ObjectFolderName(stem)),
          toStream_(toStream) {
        // Complex columns (attachments, multi-value) take their values from
        // hidden tables; the cells of a row are copied only when the table has one.
        if (HasComplexColumns(table)) complex_ = std::make_unique<ComplexColumnIndex>(pages, run);
    }

    // The row's line, or nothing for a row whose every cell shows empty
    // (it is still counted as a record). `record` numbers the row from 1.
    const std::string* LineFor(const WalkedRow& row, const char* mark, std::int64_t record) {
        const std::vector<CellValue>& cells = Resolved(row);
        bool allEmpty = true;
        for (std::size_t k = 0; k < table_.columns.size() && allEmpty; ++k) allEmpty = CellText(cells, k).empty();
        if (allEmpty) return nullptr;
        line_.clear();
        for (std::size_t k = 0; k < table_.columns.size(); ++k) {
            if (k != 0) line_.push_back(format_.delimiter);
            if (k < cells.size()) AppendField(table_.columns[k], cells[k], record);
        }
        if (format_.includeDeleted) {
            line_.push_back(format_.delimiter);
            line_ += mark;
        }
        line_ += kLineEnd;
        return &line_;
    }

private:
    const std::vector<CellValue>& Resolved(const WalkedRow& row) {
        if (!complex_) return row.cells;
        resolved_ = row.cells;
        for (std::size_t k = 0; k < table_.columns.size() && k < resolved_.size(); ++k)
            ResolveComplexCell(*complex_, table_, table_.columns[k], resolved_[k].text, resolved_[k].value);
        return resolved_;
    }

    // QuoteCsvField(field) appended to the line, without a copy of the field.
    void AppendQuoted(std::string_view field) {
        const char delimiter = format_.delimiter;
        const bool plain = std::none_of(field.begin(), field.end(), [delimiter](char c) {
            return c == delimiter || c == '"' || c == '\r' || c == '\n';
        });
        if (plain) {
            line_.append(field);
            return;
        }
        line_.push_back('"');
        for (char c : field) {
            if (c == '"') line_.push_back('"');
            line_.push_back(c);
        }
        line_.push_back('"');
    }

    // The field of Field(column, cell, record), quoted, appended to the line;
    // texts and whole numbers, most of any table, skip the field's own string.
    void AppendField(const ColumnInfo& column, const CellValue& cell, std::int64_t record) {
        const TypedValue& value = cell.value;
        const bool special = column.typeCode == ColumnType::OleObject || column.typeCode == ColumnType::Attachment;
        if (!special && value.kind == TypedValue::Kind::Text) {
            AppendQuoted(value.text);
        } else if (!special && (value.kind == TypedValue::Kind::Currency || value.kind == TypedValue::Kind::Decimal ||
                                value.kind == TypedValue::Kind::Guid)) {
            AppendQuoted(cell.text);
        } else if (!special && value.kind == TypedValue::Kind::Integer) {
            char digits[24];
            const auto result = std::to_chars(digits, digits + sizeof digits, value.integer);
            AppendQuoted(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
        } else if (!special && value.kind == TypedValue::Kind::Date) {
            date_.clear();
            AppendCsvDate(date_, value.real, format_.dateFormat);
            AppendQuoted(date_);
        } else {
            AppendQuoted(Field(column, cell, record));
        }
    }

    std::string Field(const ColumnInfo& column, const CellValue& cell, std::int64_t record) {
        const TypedValue& value = cell.value;
        if (!toStream_ && column.typeCode == ColumnType::OleObject && value.kind == TypedValue::Kind::Bytes) {
            if (!objects_) objects_ = std::make_unique<OleFileWriter>(folder_ / objectFolder_);
            const std::filesystem::path written(objects_->Write(value.text));
            std::string field = "?{file '" + objectFolder_ + "/";
            field += reinterpret_cast<const char*>(written.filename().u8string().c_str());
            return field + "'}";
        }
        if (!toStream_ && column.typeCode == ColumnType::Attachment && value.kind == TypedValue::Kind::List &&
            !value.items.empty() && value.items.front().kind == TypedValue::Kind::Bytes)
            return AttachmentField(value, objectFolder_, record, attachments_, folder_);
        return CsvFieldText(cell, format_);
    }

    const TableInfo& table_;
    const CsvFormat& format_;
    const std::filesystem::path& folder_;
    const std::string objectFolder_;
    const bool toStream_;
    std::unique_ptr<ComplexColumnIndex> complex_;
    std::vector<CellValue> resolved_;
    std::unique_ptr<OleFileWriter> objects_;
    std::unique_ptr<AttachmentFileWriter> attachments_;
    std::string line_;
    std::string date_;  // a date field's text, its room kept from row to row
};

TableExportOutcome OutcomeOf(WalkOutcome walked, bool writeFailed) {
    switch (walked) {
        case WalkOutcome::NoDataPages: return TableExportOutcome::NoDataPages;
        case WalkOutcome::Stopped: return TableExportOutcome::Stopped;
        case WalkOutcome::Completed: break;
    }
    return writeFailed ? TableExportOutcome::Failed : TableExportOutcome::Completed;
}

}  // namespace

TableExportResult CsvExporter::ExportData(const TableInfo& table, const std::string& stem, const RunControl& run,
                                          std::FILE* stream) {
    TableExportResult result;
    const CsvFormat& format = settings_.format;
    CsvFile file;
    unsigned fileNumber = 0;
    if (stream != nullptr) file.Borrow(stream);
    else if (!file.Open(DataFilePath(settings_.folder, stem, fileNumber))) return result;
    const std::string header = DataHeader(table, format);
    file.Write(header);

    RecordLines lines(pages_, table, format, settings_.folder, stem, stream != nullptr, run);
    WalkOptions walkOptions;
    walkOptions.includeDeleted = format.includeDeleted;
    // Whole numbers, dates and texts are written from their typed values; the
    // empty-row check finds their "NULL" text as far from empty as theirs.
    walkOptions.displayText = false;
    const WalkOutcome walked = ForEachRow(pages_, table, run, [&](const WalkedRow& row) {
        const char* mark = row.IsDeletedRecord() ? kDeletedRowLabel : row.IsStaleRecord() ? kStaleRowLabel : kLiveRowMark;
        if (!row.IsRecord() && *mark == '\0') return true;
        if (const std::string* line = lines.LineFor(row, mark, result.exportedRows + 1)) {
            if (stream == nullptr && result.exportedRows != 0 && result.exportedRows % kRowsPerCsvFile == 0) {
                ++fileNumber;
                // A part that cannot be opened loses its lines; counting goes
                // on and the next part tries again.
                if (file.Open(DataFilePath(settings_.folder, stem, fileNumber))) file.Write(header);
            }
            file.Write(*line);
        }
        ++result.exportedRows;
        if (rowHook_) rowHook_(table, result.exportedRows);
        return true;
    }, walkOptions, &result.walk);
    file.Close();
    result.outcome = OutcomeOf(walked, file.failed());
    return result;
}

}  // namespace pw
