// The attachments and multi-value columns of the corpus files: every stored
// attachment expands to the size its header states and starts with the
// signature its name promises; dump and CSV export give every file of every
// record, and the CSV's files hold the same bytes the dump describes.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "export/ExportJob.h"
#include "records/AttachmentData.h"
#include "records/ComplexColumns.h"
#include "records/RowWalk.h"
#include "schema/CatalogNames.h"
#include "schema/ColumnTypes.h"
#include "schema/TableDefinitionParser.h"
#include "schema/TableDiscovery.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/CorpusFiles.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

bool HasComplexColumn(const nlohmann::json& expected) {
    if (!expected.contains("tables")) return false;
    for (const auto& table : expected["tables"])
        for (const auto& column : table["columns"])
            if (column["type"] == "COMPLEX") return true;
    return false;
}

std::vector<CorpusFile> FilesWithComplexColumns() {
    std::vector<CorpusFile> files;
    for (const CorpusFile& file : ListCorpusFiles())
        if (file.format != "error" && file.format != "JET3" && HasComplexColumn(LoadExpected(file)))
            files.push_back(file);
    return files;
}

std::uint32_t Word(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The first bytes a file of the named kind starts with; empty for kinds
// without a fixed signature.
std::string SignatureFor(const std::string& name) {
    const std::string lower = Lower(name);
    const std::size_t dot = lower.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : lower.substr(dot + 1);
    static const std::map<std::string, std::string> signatures = {
        {"png", "\x89PNG\r\n\x1a\n"}, {"jpg", "\xFF\xD8\xFF"},  {"jpeg", "\xFF\xD8\xFF"}, {"gif", "GIF8"},
        {"pdf", "%PDF"},              {"bmp", "BM"},            {"zip", "PK\x03\x04"},    {"docx", "PK\x03\x04"},
        {"xlsx", "PK\x03\x04"},       {"pptx", "PK\x03\x04"},   {"thmx", "PK\x03\x04"}};
    const auto found = signatures.find(extension);
    return found == signatures.end() ? std::string() : found->second;
}

// The attachment tables of a file, found the way Access lists them: catalog
// rows of tables whose definition has FileData and FileName.
std::vector<TableInfo> AttachmentTables(const PageSource& pages) {
    std::vector<TableInfo> found;
    for (const CatalogEntry& entry : ReadCatalogEntries(pages)) {
        if (entry.deleted || entry.type != 1 || entry.id <= 0 ||
            static_cast<std::size_t>(entry.id) >= pages.Map().size() ||
            !IsPageOfType(pages.Map()[static_cast<std::size_t>(entry.id)], PageType::TableDefinition))
            continue;
        TableInfo table;
        table.tdefPage = entry.id;
        table.name = entry.name;
        const std::vector<std::uint8_t> definition = MergeDefinitionPages(pages, table);
        if (ParseTableDefinition(ByteView(definition), table, pages.Map()) == 0) continue;
        bool data = false, name = false;
        for (const ColumnInfo& column : table.columns) {
            data = data || column.name == "FileData";
            name = name || column.name == "FileName";
        }
        if (data && name && entry.name.rfind("MSysComplexType", 0) != 0) found.push_back(std::move(table));
    }
    return found;
}

int ColumnOf(const TableInfo& table, const std::string& name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == name) return static_cast<int>(i);
    return -1;
}

TEST(CorpusComplexColumns, EveryStoredAttachmentExpandsToItsStatedSizeAndSignature) {
    PW_REQUIRE_CORPUS();
    const std::vector<CorpusFile> files = FilesWithComplexColumns();
    ASSERT_GE(files.size(), 5u);
    std::size_t attachments = 0;
    std::size_t signed_ = 0;
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        AnalysedFile analysed(file.path);
        ASSERT_TRUE(analysed.ok);
        const PageSource& pages = analysed.analysis.pages();
        for (const TableInfo& table : AttachmentTables(pages)) {
            SCOPED_TRACE(table.name);
            const int data = ColumnOf(table, "FileData");
            const int name = ColumnOf(table, "FileName");
            ForEachRow(pages, table, {}, [&](const WalkedRow& row) {
                if (!row.IsRecord()) return true;
                const std::string stored = row.cells[static_cast<std::size_t>(data)].value.text;
                const std::string fileName = row.cells[static_cast<std::size_t>(name)].value.text;
                SCOPED_TRACE(fileName);
                EXPECT_FALSE(fileName.empty());
                ++attachments;
                // Our own reading of the header, with zlib's one-call expander.
                const std::uint32_t stated = Word(stored, 4);
                std::string block(stated, '\0');
                uLongf expanded = stated;
                if (Word(stored, 0) == 1) {
                    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(block.data()), &expanded,
                                         reinterpret_cast<const Bytef*>(stored.data() + 8), stored.size() - 8),
                              Z_OK);
                } else {
                    block = stored.substr(8);
                }
                EXPECT_EQ(expanded, stated);
                const std::uint32_t headerSize = Word(block, 0);
                EXPECT_LE(headerSize, stated);
                if (headerSize > stated) return true;

                const AttachmentContent content = ReadAttachmentData(stored);
                EXPECT_EQ(content.outcome, AttachmentDataOutcome::Complete)
                    << AttachmentDataOutcomeText(content.outcome);
                EXPECT_EQ(content.bytes.size(), stated - headerSize);
                EXPECT_EQ(content.bytes, block.substr(headerSize));
                const std::size_t dot = fileName.rfind('.');
                if (dot != std::string::npos) {
                    EXPECT_EQ(Lower(content.extension), Lower(fileName.substr(dot + 1)));
                }
                const std::string signature = SignatureFor(fileName);
                if (!signature.empty()) {
                    EXPECT_EQ(content.bytes.substr(0, signature.size()), signature);
                    ++signed_;
                }
                return true;
            });
        }
    }
    std::printf("corpus attachments: %zu in %zu files, %zu with a signature checked\n", attachments, files.size(),
                signed_);
    EXPECT_GE(attachments, 18u);
    EXPECT_GE(signed_, 4u);
}

