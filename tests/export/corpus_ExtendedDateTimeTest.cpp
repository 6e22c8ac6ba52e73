// Date/Time Extended values (type code 20) of the corpus against the values
// the reference reader gives for them, in the cell, the dump and the CSV.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"

namespace pw {
namespace {

constexpr const char* kFile = "jahlborn__src_test_data_V2019_extDateTestV2019.accdb";

// The reference writes "YYYY.MM.DD HH:MM:SS.fffffffff"; the stored value has
// seven fraction digits, so its last two are always zero.
std::string FromReference(const std::string& text) {
    EXPECT_EQ(text.size(), 29u) << text;
    EXPECT_EQ(text.substr(27), "00") << text;
    std::string ours = text.substr(0, 27);
    ours[4] = '-';
    ours[7] = '-';
    return ours;
}

TEST(CorpusExtendedDateTime, EveryValueMatchesTheReference) {
    PW_REQUIRE_CORPUS();
    const testing::CorpusFile* file = nullptr;
    const std::vector<testing::CorpusFile> files = testing::ListCorpusFiles();
    for (const testing::CorpusFile& f : files)
        if (f.name == kFile) file = &f;
    ASSERT_NE(file, nullptr);
    const nlohmann::json expected = testing::LoadExpected(*file);
    testing::AnalysedFile analysed(file->path);
    ASSERT_TRUE(analysed.ok);

    std::size_t compared = 0;
    std::size_t nulls = 0;
    for (const nlohmann::json& t : expected["tables"]) {
        const TableInfo& table = analysed.Table(t["name"].get<std::string>());
        std::vector<std::size_t> columns;
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            if (table.columns[i].typeCode != ColumnType::DateTimeExt) continue;
            columns.push_back(i);
            EXPECT_EQ(t["columns"][i]["type"], "UNKNOWN:datetimextended");
            EXPECT_EQ(DumpTypeName(table.columns[i]), "DATETIMEEXT");
        }
        std::size_t row = 0;
        const RunControl run = analysed.control();
        ForEachRow(analysed.analysis.pages(), table, run, [&](const WalkedRow& walked) {
            if (!walked.IsRecord()) return true;
            const nlohmann::json& want = t["rows"].at(row++);
            for (std::size_t i : columns) {
                SCOPED_TRACE(table.columns[i].name + " row " + std::to_string(row));
                const CellValue& cell = walked.cells.at(i);
                const nlohmann::json value = ValueJson(cell.value);
                if (want[i].is_null()) {
                    EXPECT_FALSE(cell.present);
                    EXPECT_TRUE(value.is_null());
                    ++nulls;
                    continue;
                }
                const std::string text = FromReference(want[i].get<std::string>());
                EXPECT_EQ(cell.value.kind, TypedValue::Kind::DateTimeExt);
                EXPECT_EQ(cell.text, text);
                EXPECT_EQ(value, text);
                EXPECT_EQ(CsvFieldText(cell, CsvFormat{}), text);
                ++compared;
            }
            return true;
        });
        EXPECT_EQ(row, t["rows"].size());
    }
    EXPECT_EQ(compared, 8u);
    EXPECT_EQ(nulls, 1u);
    EXPECT_EQ(analysed.damage.Count(DamageKind::ValueOutOfRange), 0);
}

}  // namespace
}  // namespace pw
