// Record walks over built databases: the preview's windows of 100 records,
// the recordset walk of the Access export, and row decoding edge cases.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "records/RecordWindow.h"
#include "export/RecordsetExport.h"
#include "schema/ColumnTypes.h"
#include "records/RowWalk.h"
#include "status/DamageReport.h"
#include "status/AppPaths.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

using testing::DatabaseBuilder;

// A sink that keeps what it is given and can be told to fail or refuse.
class FakeSink : public RecordSink {
public:
    AppendResult Append(const std::vector<TypedValue>& values) override {
        ++calls;
        if (failAt == calls) throw std::runtime_error("the file cannot be written");
        AppendResult result;
        if (refuseWholeAt == calls) {
            result.refused.push_back({FieldRefusal::kWholeRecord, "the record is longer than a page"});
            return result;
        }
        if (refuseColumnAt == calls) result.refused.push_back({1, "[Name]: refused for the test"});
        stored.push_back(values);
        result.stored = true;
        return result;
    }
    int calls = 0;
    int failAt = -1;
    int refuseWholeAt = -1;
    int refuseColumnAt = -1;
    std::vector<std::vector<TypedValue>> stored;
};

// The output of table "T": its two columns, each holding the recovered one of its index.
struct OutputOfT {
    std::vector<ColumnDesign> columns;
    std::vector<std::size_t> sources = {0, 1};
    OutputOfT() {
        columns.resize(2);
        columns[0].name = "Id";
        columns[0].typeCode = ColumnType::Long;
        columns[0].length = 4;
        columns[1].name = "Name";
        columns[1].typeCode = ColumnType::Text;
        columns[1].length = 200;
    }
    OutputColumns view() const { return {&columns, &sources}; }
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

    // The Id cell of every record.
    static std::vector<std::string> Records(const std::vector<WalkedRow>& rows) {
        std::vector<std::string> out;
        for (const WalkedRow& row : rows)
            if (row.IsRecord()) out.push_back(row.cells.at(0).text);
        return out;
    }

    static std::string Texts(const WalkedRow& row) {
        std::string joined;
        for (const CellValue& cell : row.cells) joined += cell.text + "|";
        return joined;
    }

    testing::TempDir dir;
};

TEST_F(RecordWalk, TwoHundredFiftyRowsPreviewAsWindowsOf100100And50) {
    auto file = Build(250, {}, std::nullopt, 60);
    RecordWindow reader(file->analysis.pages(), file->Table("T"), file->control());
    std::vector<std::string> ids;
    for (int expected : {100, 100, 50, 0}) {
        std::vector<WalkedRow> texts;
        ASSERT_EQ(reader.ReadNext(texts), RecordWindow::Outcome::Read);
        const auto window = Records(texts);
        EXPECT_EQ(static_cast<int>(window.size()), expected);
        ids.insert(ids.end(), window.begin(), window.end());
    }
    ASSERT_EQ(ids.size(), 250u);
    EXPECT_EQ(ids.front(), "1");
    EXPECT_EQ(ids.back(), "250");
    EXPECT_TRUE(reader.exhausted());
}

TEST_F(RecordWalk, TwoWindowsOverOneTableKeepTheirOwnPlace) {
    auto file = Build(150, {}, std::nullopt, 60);
    RecordWindow first(file->analysis.pages(), file->Table("T"), file->control());
    RecordWindow second(file->analysis.pages(), file->Table("T"), file->control());
    std::vector<WalkedRow> rows;
    ASSERT_EQ(first.ReadNext(rows), RecordWindow::Outcome::Read);
    ASSERT_EQ(second.ReadNext(rows), RecordWindow::Outcome::Read);
    EXPECT_EQ(Records(rows).front(), "1");
    ASSERT_EQ(first.ReadNext(rows), RecordWindow::Outcome::Read);
    EXPECT_EQ(Records(rows).front(), "101");
    EXPECT_EQ(file->Table("T").rowCount, 150);
}

TEST_F(RecordWalk, DeletedRowsInAWindowAreReplacedByLaterOnes) {
    auto file = Build(120, {5, 6, 7});
    RecordWindow reader(file->analysis.pages(), file->Table("T"), file->control());
    std::vector<WalkedRow> texts;
    ASSERT_EQ(reader.ReadNext(texts), RecordWindow::Outcome::Read);
    const auto window = Records(texts);
    // The definition counts 117 rows; the window still shows 100 records.
    ASSERT_EQ(window.size(), 100u);
    EXPECT_EQ(window[4], "8");
    // The deleted slots do not count against the rows the next window reaches.
    ASSERT_EQ(reader.ReadNext(texts), RecordWindow::Outcome::Read);
    const auto rest = Records(texts);
    ASSERT_EQ(rest.size(), 17u);
    EXPECT_EQ(rest.back(), "120");
}

TEST_F(RecordWalk, ADeletedRowDoesNotHideTheLastRecordOfAOnePageTable) {
    auto file = Build(5, {2});
    RecordWindow reader(file->analysis.pages(), file->Table("T"), file->control());
    std::vector<WalkedRow> texts;
    ASSERT_EQ(reader.ReadNext(texts), RecordWindow::Outcome::Read);
    EXPECT_EQ(Records(texts), (std::vector<std::string>{"1", "3", "4", "5"}));
}

