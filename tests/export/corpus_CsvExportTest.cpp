#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "export/ExportJob.h"
#include "schema/ColumnTypes.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/CorpusFiles.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

bool IsPageFormatWeRead(const std::string& format) { return format == "JET4" || format.rfind("ACE", 0) == 0; }

// The data lines of a table's files, in order, headers checked and dropped.
std::vector<std::string> DataLines(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& header, int& files) {
    std::vector<std::string> lines;
    files = 0;
    for (unsigned n = 0;; ++n) {
        const std::filesystem::path path =
            folder / (n == 0 ? stem + ".csv" : stem + "_" + std::to_string(n) + ".csv");
        if (!std::filesystem::exists(path)) break;
        ++files;
        std::vector<std::string> part = CrLfLines(ReadText(path));
        if (!header.empty()) {
            EXPECT_FALSE(part.empty()) << path;
            if (part.empty()) continue;
            EXPECT_EQ(part.front() + "\r\n", header) << path;
            part.erase(part.begin());
        }
        lines.insert(lines.end(), part.begin(), part.end());
    }
    return lines;
}

// Exports every table of the file and holds each line against the cells
// that the record decoder gives for the same records.
void CheckFile(const CorpusFile& corpusFile) {
    SCOPED_TRACE(corpusFile.name);
    TempDir dir;
    ScopedAppDirectory app(dir / "app");
    const std::string before = Sha256Hex(ReadText(corpusFile.path));
    AnalysedForExport file(corpusFile.path);
    ASSERT_TRUE(file.analysed());
    const nlohmann::json expected = LoadExpected(corpusFile);

    ExportSettings settings;
    settings.target = ExportTarget::Csv;
    settings.folder = dir / "csv";
    settings.tables = file.tables();
    ExportJob job(file.pages(), settings);
    job.Run({}, dir / "app" / "Export Statistics.log", file.control());
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    EXPECT_EQ(Sha256Hex(ReadText(corpusFile.path)), before);

    // The same walk again with an OLE writer of its own numbers the OLE files
    // as the export did, so the paths and the bytes can be compared.
    std::size_t objects = 0;
    std::map<std::string, std::size_t> expectedRows;
    for (const auto& table : expected["tables"])
        expectedRows[table["name"].get<std::string>()] = table["rows"].size();

    std::size_t csvFiles = 0;
    for (std::size_t t = 0; t < settings.tables.size(); ++t) {
        const TableInfo& table = settings.tables[t];
        const std::int64_t exportedRows = job.results().at(t).exportedRows;
        SCOPED_TRACE(table.name);
        std::vector<std::vector<std::string>> records;
        const std::string stem = job.csv().FileStem(table);
        OleFileWriter ole(dir / "again" / CsvExporter::ObjectFolderName(stem));
        ForEachRow(file.pages(), table, {}, [&](const WalkedRow& row) {
            if (!row.IsRecord()) return true;
            std::vector<std::string> fields;
            bool allEmpty = true;
            for (std::size_t k = 0; k < table.columns.size(); ++k) {
                const ColumnInfo& column = table.columns[k];
                std::string text = k < row.cells.size() ? row.cells[k].text : "NULL";
                allEmpty = allEmpty && text.empty();
                if (column.typeCode == ColumnType::OleObject && k < row.cells.size() &&
                    row.cells[k].value.kind == TypedValue::Kind::Bytes) {
                    // The export's file of the object, by the same number, in
                    // the table's folder beside its CSV file.
                    const std::filesystem::path again = ole.Write(row.cells[k].value.text);
                    text = CsvExporter::ObjectFolderName(stem) + "/" + again.filename().string();
                    const std::filesystem::path exported = settings.folder / text;
                    EXPECT_TRUE(std::filesystem::is_regular_file(exported)) << exported;
                    EXPECT_EQ(ReadText(exported), ReadText(again)) << text;
                    ++objects;
                }
                std::string field = RenderCsvField(column, text);
                if (field.size() >= 2 && field.front() == '"') field = field.substr(1, field.size() - 2);
                fields.push_back(field);
            }
            if (!allEmpty) records.push_back(std::move(fields));
            return true;
        });
        const auto count = expectedRows.find(table.name);
        if (count != expectedRows.end()) {
            EXPECT_EQ(static_cast<std::size_t>(exportedRows), count->second);
        }

        const std::string header = CsvHeaderLine(table);
        int files = 0;
        const std::vector<std::string> lines =
            DataLines(settings.folder, job.csv().FileStem(table), header, files);
        csvFiles += static_cast<std::size_t>(files);
        EXPECT_EQ(files, exportedRows == 0 ? 1 : (exportedRows - 1) / kRowsPerCsvFile + 1);
        ASSERT_EQ(lines.size(), records.size());
        const std::size_t headerFields =
            header.empty() ? 0 : SplitCsvLine(header.substr(0, header.size() - 2)).size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::vector<std::string> fields = SplitCsvLine(lines[i]);
            ASSERT_EQ(fields.size(), headerFields) << lines[i];
            ASSERT_EQ(fields, records[i]) << "line " << i + 2;
        }
    }
    // The folder holds the CSV files and the objects' folders, nothing else.
    std::size_t written = 0;
    std::size_t objectFiles = 0;
    if (std::filesystem::exists(settings.folder)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(settings.folder)) {
            if (!entry.is_regular_file()) continue;
            const bool inObjectFolder = entry.path().parent_path() != settings.folder;
            (inObjectFolder ? objectFiles : written) += 1;
        }
    }
    EXPECT_EQ(written, csvFiles);
    EXPECT_EQ(objectFiles, objects);
}

TEST(CorpusCsvExport, EveryReadableFileExportsOneCheckedCsvPerTable) {
    PW_REQUIRE_CORPUS();
    int checked = 0;
    for (const CorpusFile& corpusFile : ListCorpusFiles()) {
        if (!IsPageFormatWeRead(corpusFile.format)) continue;
        CheckFile(corpusFile);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace pw::testing
