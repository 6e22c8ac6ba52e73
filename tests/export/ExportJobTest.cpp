#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/DumpJson.h"
#include "export/ExportJob.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

// Three tables, "Alpha" (3 rows), "Beta" (500 rows) and "Gamma" (2 rows), in
// a file of a temporary folder that is also the application folder.
class ExportJobTest : public ::testing::Test {
protected:
    ExportJobTest() : app_(dir_ / "app") {
        DatabaseBuilder db;
        const auto alpha = db.AddTable("Alpha", {Column("Id", type::kLong), Column("Name", type::kText)});
        for (int i = 0; i < 3; ++i) db.AddRow(alpha, {Long(i), Text("a" + std::to_string(i))});
        const auto beta = db.AddTable("Beta", {Column("N", type::kLong)});
        for (int i = 0; i < 500; ++i) db.AddRow(beta, {Long(i)});
        const auto gamma = db.AddTable("Gamma", {Column("Flag", type::kBit)});
        db.AddRow(gamma, {Bit(true)});
        db.AddRow(gamma, {Bit(false)});
        WriteFile(input(), db.Build());
        file_ = std::make_unique<AnalysedForExport>(input());
    }

    std::filesystem::path input() const { return dir_ / "input.mdb"; }
    std::filesystem::path out() const { return dir_ / "out"; }
    std::filesystem::path statistics() const { return dir_ / "app" / "Export Statistics.log"; }
    const TableInfo& Table(const std::string& name) { return file_->Table(name); }

    ExportSettings Settings(ExportTarget target, std::vector<TableInfo> tables) {
        ExportSettings settings;
        settings.target = target;
        settings.content = ExportContent::SchemaAndData;
        settings.folder = out();
        settings.tables = std::move(tables);
        return settings;
    }

    // Runs a job and keeps what it reported.
    void Run(ExportJob& job, CsvExporter::RowHook onRow = {}) {
        ExportCallbacks callbacks;
        callbacks.onLine = [this](const std::string& line) { lines_.push_back(line); };
        callbacks.onProgress = [this](int percent) { progress_.push_back(percent); };
        callbacks.onRow = std::move(onRow);
        job.Run(callbacks, statistics(), file_->control());
    }

    TempDir dir_;
    ScopedAppDirectory app_;
    std::unique_ptr<AnalysedForExport> file_;
    std::vector<std::string> lines_;
    std::vector<int> progress_;
};

TEST_F(ExportJobTest, ThreeTablesToCsv) {
    const std::string before = Sha256Hex(ReadText(input()));
    ExportJob job(file_->pages(), Settings(ExportTarget::Csv, {Table("Alpha"), Table("Beta"), Table("Gamma")}));
    Run(job);

    EXPECT_EQ(lines_, (std::vector<std::string>{
                          "Export Database started...", "Export started  : Alpha", "Export completed : Alpha",
                          "Export started  : Beta", "Export completed : Beta", "Export started  : Gamma",
                          "Export completed : Gamma", "Export completed Successfully..."}));
    EXPECT_EQ(progress_, (std::vector<int>{33, 66, 100, 100}));
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    EXPECT_EQ(FilesIn(out()), (std::vector<std::string>{"Alpha.csv", "Beta.csv", "Gamma.csv"}));
    EXPECT_EQ(ReadText(out() / "Alpha.csv"), "id,name\r\n0,a0\r\n1,a1\r\n2,a2\r\n");
    EXPECT_EQ(ReadText(out() / "Gamma.csv"), "flag\r\nYes\r\nNo\r\n");
    EXPECT_EQ(CrLfLines(ReadText(out() / "Beta.csv")).size(), 501u);

    EXPECT_TRUE(job.statisticsWritten());
    EXPECT_EQ(ReadText(statistics()), "Database Path : " + out().string() +
                                          "\r\n\r\n"
                                          "            Table name             :          No of Records\r\n"
                                          "                              Alpha:                   3\r\n"
                                          "                               Beta:                 500\r\n"
                                          "                              Gamma:                   2\r\n");
    EXPECT_EQ(ReadText(dir_ / "app" / "Log Files" / "ExecLog.log"),
              "Code:0  Error:0  MSG:Export Database started...\r\n"
              "Code:0  Error:0  MSG:Export started  : Alpha\r\n"
              "Code:0  Error:0  MSG:Export completed : Alpha\r\n"
              "Code:0  Error:0  MSG:Export started  : Beta\r\n"
              "Code:0  Error:0  MSG:Export completed : Beta\r\n"
              "Code:0  Error:0  MSG:Export started  : Gamma\r\n"
              "Code:0  Error:0  MSG:Export completed : Gamma\r\n");
    EXPECT_EQ(Sha256Hex(ReadText(input())), before);
}

