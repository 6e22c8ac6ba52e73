// The Access target of the export job: the new database, its statistics and
// the error-log trace, including the failure paths.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "export/AccessExport.h"
#include "records/RowWalk.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

// "Alpha": 3 live rows with a deleted one between the first two; "Empty":
// rows that are all deleted; "Odd": a column of an unknown type; "Gamma": 2 rows.
class AccessExportTest : public ::testing::Test {
protected:
    AccessExportTest() : app_(dir_ / "app") {
        DatabaseBuilder db;
        const auto alpha = db.AddTable("Alpha", {Column("Id", type::kLong), Column("Name", type::kText)});
        db.AddRow(alpha, {Long(1), Text("first")});
        db.AddRow(alpha, {Long(99), Text("gone")}, RowOptions{true, false, false, std::nullopt});
        db.AddRow(alpha, {Long(2), Text("NULL")});
        db.AddRow(alpha, {Long(3), Text("Ünïcödé 文字")});
        const auto empty = db.AddTable("Empty", {Column("N", type::kLong)});
        for (int i = 0; i < 3; ++i) db.AddRow(empty, {Long(i)}, RowOptions{true, false, false, std::nullopt});
        const auto odd = db.AddTable("Odd", {Column("N", type::kLong), Column("X", 13, 4)});
        db.AddRow(odd, {Long(5), Long(6)});
        const auto gamma = db.AddTable("Gamma", {Column("Flag", type::kBit)});
        db.AddRow(gamma, {Bit(true)});
        db.AddRow(gamma, {Bit(false)});
        WriteFile(dir_ / "Shop.mdb", db.Build());
        file_ = std::make_unique<AnalysedForExport>(dir_ / "Shop.mdb");
        std::filesystem::create_directories(out());
    }

    std::filesystem::path out() const { return dir_ / "out"; }
    std::filesystem::path statistics() const { return dir_ / "app" / "Export Statistics.log"; }
    std::string errorLog() const { return ReadText(dir_ / "app" / "Log Files" / "ErrorLog.log"); }

    ExportJob& Run(ExportContent content, std::vector<std::string> names, std::filesystem::path folder = {}) {
        access_ = std::make_unique<AccessExport>(file_->pages(), "Shop", content,
                                                 [this](const std::string& m) { messages_.push_back(m); });
        ExportSettings settings;
        settings.target = ExportTarget::Access;
        settings.content = content;
        settings.folder = folder.empty() ? out() : folder;
        for (const std::string& n : names) settings.tables.push_back(file_->Table(n));
        job_ = std::make_unique<ExportJob>(file_->pages(), settings, access_.get());
        ExportCallbacks callbacks;
        callbacks.onLine = [this](const std::string& line) { lines_.push_back(line); };
        job_->Run(callbacks, statistics(), file_->control());
        return *job_;
    }

    // The rows of a table of the new database, each as its cell texts.
    std::vector<std::vector<std::string>> WrittenRows(const std::string& table) {
        AnalysedFile written(access_->outputPath());
        EXPECT_TRUE(written.ok);
        std::vector<std::vector<std::string>> rows;
        const TableInfo* t = written.Find(table);
        if (t == nullptr) return {{"<missing>"}};
        RowWalker walker(written.analysis.pages(), *t, written.control());
        while (walker.Next()) {
            if (walker.row().kind != SlotKind::Live) continue;
            std::vector<std::string> cells;
            for (const CellValue& c : walker.row().cells) {
                if (c.value.kind == TypedValue::Kind::Boolean) cells.push_back(c.value.boolean ? "true" : "false");
                else cells.push_back(c.present ? c.text : "<null>");
            }
            rows.push_back(cells);
        }
        return rows;
    }

    TempDir dir_;
    ScopedAppDirectory app_;
    std::unique_ptr<AnalysedForExport> file_;
    std::unique_ptr<AccessExport> access_;
    std::unique_ptr<ExportJob> job_;
    std::vector<std::string> lines_;
    std::vector<std::string> messages_;
};

TEST(OutputDatabaseName, DateFromUtcTimeFromLocalWithoutLeadingZeros) {
    std::tm utc{}, local{};
    utc.tm_year = 126;
    utc.tm_mon = 11;
    utc.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    EXPECT_EQ(OutputDatabaseName("Shop", utc, local), "Recovered_Shop_On_12-7-2026__9hr_5m_3s.mdb");
}

