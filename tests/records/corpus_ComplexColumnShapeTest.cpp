// What the index tells of each complex column of real files: attachments,
// multi-value columns with the type of their values, and the history of an
// append-only memo; a column that is no complex one is not linked.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "records/ComplexColumns.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"

namespace pw::testing {
namespace {

std::optional<ComplexColumnShape> ShapeIn(const char* file, const std::string& table, const std::string& column) {
    AnalysedFile analysed(CorpusDir() / "files" / file);
    EXPECT_TRUE(analysed.ok) << file;
    if (!analysed.ok) return std::nullopt;
    const ComplexColumnIndex index(analysed.analysis.pages(), analysed.control());
    return index.ShapeOf(analysed.Table(table).tdefPage, column);
}

TEST(CorpusComplexColumnShape, TellsAttachmentsMultiValuesAndVersionHistory) {
    PW_REQUIRE_CORPUS();
    constexpr const char* kFile = "jahlborn__src_test_data_V2007_complexDataTestV2007.accdb";

    const std::optional<ComplexColumnShape> files = ShapeIn(kFile, "Table1", "attach-data");
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(files->kind, ComplexKind::Attachment);

    const std::optional<ComplexColumnShape> values = ShapeIn(kFile, "Table1", "multi-value-data");
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->kind, ComplexKind::MultiValue);
    ASSERT_EQ(values->valueColumns.size(), 1u);
    EXPECT_EQ(values->valueColumns[0].typeCode, ColumnType::Text);

    // Linked by name in any case, as Access finds columns.
    const std::optional<ComplexColumnShape> history =
        ShapeIn(kFile, "Table1", "versionhistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880");
    ASSERT_TRUE(history.has_value());
    EXPECT_EQ(history->kind, ComplexKind::VersionHistory);
    EXPECT_EQ(history->valueColumns.size(), 2u);

    EXPECT_FALSE(ShapeIn(kFile, "Table1", "memo-data").has_value());
}

TEST(CorpusComplexColumnShape, AFileWithoutComplexColumnsLinksNone) {
    PW_REQUIRE_CORPUS();
    AnalysedFile analysed(CorpusDir() / "files" / "northwind_a.mdb");
    ASSERT_TRUE(analysed.ok);
    const ComplexColumnIndex index(analysed.analysis.pages(), analysed.control());
    EXPECT_EQ(index.linkedColumns(), 0u);
    EXPECT_FALSE(index.ShapeOf(analysed.Table("Customers").tdefPage, "CustomerID").has_value());
}

}  // namespace
}  // namespace pw::testing