TEST_F(ExportJobTest, StopDuringTheSecondTableEndsTheJobWithCompleteLines) {
    ExportJob job(file_->pages(), Settings(ExportTarget::Csv, {Table("Alpha"), Table("Beta"), Table("Gamma")}));
    Run(job, [this](const TableInfo& table, std::int64_t rows) {
        if (table.name == "Beta" && rows == 120) file_->stop().Request();
    });

    EXPECT_EQ(lines_, (std::vector<std::string>{"Export Database started...", "Export started  : Alpha",
                                                "Export completed : Alpha", "Export started  : Beta",
                                                "Export completed : Beta", "Export Aborted by user..."}));
    EXPECT_EQ(job.outcome(), ExportOutcome::Aborted);
    EXPECT_EQ(FilesIn(out()), (std::vector<std::string>{"Alpha.csv", "Beta.csv"}));
    const std::vector<std::string> beta = CrLfLines(ReadText(out() / "Beta.csv"));
    ASSERT_EQ(beta.size(), 121u);
    EXPECT_EQ(beta.back(), "119");
    EXPECT_EQ(ReadText(statistics()), "Database Path : " + out().string() +
                                          "\r\n\r\n"
                                          "            Table name             :          No of Records\r\n"
                                          "                              Alpha:                   3\r\n"
                                          "                               Beta:                 120\r\n");
}

TEST_F(ExportJobTest, EntriesWithoutATableOrANameAreSkipped) {
    ExportJob job(file_->pages(), Settings(ExportTarget::Csv, {TableInfo{}, Table("Gamma"), TableInfo{}}));
    Run(job);
    EXPECT_EQ(lines_,
              (std::vector<std::string>{"Export Database started...", "Export started  : Gamma",
                                        "Export completed : Gamma", "Export completed Successfully..."}));
    EXPECT_EQ(progress_, (std::vector<int>{66, 100}));
    ASSERT_EQ(job.statistics().size(), 1u);
    EXPECT_EQ(job.statistics()[0].tableName, "Gamma");
}

TEST_F(ExportJobTest, NothingChosenSucceedsWithAnEmptyList) {
    ExportJob job(file_->pages(), Settings(ExportTarget::Csv, {}));
    Run(job);
    EXPECT_EQ(lines_,
              (std::vector<std::string>{"Export Database started...", "Export completed Successfully..."}));
    EXPECT_EQ(progress_, std::vector<int>{100});
    EXPECT_EQ(ReadText(statistics()),
              "Database Path : " + out().string() +
                  "\r\n\r\n            Table name             :          No of Records\r\n");
}

TEST_F(ExportJobTest, AccessTargetWithoutAnOutputDatabaseEndsWithErrors) {
    ExportJob job(file_->pages(), Settings(ExportTarget::Access, {Table("Alpha"), Table("Gamma")}));
    Run(job);
    EXPECT_EQ(job.closingLine(), "Export completed with errors...");
    EXPECT_EQ(job.outcome(), ExportOutcome::Failed);
    EXPECT_EQ(lines_.size(), 6u);
    EXPECT_FALSE(std::filesystem::exists(out()));
    ASSERT_EQ(job.statistics().size(), 2u);
    EXPECT_EQ(job.statistics()[1].exportedRows, 0);
}

TEST_F(ExportJobTest, AccessTargetIsDrivenThroughItsInterface) {
    struct RecordingTarget : AccessTarget {
        std::vector<std::string> calls;
        bool CreateOutputDatabase(const std::filesystem::path& folder) override {
            calls.push_back("create " + folder.filename().string());
            return true;
        }
        TableExportResult ExportTable(const TableInfo& table, const RunControl&) override {
            calls.push_back("table " + table.name);
            TableExportResult result;
            result.outcome = table.name == "Alpha" ? TableExportOutcome::Completed : TableExportOutcome::Failed;
            result.exportedRows = 9;
            return result;
        }
        void Close() override { calls.push_back("close"); }
    } target;
    ExportJob job(file_->pages(), Settings(ExportTarget::Access, {Table("Alpha"), Table("Gamma")}), &target);
    Run(job);
    EXPECT_EQ(target.calls, (std::vector<std::string>{"create out", "table Alpha", "table Gamma", "close"}));
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    ASSERT_EQ(job.statistics().size(), 2u);
    EXPECT_EQ(job.statistics()[0].exportedRows, 9);
}

}  // namespace
}  // namespace pw::testing

namespace pw::testing {
namespace {

using namespace exportsupport;

TEST(ExportJobNames, ControlCharactersOfStoredNamesAreEscapedInLinesLogsAndStatistics) {
    TempDir dir;
    ScopedAppDirectory app(dir / "app");
    DatabaseBuilder db;
    const auto t = db.AddTable("Evil\x1b[2J\nCode:0  Error:0  MSG:forged", {Column("A", type::kLong)});
    db.AddRow(t, {Long(1)});
    WriteFile(dir / "input.mdb", db.Build());
    AnalysedForExport file(dir / "input.mdb");
    ASSERT_TRUE(file.analysed());
    ExportSettings settings;
    settings.folder = dir / "out";
    for (const TableInfo& table : file.tables())
        if (table.name.rfind("Evil", 0) == 0) settings.tables.push_back(table);
    ASSERT_EQ(settings.tables.size(), 1u);
    ExportJob job(file.pages(), settings);
    std::vector<std::string> lines;
    ExportCallbacks callbacks;
    callbacks.onLine = [&](const std::string& line) { lines.push_back(line); };
    job.Run(callbacks, dir / "app" / "Export Statistics.log", file.control());

    const std::string shown = "Evil\\x1b[2J\\x0aCode:0  Error:0  MSG:forged";
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "Export started  : " + shown);
    const std::string log = ReadText(dir / "app" / "Log Files" / "ExecLog.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);  // one line per entry, none forged
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
    const std::string statistics = ReadText(dir / "app" / "Export Statistics.log");
    EXPECT_NE(statistics.find(shown), std::string::npos) << statistics;
    EXPECT_EQ(statistics.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace pw::testing