// The attachment cells of the dump, per table: for every record, the list of
// {name, len, sha256}.
TEST(CorpusComplexColumns, CsvExportWritesEveryAttachmentTheDumpLists) {
    PW_REQUIRE_CORPUS();
    std::size_t filesChecked = 0;
    std::map<std::string, std::multiset<std::string>> names;
    for (const CorpusFile& corpusFile : FilesWithComplexColumns()) {
        SCOPED_TRACE(corpusFile.name);
        TempDir dir;
        ScopedAppDirectory app(dir / "app");
        AnalysedForExport file(corpusFile.path);
        ASSERT_TRUE(file.analysed());
        ExportSettings settings;
        settings.target = ExportTarget::Csv;
        settings.folder = dir / "csv";
        settings.tables = file.tables();
        ExportJob job(file.pages(), settings);
        job.Run({}, dir / "app" / "Export Statistics.log", file.control());
        ASSERT_EQ(job.outcome(), ExportOutcome::Succeeded);

        for (const TableInfo& table : settings.tables) {
            if (!HasComplexColumns(table)) continue;
            SCOPED_TRACE(table.name);
            const nlohmann::json rows = nlohmann::json::parse(TableRowsJson(file.pages(), table, file.control()).dump());
            const std::string stem = job.csv().FileStem(table);
            const std::string csv = ReadText(settings.folder / (stem + ".csv"));
            for (std::size_t r = 0; r < rows.size(); ++r) {
                for (std::size_t k = 0; k < table.columns.size(); ++k) {
                    if (table.columns[k].typeCode != ColumnType::Attachment) continue;
                    const nlohmann::json& cell = rows[r][k];
                    ASSERT_TRUE(cell.is_array()) << "row " << r << " column " << table.columns[k].name;
                    for (const nlohmann::json& item : cell) {
                        if (!item.is_object()) continue;  // a multi-value item
                        const std::string name = item["name"].get<std::string>();
                        names[corpusFile.name + "/" + table.name].insert(name);
                        const std::string relative =
                            stem + "_files/record" + std::to_string(r + 1) + "/" + name;
                        EXPECT_NE(csv.find("?{file '" + relative + "'}"), std::string::npos) << relative;
                        const std::string written = ReadText(settings.folder / relative);
                        EXPECT_EQ(written.size(), item["len"].get<std::size_t>()) << relative;
                        EXPECT_EQ(Sha256Hex(written), item["sha256"].get<std::string>()) << relative;
                    }
                }
            }
        }
        // Our reading of the hidden tables and of the attachments meets no damage in files Access wrote.
        EXPECT_EQ(file.damage().Count(DamageKind::ValueOutOfRange), 0);
        EXPECT_EQ(file.damage().Count(DamageKind::LongValueBroken), 0);
        ++filesChecked;
    }
    EXPECT_GE(filesChecked, 5u);
    const std::multiset<std::string> andi = {"attachment1.txt", "attachment1.txt", "attachment2.txt",
                                             "attachment3.txt"};
    EXPECT_EQ(names["andipaetzold__test_data_V2016_attachments.accdb/Table1"], andi);
    const std::multiset<std::string> jahlborn = {"test_data.txt", "test_data2.txt", "test_data2.txt"};
    EXPECT_EQ(names["jahlborn__src_test_data_V2007_complexDataTestV2007.accdb/Table1"], jahlborn);
    EXPECT_EQ(names["ucanaccess__complex.accdb/t_complex"], jahlborn);
}

TEST(CorpusComplexColumns, MultiValueCellsListTheirValues) {
    PW_REQUIRE_CORPUS();
    const std::filesystem::path path = CorpusDir() / "files" / "jahlborn__src_test_data_V2007_complexDataTestV2007.accdb";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "file missing";
    AnalysedFile analysed(path);
    ASSERT_TRUE(analysed.ok);
    const TableInfo* table = analysed.Find("Table1");
    ASSERT_NE(table, nullptr);
    const nlohmann::json rows =
        nlohmann::json::parse(TableRowsJson(analysed.analysis.pages(), *table, analysed.control()).dump());
    std::size_t column = 0;
    while (column < table->columns.size() && table->columns[column].name != "multi-value-data") ++column;
    ASSERT_LT(column, table->columns.size());
    std::map<std::string, nlohmann::json> byId;
    for (const auto& row : rows) byId[row[0].get<std::string>()] = row[column];
    EXPECT_EQ(byId["row1"], nlohmann::json::array());
    EXPECT_EQ(byId["row2"], nlohmann::json({"value1", "value4"}));
    EXPECT_EQ(byId["row3"], nlohmann::json({"value1", "value2", "value3", "value4"}));
    EXPECT_EQ(byId["row4"], nlohmann::json::array());
}

}  // namespace
}  // namespace pw::testing
