#include "export/CsvExport.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "pagestore/TextDecoding.h"
#include "records/RowWalk.h"
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


// Columns beyond those the definition counts have no cell: they show as NULL.
const std::string& CellText(const std::vector<CellValue>& cells, std::size_t position) {
    static const std::string kNull = kNullCell;
    return position < cells.size() ? cells[position].text : kNull;
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
        file.Write(QuoteCsvField(column.name) + "," + CsvSchemaWord(column) + "," + kLineEnd);
    file.Close();
    TableExportResult result;
    result.outcome = file.failed() ? TableExportOutcome::Failed : TableExportOutcome::Completed;
    return result;
}

TableExportResult CsvExporter::ExportData(const TableInfo& table, const std::string& stem, const RunControl& run) {
    TableExportResult result;
    CsvFile file;
    unsigned fileNumber = 0;
    if (!file.Open(DataFilePath(settings_.folder, stem, fileNumber))) return result;
    const std::string header = CsvHeaderLine(table);
    file.Write(header);

    std::string line;
    std::string oleField;
    // Made when the first object comes, so a table without one leaves no folder.
    std::unique_ptr<OleFileWriter> objects;
    const std::string objectFolder = ObjectFolderName(stem);
    const WalkOutcome walked = ForEachRow(pages_, table, run, [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        const std::vector<CellValue>& cells = row.cells;
        bool allEmpty = true;
        for (std::size_t k = 0; k < table.columns.size() && allEmpty; ++k) allEmpty = CellText(cells, k).empty();
        if (!allEmpty) {
            line.clear();
            for (std::size_t k = 0; k < table.columns.size(); ++k) {
                if (k != 0) line += kFieldJoin;
                const ColumnInfo& column = table.columns[k];
                const bool object = column.typeCode == ColumnType::OleObject && k < cells.size() &&
                                    cells[k].value.kind == TypedValue::Kind::Bytes;
                if (object) {
                    if (!objects) objects = std::make_unique<OleFileWriter>(settings_.folder / objectFolder);
                    const std::filesystem::path written(objects->Write(cells[k].value.text));
                    oleField = objectFolder + "/";
                    oleField += reinterpret_cast<const char*>(written.filename().u8string().c_str());
                    line += RenderCsvField(column, oleField);
                } else {
                    line += RenderCsvField(column, CellText(cells, k));
                }
            }
            line += kLineEnd;
            if (result.exportedRows != 0 && result.exportedRows % kRowsPerCsvFile == 0) {
                ++fileNumber;
                // A part that cannot be opened loses its lines; counting goes
                // on and the next part tries again.
                if (file.Open(DataFilePath(settings_.folder, stem, fileNumber))) file.Write(header);
            }
            file.Write(line);
        }
        ++result.exportedRows;
        if (rowHook_) rowHook_(table, result.exportedRows);
        return true;
    }, {}, &result.walk);
    file.Close();
    switch (walked) {
        case WalkOutcome::NoDataPages: result.outcome = TableExportOutcome::NoDataPages; break;
        case WalkOutcome::Stopped: result.outcome = TableExportOutcome::Stopped; break;
        case WalkOutcome::Completed:
            result.outcome = file.failed() ? TableExportOutcome::Failed : TableExportOutcome::Completed;
            break;
    }
    return result;
}

}  // namespace pw