TEST_F(AccessExportTest, TablesAreWrittenOneRecordPerLiveRowAndTracedInTheErrorLog) {
    ExportJob& job = Run(ExportContent::SchemaAndData, {"Alpha", "Empty", "Odd", "Gamma"});
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    EXPECT_EQ(lines_.back(), "Export completed Successfully...");
    ASSERT_TRUE(std::filesystem::exists(access_->outputPath()));
    EXPECT_EQ(access_->outputPath().parent_path(), out());
    EXPECT_EQ(access_->outputPath().filename().string().rfind("Recovered_Shop_On_", 0), 0u);

    // The deleted row leaves no record, and a text reading NULL stays a text.
    EXPECT_EQ(WrittenRows("Alpha"), (std::vector<std::vector<std::string>>{
                                        {"1", "first"}, {"2", "NULL"}, {"3", "Ünïcödé 文字"}}));
    EXPECT_TRUE(WrittenRows("Empty").empty());
    EXPECT_EQ(WrittenRows("Odd"), (std::vector<std::vector<std::string>>{{"<missing>"}}));
    EXPECT_EQ(WrittenRows("Gamma"), (std::vector<std::vector<std::string>>{{"true"}, {"false"}}));

    // The refused statement is shown and logged; the next table follows.
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind("Create table query failed.. \r\nCREATE TABLE [Odd] ", 0), 0u);
    const std::string log = errorLog();
    const std::vector<std::string> trace = {"MSG:Database was not opened", "MSG:output file name : ",
                                            "MSG:" + access_->outputPath().string(), "MSG:Database was not opened",
                                            "MSG:Create table query failed.. \r\nCREATE TABLE [Odd]",
                                            "MSG:Database was opened", "MSG:Database is closed",
                                            "MSG:close_Export_To_MSAccessDB :: AfxDaoTerm "};
    std::size_t at = 0;
    for (const std::string& line : trace) {
        const std::size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << "\n" << log;
        at = found + line.size();
    }
    EXPECT_EQ(ReadText(statistics()), "Database Path : " + out().string() +
                                          "\r\n\r\n"
                                          "            Table name             :          No of Records\r\n"
                                          "                              Alpha:                   3\r\n"
                                          "                              Empty:                   0\r\n"
                                          "                                Odd:                   0\r\n"
                                          "                              Gamma:                   2\r\n");
    ASSERT_EQ(job.results().size(), 4u);
    EXPECT_EQ(job.results()[1].outcome, TableExportOutcome::Completed);  // all rows deleted is a success
    EXPECT_EQ(job.results()[2].outcome, TableExportOutcome::Failed);
}

TEST_F(AccessExportTest, SchemaOnlyCreatesEveryTableEmpty) {
    ExportJob& job = Run(ExportContent::SchemaOnly, {"Alpha", "Gamma"});
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    EXPECT_TRUE(WrittenRows("Alpha").empty());
    EXPECT_TRUE(WrittenRows("Gamma").empty());
    AnalysedFile written(access_->outputPath());
    EXPECT_EQ(written.Table("Alpha").columns.size(), 2u);
    for (const StatisticsRow& row : job.statistics()) EXPECT_EQ(row.exportedRows, 0);
}

TEST_F(AccessExportTest, AnOutputThatCannotBeCreatedFailsEveryTable) {
    const std::filesystem::path missing = dir_ / "no" / "such" / "folder";
    ExportJob& job = Run(ExportContent::SchemaAndData, {"Alpha", "Gamma"}, missing);
    EXPECT_EQ(job.outcome(), ExportOutcome::Failed);
    EXPECT_EQ(lines_.back(), "Export completed with errors...");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Error creating database : " + access_->outputPath().string());
    EXPECT_NE(errorLog().find("MSG:" + access_->outputPath().string() + " database creation failed"),
              std::string::npos);
    for (const TableExportResult& r : job.results()) EXPECT_EQ(r.outcome, TableExportOutcome::Failed);
    for (const StatisticsRow& row : job.statistics()) EXPECT_EQ(row.exportedRows, 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(AccessExportTest, TablesOfOneNameAreAllKept) {
    ExportJob& job = Run(ExportContent::SchemaAndData, {"Alpha", "Gamma", "Alpha"});
    EXPECT_EQ(job.outcome(), ExportOutcome::Succeeded);
    EXPECT_EQ(WrittenRows("Alpha").size(), 3u);
    EXPECT_EQ(WrittenRows("Alpha (2)").size(), 3u);
    EXPECT_NE(errorLog().find("[Alpha] written as [Alpha (2)]"), std::string::npos);
}

TEST_F(AccessExportTest, StopBeforeTheRowsLeavesTheTableCreated) {
    file_->stop().Request();
    ExportJob& job = Run(ExportContent::SchemaAndData, {"Alpha"});
    EXPECT_EQ(job.outcome(), ExportOutcome::Aborted);
    EXPECT_TRUE(job.results().empty());  // the walk over the tables saw the stop first
}

}  // namespace
}  // namespace pw::testing
