// Every table of every readable corpus file is exported as CSV, read back
// with a strict RFC 4180 reader, and every field is held against the
// expected value of the reference, rendered by the export's rules: the value
// as stored, dates as MM/DD/YYYY HH:MM:SS, floating point as the shortest
// text of the same value, binary in hexadecimal, OLE objects as files of the
// export named relative to the CSV file.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "export/ExportJob.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/CorpusFiles.h"

namespace pw::testing {
namespace {

using namespace exportsupport;
using Record = std::vector<std::string>;

bool IsPageFormatWeRead(const std::string& format) { return format == "JET4" || format.rfind("ACE", 0) == 0; }

// Columns the reference cannot give a value for (calculated columns hold
// their stored wrapper there; attachments and extended dates are its own).
bool Comparable(const std::string& file, const nlohmann::json& column) {
    const std::string type = column["type"].get<std::string>();
    if (type == "COMPLEX" || type.rfind("UNKNOWN", 0) == 0) return false;
    static const std::set<std::string> calculated = {"LastFirst",   "LastFirstLen", "MonthlySalary", "IsRich",
                                                     "AllNames",    "WeeklySalary", "SalaryTest",    "BoolTest",
                                                     "DecimalTest", "FloatTest",    "BigNumTest",    "DateNormalCalc"};
    const bool calcFile = file.find("calcFieldTest") != std::string::npos || file.find("extDateTest") != std::string::npos;
    return !(calcFile && calculated.count(column["name"].get<std::string>()) != 0);
}

std::string Shortest(double value, bool single) {
    char text[64];
    const auto r = single ? std::to_chars(text, text + sizeof text, static_cast<float>(value))
                          : std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

// Decimal texts are compared without the zeros the export pads them with in front.
std::string WithoutLeadingZeros(std::string text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::size_t start = negative ? 1 : 0;
    while (start + 1 < text.size() && text[start] == '0' && text[start + 1] != '.') ++start;
    return (negative ? "-" : "") + text.substr(start);
}

std::string BytesFromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 2; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Checks one field; a message names what differs.
void ExpectField(const std::string& ours, const nlohmann::json& want, const std::string& type,
                 const std::filesystem::path& csvFolder, const std::string& where) {
    if (want.is_null()) {
        EXPECT_EQ(ours, "") << where;
        return;
    }
    if (type == "BIT") {
        EXPECT_EQ(ours, want.get<bool>() ? "Yes" : "No") << where;
    } else if (type == "BYTE" || type == "INT" || type == "LONG" || type == "COUNTER") {
        EXPECT_EQ(ours, std::to_string(want.get<std::int64_t>())) << where;
    } else if (type == "SINGLE" || type == "DOUBLE") {
        if (want.is_string()) {
            const std::string special = want.get<std::string>();
            EXPECT_EQ(ours, special == "-0.0" ? std::string("-0") : special) << where;
        } else {
            EXPECT_EQ(ours, Shortest(want.get<double>(), type == "SINGLE")) << where;
        }
    } else if (type == "NUMERIC" || type == "CURRENCY") {
        EXPECT_EQ(WithoutLeadingZeros(ours), want.get<std::string>()) << where;
    } else if (type == "DATE") {
        const std::string iso = want.get<std::string>();  // YYYY-MM-DD HH:MM:SS
        EXPECT_EQ(ours, iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4) + iso.substr(10)) << where;
    } else if (type == "BINARY") {
        ASSERT_EQ(ours.rfind("0x", 0), 0u) << where;
        const std::string bytes = BytesFromHex(ours);
        EXPECT_EQ(bytes.size(), want["len"].get<std::size_t>()) << where;
        EXPECT_EQ(Sha256Hex(bytes), want["sha256"].get<std::string>()) << where;
    } else if (type == "OLEOBJECT") {
        // The object's content, cut out of its wrapper, lies in the file named.
        ASSERT_EQ(ours.rfind("?{file '", 0), 0u) << where << ": " << ours;
        const std::string relative = ours.substr(8, ours.size() - 10);
        const std::filesystem::path object = csvFolder / relative;
        EXPECT_TRUE(std::filesystem::is_regular_file(object)) << where << ": " << object;
        EXPECT_LE(std::filesystem::file_size(object), want["len"].get<std::uintmax_t>()) << where;
    } else {
        EXPECT_EQ(ours, want.get<std::string>()) << where;  // TEXT, MEMO, GUID, BIGINT
    }
}

// The records of a table's files, in order, each part's header checked and dropped.
std::vector<Record> ReadParts(const std::filesystem::path& folder, const std::string& stem, const Record& header,
                              int& files) {
    std::vector<Record> records;
    files = 0;
    for (unsigned n = 0;; ++n) {
        const std::filesystem::path path =
            folder / (n == 0 ? stem + ".csv" : stem + "_" + std::to_string(n) + ".csv");
        if (!std::filesystem::exists(path)) break;
        ++files;
        const CsvDocument doc = ReadCsvStrictly(ReadText(path));
        EXPECT_TRUE(doc.ok) << path << ": " << doc.error;
        if (doc.records.empty()) continue;
        EXPECT_EQ(doc.records.front(), header) << path;
        records.insert(records.end(), doc.records.begin() + 1, doc.records.end());
    }
    return records;
}

bool AllEmpty(const nlohmann::json& row) {
    for (const auto& v : row)
        if (!(v.is_null() || (v.is_string() && v.get<std::string>().empty()))) return false;
    return true;
}

void CheckFile(const CorpusFile& corpusFile, std::size_t& fieldsChecked) {
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

    for (const nlohmann::json& want : expected["tables"]) {
        const std::string name = want["name"].get<std::string>();
        SCOPED_TRACE(name);
        std::size_t t = 0;
        while (t < settings.tables.size() && settings.tables[t].name != name) ++t;
        ASSERT_LT(t, settings.tables.size());
        const TableInfo& table = settings.tables[t];
        EXPECT_EQ(static_cast<std::size_t>(job.results().at(t).exportedRows), want["rows"].size());

        Record header;
        for (const ColumnInfo& column : table.columns) header.push_back(LowerCaseUtf8(column.name));
        int files = 0;
        const std::vector<Record> ours = ReadParts(settings.folder, job.csv().FileStem(table), header, files);
        const nlohmann::json& columns = want["columns"];
        // A row whose every value is empty is counted but not written.
        std::size_t r = 0;
        for (const nlohmann::json& row : want["rows"]) {
            if (r >= ours.size() || (AllEmpty(row) && ours[r] != Record(columns.size(), ""))) {
                EXPECT_TRUE(AllEmpty(row)) << "row " << r << " missing";
                continue;
            }
            ASSERT_EQ(ours[r].size(), columns.size()) << "row " << r;
            for (std::size_t k = 0; k < columns.size(); ++k) {
                if (!Comparable(corpusFile.name, columns[k])) continue;
                ExpectField(ours[r][k], row[k], columns[k]["type"].get<std::string>(), settings.folder,
                            "row " + std::to_string(r) + " column " + columns[k]["name"].get<std::string>());
                ++fieldsChecked;
            }
            ++r;
        }
        EXPECT_EQ(r, ours.size());
    }
}

TEST(CorpusCsvExport, EveryFieldOfEveryTableReadsBackAsTheExpectedValue) {
    PW_REQUIRE_CORPUS();
    int checked = 0;
    std::size_t fields = 0;
    for (const CorpusFile& corpusFile : ListCorpusFiles()) {
        if (!IsPageFormatWeRead(corpusFile.format)) continue;
        CheckFile(corpusFile, fields);
        ++checked;
    }
    std::printf("corpus CSV: %d files, %zu fields read back and compared\n", checked, fields);
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace pw::testing
