// Record walks over built databases: the preview's windows of 100 records,
// the recordset walk of the Access export, and row decoding edge cases.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "records/RecordReader.h"
#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using testing::DatabaseBuilder;

// A recordset that keeps what it is given and can be told to fail.
class FakeRecordset : public Recordset {
public:
    void AddNew() override {
        ++addNewCalls;
        if (failAddNewAt == addNewCalls) throw RecordsetError("AddNew");
        pending.clear();
    }
    void SetFieldValue(const std::string& column, const std::string& text, const TypedValue&) override {
        pending[column] = text;
    }
    void Update() override {
        ++updateCalls;
        if (failUpdateAt == updateCalls) throw RecordsetError("Update");
        stored.push_back(pending);
    }
    int addNewCalls = 0;
    int updateCalls = 0;
    int failAddNewAt = -1;
    int failUpdateAt = -1;
    std::map<std::string, std::string> pending;
    std::vector<std::map<std::string, std::string>> stored;
};

class RecordWalk : public ::testing::Test {
protected:
    // A table "T" (Id LONG, Name TEXT) with the given rows; ids count from 1.
    std::unique_ptr<testing::AnalysedFile> Build(int rows, std::vector<int> deleted = {},
                                                 std::optional<std::int32_t> rowCount = std::nullopt,
                                                 int rowsPerPage = 0) {
        DatabaseBuilder builder;
        testing::TableOptions options;
        options.rowCount = rowCount;
        const auto table = builder.AddTable(
            "T", {testing::Column("Id", 4), testing::Column("Name", 10, 100)}, options);
        for (int i = 1; i <= rows; ++i) {
            testing::RowOptions row;
            row.deleted = std::find(deleted.begin(), deleted.end(), i) != deleted.end();
            row.newPage = rowsPerPage > 0 && i > 1 && (i - 1) % rowsPerPage == 0;
            builder.AddRow(table, {testing::Long(i), testing::Text("row " + std::to_string(i))}, row);
        }
        const auto path = dir.path() / "walk.mdb";
        testing::WriteFile(path, builder.Build());
        auto file = std::make_unique<testing::AnalysedFile>(path);
        EXPECT_TRUE(file->ok);
        return file;
    }

    static std::vector<std::string> Records(const std::vector<std::string>& texts) {
        std::vector<std::string> out;
        for (const std::string& t : texts)
            if (!IsNonRecordText(t)) out.push_back(t.substr(0, t.find(kCellSeparator)));
        return out;
    }

    testing::TempDir dir;
};

TEST_F(RecordWalk, TwoHundredFiftyRowsPreviewAsWindowsOf100100And50) {
    auto file = Build(250, {}, std::nullopt, 60);
    TableInfo& table = *file->Find("T");
    RecordReader reader(file->reader, file->status, nullptr);
    table.pageCursor = table.recordCursor = table.slotCursor = 0;
    std::vector<std::string> ids;
    for (int expected : {100, 100, 50, 0}) {
        std::vector<std::string> texts(100);
        ASSERT_EQ(reader.ReadRecordWindow(table, texts), 1);
        const auto window = Records(texts);
        EXPECT_EQ(static_cast<int>(window.size()), expected);
        ids.insert(ids.end(), window.begin(), window.end());
    }
    ASSERT_EQ(ids.size(), 250u);
    EXPECT_EQ(ids.front(), "1");
    EXPECT_EQ(ids.back(), "250");
}

TEST_F(RecordWalk, DeletedRowsInAWindowAreReplacedByLaterOnes) {
    auto file = Build(120, {5, 6, 7});
    TableInfo& table = *file->Find("T");
    RecordReader reader(file->reader, file->status, nullptr);
    std::vector<std::string> texts(100);
    ASSERT_EQ(reader.ReadRecordWindow(table, texts), 1);
    const auto window = Records(texts);
    // The definition counts 117 rows; the window still shows 100 records.
    ASSERT_EQ(window.size(), 100u);
    EXPECT_EQ(window[4], "8");
}

