#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/OleFiles.h"
#include "export/StatisticsLog.h"
#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// Where an export goes.
enum class ExportTarget { Access = 1, Csv = 2 };

// Lines of the export progress list.
inline constexpr const char* kExportStartedLine = "Export Database started...";
inline constexpr const char* kTableStartedPrefix = "Export started  : ";
inline constexpr const char* kTableCompletedPrefix = "Export completed : ";
inline constexpr const char* kExportSucceeded = "Export completed Successfully...";
inline constexpr const char* kExportAborted = "Export Aborted by user...";
inline constexpr const char* kExportFailed = "Export completed with errors...";

// The output database of an Access export, made by another part of the
// system.
class AccessTarget {
public:
    virtual ~AccessTarget() = default;
    virtual bool CreateOutputDatabase(const std::filesystem::path& folder) = 0;
    virtual TableExportResult ExportTable(const TableInfo& table, const RunControl& run) = 0;
    virtual void Close() = 0;
};

struct ExportSettings {
    ExportTarget target = ExportTarget::Csv;
    ExportContent content = ExportContent::SchemaAndData;
    // For CSV the folder the files go into (MakeCsvFolder); printed in the
    // statistics either way.
    std::filesystem::path folder;
    // How a CSV export writes its data files.
    CsvFormat format;
    // In export order; a table without a name is passed over.
    std::vector<TableInfo> tables;
};

struct ExportCallbacks {
    // Every progress line, in order (the desktop list shows the newest first).
    std::function<void(const std::string&)> onLine;
    // Percentage of tables done, after each table and 100 at the end.
    std::function<void(int)> onProgress;
    // After every counted row of a CSV data export.
    CsvExporter::RowHook onRow;
};

enum class ExportOutcome { Succeeded, Aborted, Failed };

// One export from start to end: walks the chosen tables, exports each one,
// reports progress, honours the stop request between tables and inside the
// row walks, and writes the execution log lines and the statistics file.
class ExportJob {
public:
    // `access` may be null: an Access export then writes nothing and ends
    // with errors.
    ExportJob(const PageSource& pages, ExportSettings settings, AccessTarget* access = nullptr);

    // Runs the job on the calling thread. The statistics go to
    // `statisticsFile` (normally StatisticsFilePath()).
    void Run(const ExportCallbacks& callbacks, const std::filesystem::path& statisticsFile,
             const RunControl& run = {});

    TableExportResult ExportTable(const TableInfo& table, ExportTarget target, const RunControl& run = {});

    ExportOutcome outcome() const { return outcome_; }
    const std::string& closingLine() const { return closingLine_; }
    // The tables the walk reached, with their counts, as in the statistics.
    const std::vector<StatisticsRow>& statistics() const { return statistics_; }
    // One result per table the walk reached, in settings order.
    const std::vector<TableExportResult>& results() const { return results_; }
    bool statisticsWritten() const { return statisticsWritten_; }
    const ExportSettings& settings() const { return settings_; }
    CsvExporter& csv() { return csv_; }

private:
    void Emit(const ExportCallbacks& callbacks, const std::string& line, bool toLog);

    ExportSettings settings_;
    AccessTarget* access_;
    CsvExporter csv_;
    ExportOutcome outcome_ = ExportOutcome::Failed;
    std::string closingLine_;
    std::vector<StatisticsRow> statistics_;
    std::vector<TableExportResult> results_;
    bool statisticsWritten_ = false;
};

}  // namespace pw
