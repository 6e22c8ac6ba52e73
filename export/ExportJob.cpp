#include "export/ExportJob.h"

#include "status/Logging.h"

namespace pw {
namespace {

bool IsExportable(const TableInfo* table) { return table != nullptr && !table->name.empty(); }

}  // namespace

ExportJob::ExportJob(RecordReader& reader, ExportSettings settings, AccessTarget* access)
    : reader_(reader),
      settings_(std::move(settings)),
      access_(access),
      csv_(reader, CsvExportSettings{settings_.folder, settings_.content}) {}

void ExportJob::Emit(const ExportCallbacks& callbacks, const std::string& line, bool toLog) {
    if (callbacks.onLine) callbacks.onLine(line);
    if (toLog) WriteLog(0, 0, line, false);
}

int ExportJob::ExportTable(TableInfo& table, int form) {
    if (form == kTargetCsv) return csv_.ExportTableToCsv(table);
    if (form != kTargetAccess) return -1;
    if (access_ == nullptr) {
        table.exportedRows = 0;
        return -1;
    }
    return access_->ExportTable(table);
}

int ExportJob::Run(const ExportCallbacks& callbacks, const std::filesystem::path& statisticsFile) {
    RecoveryStatus& status = reader_.status();
    status.done.store(0);
    csv_.SetRowHook(callbacks.onRow);
    const std::size_t n = settings_.tables.size();
    std::size_t i = 0;

    const bool walks = settings_.target == kTargetAccess || settings_.target == kTargetCsv;
    if (walks) {
        if (settings_.target == kTargetAccess && access_ != nullptr)
            access_->CreateOutputDatabase(settings_.folder);
        Emit(callbacks, kExportStartedLine, true);
        for (; i < n && !status.StopRequested(); ++i) {
            TableInfo* table = settings_.tables[i];
            if (!IsExportable(table)) continue;
            Emit(callbacks, kTableStartedPrefix + table->name, true);
            const int result = ExportTable(*table, settings_.target);
            if (settings_.target == kTargetAccess && result == 1 && !status.StopRequested())
                status.done.store(1);
            Emit(callbacks, kTableCompletedPrefix + table->name, true);
            const int percent = static_cast<int>(static_cast<double>(i + 1) * 100.0 / static_cast<double>(n));
            if (callbacks.onProgress) callbacks.onProgress(percent);
            if (settings_.target == kTargetCsv) status.done.store(1);
        }
        if (settings_.target == kTargetAccess && access_ != nullptr) access_->Close();
    }
    if (callbacks.onProgress) callbacks.onProgress(100);

    if ((!status.StopRequested() && status.done.load() == 1) || n == 0) {
        outcome_ = ExportOutcome::Succeeded;
        closingLine_ = kExportSucceeded;
    } else if (status.StopRequested()) {
        outcome_ = ExportOutcome::Aborted;
        closingLine_ = kExportAborted;
    } else {
        outcome_ = ExportOutcome::Failed;
        closingLine_ = kExportFailed;
    }
    Emit(callbacks, closingLine_, false);

    // Only the entries the walk reached are listed.
    const std::size_t listed = i < n ? i : n;
    statistics_.clear();
    for (std::size_t k = 0; k < listed; ++k) {
        const TableInfo* table = settings_.tables[k];
        if (!IsExportable(table) || table->exportedRows < 0) continue;
        statistics_.push_back({table->name, table->exportedRows});
    }
    statisticsWritten_ =
        WriteStatisticsFile(statisticsFile, FormatStatistics(settings_.folder.string(), statistics_));
    return 1;
}

}  // namespace pw
