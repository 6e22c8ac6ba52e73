#include "export/ExportJob.h"

#include "status/DisplayText.h"
#include "status/Logging.h"

namespace pw {
ExportJob::ExportJob(const PageSource& pages, ExportSettings settings, AccessTarget* access)
    : settings_(std::move(settings)),
      access_(access),
      csv_(pages, CsvExportSettings{settings_.folder, settings_.content, settings_.format}) {}

void ExportJob::Emit(const ExportCallbacks& callbacks, const std::string& line, bool toLog) {
    if (callbacks.onLine) callbacks.onLine(line);
    if (toLog) WriteLog(LogFile::Execution, line);
}

TableExportResult ExportJob::ExportTable(const TableInfo& table, ExportTarget target, const RunControl& run) {
    if (target == ExportTarget::Csv) return csv_.ExportTableToCsv(table, run);
    if (target != ExportTarget::Access || access_ == nullptr) return {};
    return access_->ExportTable(table, run);
}

void ExportJob::Run(const ExportCallbacks& callbacks, const std::filesystem::path& statisticsFile,
                    const RunControl& run) {
    csv_.SetRowHook(callbacks.onRow);
    const std::size_t n = settings_.tables.size();
    std::size_t i = 0;
    results_.clear();
    // Set by every table handled (CSV) or written (Access).
    bool done = false;

    if (settings_.target == ExportTarget::Access && access_ != nullptr) access_->CreateOutputDatabase(settings_.folder);
    Emit(callbacks, kExportStartedLine, true);
    for (; i < n && !run.StopRequested(); ++i) {
        const TableInfo& table = settings_.tables[i];
        if (table.name.empty()) {
            results_.push_back({});
            continue;
        }
        // Names come from the file: shown and logged with control characters escaped.
        const std::string shown = ForTerminal(table.name);
        Emit(callbacks, kTableStartedPrefix + shown, true);
        const TableExportResult result = ExportTable(table, settings_.target, run);
        results_.push_back(result);
        if (settings_.target == ExportTarget::Access && result.outcome == TableExportOutcome::Completed &&
            !run.StopRequested())
            done = true;
        Emit(callbacks, kTableCompletedPrefix + shown, true);
        run.Progress(ProgressStage::Tables, static_cast<std::int64_t>(i) + 1, static_cast<std::int64_t>(n));
        const int percent = static_cast<int>(static_cast<double>(i + 1) * 100.0 / static_cast<double>(n));
        if (callbacks.onProgress) callbacks.onProgress(percent);
        if (settings_.target == ExportTarget::Csv) done = true;
    }
    if (settings_.target == ExportTarget::Access && access_ != nullptr) access_->Close();
    if (callbacks.onProgress) callbacks.onProgress(100);

    if ((!run.StopRequested() && done) || n == 0) {
        outcome_ = ExportOutcome::Succeeded;
        closingLine_ = kExportSucceeded;
    } else if (run.StopRequested()) {
        outcome_ = ExportOutcome::Aborted;
        closingLine_ = kExportAborted;
    } else {
        outcome_ = ExportOutcome::Failed;
        closingLine_ = kExportFailed;
    }
    Emit(callbacks, closingLine_, false);

    // Only the entries the walk reached are listed.
    statistics_.clear();
    for (std::size_t k = 0; k < results_.size(); ++k) {
        const TableInfo& table = settings_.tables[k];
        if (table.name.empty()) continue;
        statistics_.push_back({ForTerminal(table.name), static_cast<std::int32_t>(results_[k].exportedRows),
                               results_[k].rejectedValues});
    }
    statisticsWritten_ =
        WriteStatisticsFile(statisticsFile, FormatStatistics(settings_.folder.string(), statistics_));
}

}  // namespace pw
