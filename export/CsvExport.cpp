#include "export/CsvExport.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "pagestore/TextDecoding.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kFieldJoin = ", ";
constexpr std::size_t kWriteBufferSize = 1 << 20;

// One output file, written in binary so the CR LF line ends are exact.
class CsvFile {
public:
    ~CsvFile() { Close(); }

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
        if (std::fclose(stream_) != 0) failed_ = true;
        stream_ = nullptr;
        buffer_.reset();
    }
    bool failed() const { return failed_; }

private:
    std::FILE* stream_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    bool failed_ = false;
};

// Used only when the system lacks a UTF-8 locale: ASCII, Latin-1, Greek and
// Cyrillic capitals.
char32_t FallbackLower(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    return c;
}

locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return locale;
}

char32_t LowerCodePoint(char32_t c) {
    const locale_t locale = Utf8Locale();
    if (locale == static_cast<locale_t>(nullptr)) return FallbackLower(c);
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}


const std::string& CellText(const std::vector<CellValue>& cells, const ColumnInfo& column) {
    static const std::string kEmpty;
    if (column.columnNumber < 0 || static_cast<std::size_t>(column.columnNumber) >= cells.size())
        return kEmpty;
    return cells[static_cast<std::size_t>(column.columnNumber)].text;
}

std::filesystem::path DataFilePath(const std::filesystem::path& folder, const std::string& stem,
                                   unsigned number) {
    return folder / (number == 0 ? stem + ".csv" : stem + "_" + std::to_string(number) + ".csv");
}

}  // namespace

std::string CsvSchemaWord(const ColumnInfo& column) {
    // The SQL word, except that types without one (attachments included)
    // are listed under a word without their code.
    std::string word = ColumnTypeName(column);
    if (word == "ATTACHMENT" || word.rfind("UNKNOWN", 0) == 0) return "UNKNOWN-DATATYPE";
    return word;
}

std::string LowerCaseUtf8(const std::string& utf8) {
    std::string lower;
    lower.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(utf8, i, c);
        if (length == 0) {
            lower.push_back(utf8[i]);
            ++i;
            continue;
        }
        AppendUtf8(lower, LowerCodePoint(c));
        i += length;
    }
    return lower;
}

std::string QuoteCsvField(const std::string& field) {
    if (std::none_of(field.begin(), field.end(), [](char c) { return c == ',' || c == '"'; })) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string CsvHeaderLine(const TableInfo& table) {
    if (table.columns.empty()) return {};
    std::string header;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (i != 0) header += kFieldJoin;
        header += QuoteCsvField(table.columns[i].name);
    }
    return LowerCaseUtf8(header) + kLineEnd;
}

std::string RenderCsvField(const ColumnInfo& column, const std::string& cellText) {
    std::string value = cellText;
    SanitizeCellText(value);
    if (value == kNullCell) return {};
    switch (column.typeCode) {
        case ColumnType::Bit:
            return value == "1" ? "Yes" : "No";
        case ColumnType::Binary:
            return " ";
        case ColumnType::OleObject:
            return QuoteCsvField("?{file '" + value + "'}");
        default:
            return QuoteCsvField(value);
    }
}

CsvExporter::CsvExporter(RecordReader& reader, CsvExportSettings settings)
    : reader_(reader), settings_(std::move(settings)) {}

std::string CsvExporter::FileStem(const TableInfo& table) {
    auto found = stems_.find(&table);
    if (found == stems_.end()) found = stems_.emplace(&table, namer_.Reserve(table.name)).first;
    return found->second;
}

int CsvExporter::ExportTableToCsv(TableInfo& table) {
    table.recordCursor = 0;
    table.slotCursor = 0;
    table.pageCursor = 0;
    table.exportedRows = 0;
    if (settings_.content != kContentSchemaOnly && settings_.content != kContentSchemaAndData) return -1;
    // A missing folder (deleted since the export began) is made again, so the
    // table is still written.
    std::error_code error;
    std::filesystem::create_directories(settings_.folder, error);
    if (!std::filesystem::is_directory(settings_.folder, error)) return -1;
    const std::string stem = FileStem(table);
    return settings_.content == kContentSchemaOnly ? ExportSchema(table, stem) : ExportData(table, stem);
}

int CsvExporter::ExportSchema(const TableInfo& table, const std::string& stem) {
    CsvFile file;
    if (!file.Open(DataFilePath(settings_.folder, stem, 0))) return -1;
    for (const ColumnInfo& column : table.columns)
        file.Write(QuoteCsvField(column.name) + "," + CsvSchemaWord(column) + "," + kLineEnd);
    file.Close();
    return file.failed() ? -1 : 1;
}

int CsvExporter::ExportData(TableInfo& table, const std::string& stem) {
    CsvFile file;
    unsigned fileNumber = 0;
    if (!file.Open(DataFilePath(settings_.folder, stem, fileNumber))) return -1;
    // The walk reads the reader's row state between calls.
    auto session = reader_.Session();
    reader_.PrepareRowValues(table);
    const std::string header = CsvHeaderLine(table);
    file.Write(header);
    if (table.dataPages.empty()) return -1;

    RecoveryStatus& status = reader_.status();
    const std::size_t lastPage = table.dataPages.size() - 1;
    std::int32_t slots = reader_.LoadDataPage(table, 0);
    std::int32_t r = 0;
    std::string text;
    std::string line;
    for (;; ++r) {
        if (status.StopRequested()) return -1;
        bool exhausted = false;
        while (r >= slots) {
            if (static_cast<std::size_t>(table.pageCursor) >= lastPage) {
                exhausted = true;
                break;
            }
            ++table.pageCursor;
            slots = reader_.LoadDataPage(table, static_cast<std::size_t>(table.pageCursor));
            r = 0;
        }
        if (exhausted) break;
        if (status.StopRequested()) return -1;

        const int read = reader_.ReadRowText(table, r, text);
        if (read == 0 && reader_.lastRowDeleted()) {
            reader_.ClearLastRowDeleted();
            continue;
        }
        if (read == 0) text = kErrorReadingRecord;
        if (IsNonRecordText(text)) {
            reader_.ClearLastRowDeleted();
            continue;
        }

        const std::vector<CellValue>& cells = reader_.rowValues();
        const bool allEmpty = std::all_of(table.columns.begin(), table.columns.end(),
                                          [&](const ColumnInfo& c) { return CellText(cells, c).empty(); });
        if (!allEmpty) {
            line.clear();
            for (std::size_t k = 0; k < table.columns.size(); ++k) {
                if (k != 0) line += kFieldJoin;
                line += RenderCsvField(table.columns[k], CellText(cells, table.columns[k]));
            }
            line += kLineEnd;
            if (table.exportedRows != 0 && table.exportedRows % kRowsPerCsvFile == 0) {
                ++fileNumber;
                // A part that cannot be opened loses its lines; counting goes
                // on and the next part tries again.
                if (file.Open(DataFilePath(settings_.folder, stem, fileNumber))) file.Write(header);
            }
            file.Write(line);
        }
        ++table.exportedRows;
        if (rowHook_) rowHook_(table, table.exportedRows);
    }
    file.Close();
    return file.failed() ? -1 : 1;
}

}  // namespace pw
