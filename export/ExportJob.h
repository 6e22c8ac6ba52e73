#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "export/StatisticsLog.h"
#include "records/RecordReader.h"
#include "schema/TableInfo.h"
#include "status/RecoveryStatus.h"

namespace pw {

// Where an export goes.
inline constexpr int kTargetAccess = 1;
inline constexpr int kTargetCsv = 2;

// Lines of the export progress list.
inline constexpr const char* kExportStartedLine = "Export Database started...";
inline constexpr const char* kTableStartedPrefix = "Export started  : ";
inline constexpr const char* kTableCompletedPrefix = "Export completed : ";
inline constexpr const char* kExportSucceeded = "Export completed Successfully...";
inline constexpr const char* kExportAborted = "Export Aborted by user...";
inline constexpr const char* kExportFailed = "Export completed with errors...";

// The output database of an Access export, made by another part of the
// system. ExportTable returns 1 when the table was written, -1 otherwise, and
// counts stored records in the table's exportedRows.
class AccessTarget {
public:
    virtual ~AccessTarget() = default;
    virtual int CreateOutputDatabase(const std::filesystem::path& folder) = 0;
    virtual int ExportTable(TableInfo& table) = 0;
    virtual int Close() = 0;
};

struct ExportSettings {
    int target = kTargetCsv;
    int content = kContentSchemaAndData;
    // For CSV the folder the files go into (MakeCsvFolder); printed in the
    // statistics either way.
    std::filesystem::path folder;
    // In export order; a null entry or a table without a name is passed over.
    std::vector<TableInfo*> tables;
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
// reports progress, honours the status's stop flag between tables and inside
// the row walks, and writes the execution log lines and the statistics file.
// The status's done flag is cleared at the start and set by every table
// handled (CSV) or written (Access); stop is left to the caller.
class ExportJob {
public:
    // `access` may be null: an Access export then writes nothing and ends
    // with errors.
    ExportJob(RecordReader& reader, ExportSettings settings, AccessTarget* access = nullptr);

    // Runs the job on the calling thread. The statistics go to
    // `statisticsFile` (normally StatisticsFilePath()). Returns 1.
    int Run(const ExportCallbacks& callbacks, const std::filesystem::path& statisticsFile);

    // Form 1 exports into the Access target, form 2 as CSV; -1 otherwise.
    int ExportTable(TableInfo& table, int form);
    int ExportTableToCsv(TableInfo& table) { return ExportTable(table, kTargetCsv); }

    ExportOutcome outcome() const { return outcome_; }
    const std::string& closingLine() const { return closingLine_; }
    // The tables the walk reached, with their counts, as in the statistics.
    const std::vector<StatisticsRow>& statistics() const { return statistics_; }
    bool statisticsWritten() const { return statisticsWritten_; }
    CsvExporter& csv() { return csv_; }

private:
    void Emit(const ExportCallbacks& callbacks, const std::string& line, bool toLog);

    RecordReader& reader_;
    ExportSettings settings_;
    AccessTarget* access_;
    CsvExporter csv_;
    ExportOutcome outcome_ = ExportOutcome::Failed;
    std::string closingLine_;
    std::vector<StatisticsRow> statistics_;
    bool statisticsWritten_ = false;
};

}  // namespace pw