TEST_F(RecordWalk, ATooSmallRowCountIsToppedUpFromTheFollowingPage) {
    // 40 rows on the first page, more on the second, but the definition says 10.
    auto file = Build(70, {}, 10, 40);
    TableInfo& table = *file->Find("T");
    RecordReader reader(file->reader, file->status, nullptr);
    std::vector<std::string> texts(100);
    ASSERT_EQ(reader.ReadRecordWindow(table, texts), 1);
    EXPECT_EQ(Records(texts).size(), 41u);
    EXPECT_EQ(table.rowCount, 41);
}

TEST_F(RecordWalk, ADeletedRowBetweenLiveRowsStoresOneRecordPerLiveRow) {
    auto file = Build(5, {3});
    TableInfo& table = *file->Find("T");
    RecordReader reader(file->reader, file->status, nullptr);
    FakeRecordset recordset;
    ASSERT_EQ(reader.ExportRowsToRecordset(table, recordset), 1);
    ASSERT_EQ(recordset.stored.size(), 4u);
    EXPECT_EQ(recordset.addNewCalls, 4);  // the record opened for the deleted row is reused
    EXPECT_EQ(recordset.stored[2].at("Id"), "4");
    EXPECT_EQ(table.exportedRows, 4);
}

TEST_F(RecordWalk, RecordsetFailuresAreLoggedAndSkipOneSlot) {
    testing::TempDir appDir;
    std::filesystem::create_directories(appDir.path() / "Log Files");
    SetAppDirectory(appDir.path());
    auto file = Build(6);
    TableInfo& table = *file->Find("T");
    RecordReader reader(file->reader, file->status, nullptr);
    FakeRecordset recordset;
    recordset.failAddNewAt = 1;  // slot 0
    recordset.failUpdateAt = 4;  // the fourth update: slot 4
    reader.ExportRowsToRecordset(table, recordset);
    ResetAppDirectory();
    EXPECT_EQ(table.exportedRows, 4);
    const auto log = testing::ReadFile(appDir.path() / "Log Files" / "ErrorLog.log");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("MSG:Error adding Row=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("MSG:Update record failed for Row=5\r\n"), std::string::npos);
}

TEST_F(RecordWalk, RowsThatCannotBeRecordsAreRejectedOrMarked) {
    DatabaseBuilder builder;
    const auto t = builder.AddTable("T", {testing::Column("Id", 4), testing::Column("Flag", 1),
                                          testing::Column("Name", 10, 100)});
    builder.AddRow(t, {testing::Long(1), testing::Bit(true), testing::Text("a")});
    // A row that claims 300 stored columns, and one that stores none.
    testing::Bytes tooMany(20, 0);
    tooMany[0] = 0x2C;
    tooMany[1] = 0x01;
    builder.AddRawRow(t, tooMany);
    testing::Bytes none = {0, 0, 0, 0, 0, 0};
    builder.AddRawRow(t, none);
    testing::RowOptions lookup;
    lookup.lookup = true;
    builder.AddRow(t, {testing::Long(2), testing::Bit(false), std::nullopt}, lookup);
    const auto path = dir.path() / "rows.mdb";
    testing::WriteFile(path, builder.Build());
    testing::AnalysedFile file(path);
    ASSERT_TRUE(file.ok);
    TableInfo& table = *file.Find("T");
    RecordReader reader(file.reader, file.status, nullptr);
    reader.PrepareRowValues(table);
    reader.LoadDataPage(table, 0);
    std::string text;
    EXPECT_EQ(reader.ReadRowText(table, 0, text), 1);
    EXPECT_EQ(text, std::string("1") + kCellSeparator + "1" + kCellSeparator + "a" + kCellSeparator);
    EXPECT_EQ(reader.ReadRowText(table, 1, text), 1);
    EXPECT_EQ(text, "");  // rejected
    EXPECT_EQ(reader.ReadRowText(table, 2, text), 0);  // no column stored
    EXPECT_EQ(text, std::string("NULL") + kCellSeparator + "0" + kCellSeparator + "NULL" + kCellSeparator);
    // A lookup-flagged row that decodes comes out without a mark.
    EXPECT_EQ(reader.ReadRowText(table, 3, text), 1);
    EXPECT_TRUE(reader.lastRowLookup());
    EXPECT_EQ(text, std::string("2") + kCellSeparator + "0" + kCellSeparator + "NULL" + kCellSeparator);
}

}  // namespace
}  // namespace pw