TEST_F(RecordWalk, ATooSmallRowCountIsToppedUpFromTheFollowingPage) {
    // 40 rows on the first page, more on the second, but the definition says 10.
    auto file = Build(70, {}, 10, 40);
    RecordWindow reader(file->analysis.pages(), file->Table("T"), file->control());
    std::vector<WalkedRow> texts;
    ASSERT_EQ(reader.ReadNext(texts), RecordWindow::Outcome::Read);
    EXPECT_EQ(Records(texts).size(), 41u);
    EXPECT_EQ(reader.rowBound(), 41);
    EXPECT_EQ(file->Table("T").rowCount, 10);  // the table itself stays as its definition says
}

TEST_F(RecordWalk, ADeletedRowBetweenLiveRowsStoresOneRecordPerLiveRow) {
    auto file = Build(5, {3});
    FakeSink sink;
    RejectLog rejects;
    const OutputOfT output;
    const RecordsetResult result = ExportRowsToRecordset(file->analysis.pages(), file->Table("T"), output.view(),
                                                         file->control(), sink, rejects);
    ASSERT_EQ(result.outcome, WalkOutcome::Completed);
    ASSERT_EQ(sink.stored.size(), 4u);
    EXPECT_EQ(sink.calls, 4);  // nothing is offered for the deleted row
    EXPECT_EQ(sink.stored[2][0].integer, 4);
    EXPECT_EQ(result.storedRows, 4);
    EXPECT_EQ(rejects.Total(), 0);
}

TEST_F(RecordWalk, RefusedValuesAreRejectRecordsAndFailuresAreLogged) {
    testing::TempDir appDir;
    std::filesystem::create_directories(appDir.path() / "Log Files");
    SetAppDirectory(appDir.path());
    auto file = Build(6);
    FakeSink sink;
    sink.failAt = 1;         // slot 0: the file cannot be written
    sink.refuseColumnAt = 3; // slot 2: its Name refused, the record stored
    sink.refuseWholeAt = 5;  // slot 4: the record refused whole
    RejectLog rejects;
    const OutputOfT output;
    const RecordsetResult result = ExportRowsToRecordset(file->analysis.pages(), file->Table("T"), output.view(),
                                                         file->control(), sink, rejects);
    ResetAppDirectory();
    EXPECT_EQ(result.storedRows, 4);
    EXPECT_EQ(result.rejectedValues, 2);
    ASSERT_EQ(rejects.Total(), 2);
    const std::vector<RejectRecord> kept = rejects.Kept("T");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].column, "Name");
    EXPECT_EQ(kept[0].value, "row 3");
    EXPECT_EQ(kept[0].slot, 2);
    EXPECT_EQ(kept[0].reason, "[Name]: refused for the test");
    EXPECT_EQ(kept[1].column, "");
    EXPECT_EQ(kept[1].slot, 4);
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
    RowWalker walker(file.analysis.pages(), file.Table("T"), file.control());
    ASSERT_EQ(walker.LoadPage(0), 4);
    const WalkedRow& row = walker.ReadSlot(0);
    EXPECT_EQ(row.kind, SlotKind::Live);
    EXPECT_EQ(Texts(row), "1|1|a|");
    walker.ReadSlot(1);
    EXPECT_EQ(row.kind, SlotKind::Unreadable);
    EXPECT_EQ(row.problem, RowProblem::TooManyColumns);
    EXPECT_TRUE(row.cells.empty());
    walker.ReadSlot(2);
    EXPECT_EQ(row.kind, SlotKind::Unreadable);
    EXPECT_EQ(row.problem, RowProblem::NoStoredColumns);
    EXPECT_EQ(Texts(row), "NULL|0|NULL|");  // its cells are still there for the Access export
    // A lookup-flagged row that decodes comes out as a record.
    walker.ReadSlot(3);
    EXPECT_EQ(row.kind, SlotKind::Live);
    EXPECT_TRUE(row.lookupFlag);
    EXPECT_EQ(Texts(row), "2|0|NULL|");

    // Both rejected rows were reported where they are.
    const std::vector<DamageEvent> events = file.damage.KeptEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, DamageKind::RowRejected);
    EXPECT_EQ(events[0].slot, 1);
    EXPECT_EQ(events[0].page, file.Table("T").dataPages[0]);
    EXPECT_EQ(events[0].table, "T");
    EXPECT_EQ(events[1].slot, 2);
}

TEST_F(RecordWalk, AWalkYieldsEverySlotWithItsKindAndStopsOnRequest) {
    auto file = Build(8, {2, 5});
    std::vector<SlotKind> kinds;
    const WalkOutcome outcome = ForEachRow(file->analysis.pages(), file->Table("T"), file->control(),
                                           [&](const WalkedRow& row) {
                                               kinds.push_back(row.kind);
                                               return true;
                                           });
    EXPECT_EQ(outcome, WalkOutcome::Completed);
    ASSERT_EQ(kinds.size(), 8u);
    EXPECT_EQ(kinds[1], SlotKind::Deleted);
    EXPECT_EQ(kinds[4], SlotKind::Deleted);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), SlotKind::Live), 6);

    int seen = 0;
    const WalkOutcome stopped = ForEachRow(file->analysis.pages(), file->Table("T"), file->control(),
                                           [&](const WalkedRow&) {
                                               if (++seen == 3) file->stop.Request();
                                               return true;
                                           });
    EXPECT_EQ(stopped, WalkOutcome::Stopped);
    EXPECT_EQ(seen, 3);
}

}  // namespace
}  // namespace pw
