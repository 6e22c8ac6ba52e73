#include "export/AccessExport.h"

#include <algorithm>
#include <chrono>

#include "engine/EngineError.h"
#include "engine/FoldedName.h"
#include "export/AccessTableDesign.h"
#include "export/RecordsetExport.h"
#include "export/SqlBuilder.h"
#include "status/Logging.h"

namespace pw {
namespace {

void Trace(const std::string& text) { WriteLog(LogFile::Error, text); }

}  // namespace

std::string OutputDatabaseName(const std::string& databaseName, const std::tm& utc, const std::tm& local) {
    const std::string stamp = "On_" + std::to_string(utc.tm_mon + 1) + "-" + std::to_string(utc.tm_mday) + "-" +
                              std::to_string(utc.tm_year + 1900) + "__" + std::to_string(local.tm_hour) + "hr_" +
                              std::to_string(local.tm_min) + "m_" + std::to_string(local.tm_sec) + "s";
    return "Recovered_" + databaseName + "_" + stamp + ".mdb";
}

AccessExport::AccessExport(const PageSource& pages, std::string databaseName, ExportContent content,
                           std::function<void(const std::string&)> showMessage)
    : pages_(pages), databaseName_(std::move(databaseName)), content_(content), showMessage_(std::move(showMessage)) {}

AccessExport::~AccessExport() { database_.Abandon(); }

void AccessExport::Message(const std::string& text) {
    if (showMessage_) showMessage_(text);
}

bool AccessExport::CreateOutputDatabase(const std::filesystem::path& folder) {
    CloseDatabase();
    const std::time_t now = std::time(nullptr);
    std::tm utc{}, local{};
    gmtime_r(&now, &utc);
    localtime_r(&now, &local);
    takenNames_.clear();
    outputPath_ = folder / OutputDatabaseName(databaseName_, utc, local);
    Trace("output file name : ");
    Trace(outputPath_.string());
    CloseDatabase();
    try {
        database_.Create(outputPath_, DatabaseOptions{kOutputLocale});
    } catch (const std::exception&) {
        Message("Error creating database : " + outputPath_.string());
        Trace(outputPath_.string() + " database creation failed");
        return false;
    }
    return true;
}

std::string AccessExport::UniqueTableName(const std::string& name) {
    std::string candidate = name;
    const auto taken = [&](const std::string& n) {
        return std::find(takenNames_.begin(), takenNames_.end(), FoldedName(n)) != takenNames_.end();
    };
    for (std::size_t n = 2; taken(candidate); ++n) candidate = name + " (" + std::to_string(n) + ")";
    takenNames_.push_back(FoldedName(candidate));
    return candidate;
}

TableExportResult AccessExport::ExportTable(const TableInfo& original, const RunControl& run) {
    TableExportResult result;
    if (!database_.IsOpen()) return result;

    // A damaged file may hold several tables of one name; the database takes
    // each name once, so a later one is written under a numbered name rather
    // than lost.
    TableInfo table = original;
    table.name = UniqueTableName(original.name);
    if (table.name != original.name) Trace("[" + original.name + "] written as [" + table.name + "]: the name is taken");

    // The statement is what the log and the message show of the table; the
    // table itself is made from its typed design.
    const std::optional<AccessTableDesign> design = DesignForAccess(table);
    TableWriter* writer = nullptr;
    std::string refusal;
    if (design) {
        try {
            writer = &database_.CreateTable(design->design);
        } catch (const EngineError& error) {
            refusal = error.what();
        }
    } else {
        refusal = "a column has a type no Access type holds";
    }
    if (writer == nullptr) {
        const std::string createSql = BuildTableSql(table).createSql;
        const std::string text = "Create table query failed.. \r\n" + createSql;
        Message(text);
        Trace(text);
        Trace("[" + table.name + "] " + refusal);
        return result;
    }
    for (const std::string& note : design->design.notes) Trace("[" + table.name + "] " + note);
    if (content_ == ExportContent::SchemaOnly) {
        result.outcome = TableExportOutcome::Completed;
        return result;
    }
    if (run.StopRequested()) {
        result.outcome = TableExportOutcome::Stopped;
        return result;
    }
    // A copy of recovered rows: a missing auto-number stays missing.
    writer->SetAssignAutoNumbers(false);
    TableWriterSink sink(*writer);
    const OutputColumns output{&writer->design().columns, &design->sourceColumns};
    const RecordsetResult rows = ExportRowsToRecordset(pages_, table, output, run, sink, rejects_);
    result.exportedRows = rows.storedRows;
    result.rejectedValues = rows.rejectedValues;
    result.walk = rows.walk;
    result.outcome = rows.outcome == WalkOutcome::Stopped ? TableExportOutcome::Stopped
                                                           : TableExportOutcome::Completed;
    return result;
}

bool AccessExport::CloseDatabase() {
    if (!database_.IsOpen()) {
        Trace("Database was not opened");
        return true;
    }
    Trace("Database was opened");
    try {
        database_.Finish();
    } catch (const std::exception&) {
        Trace("Database closing failed");
        closedCleanly_ = false;
        return false;
    }
    Trace("Database is closed");
    Trace("close_Export_To_MSAccessDB :: AfxDaoTerm ");
    closedCleanly_ = true;
    return true;
}

void AccessExport::Close() { CloseDatabase(); }

}  // namespace pw
