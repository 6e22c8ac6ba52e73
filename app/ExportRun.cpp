#include "app/ExportRun.h"

#include <exception>
#include <memory>

#include "app/ValueDamage.h"
#include "export/AccessExport.h"
#include "export/DamageReportFiles.h"
#include "salvage/TableDamage.h"
#include "status/Logging.h"

namespace pw::app {

ExportRun::ExportRun(const PageSource& pages, ExportSettings settings, std::string databaseName,
                     std::filesystem::path statisticsFile, ValueDamage* recovery, QObject* parent)
    : QObject(parent),
      pages_(pages),
      settings_(std::move(settings)),
      databaseName_(std::move(databaseName)),
      statisticsFile_(std::move(statisticsFile)),
      recovery_(recovery) {}

ExportRun::~ExportRun() {
    stop_.Request();
    Wait();
}

void ExportRun::Start() {
    if (worker_.joinable()) return;  // one run, one export
    running_ = true;
    worker_ = std::thread(&ExportRun::Work, this);
}

void ExportRun::Wait() {
    if (worker_.joinable()) worker_.join();
}

std::string ExportRun::lossesText() const {
    if (!losses_) return {};
    std::string text;
    if (refusedValues_ > 0)
        text = "The new database refused " + std::to_string(refusedValues_) +
               " values; their records were written with those fields empty.\n";
    const std::string file =
        damageReportFile_.empty() ? std::string() : " and \"" + damageReportFile_.filename().string() + "\"";
    const bool lost = recovery_ != nullptr ? recovery_->report().LostAnything() : ownDamage_.LostAnything();
    if (lost) text += "The file is damaged and not everything in it could be exported.\n";
    text += "See the damage report of the main window" + file + (file.empty() ? "." : " in the export folder.");
    return text;
}

bool ExportRun::LostSoFar(const AccessExport* access) const {
    if (access != nullptr && access->rejects().Total() > 0) return true;
    return recovery_ != nullptr ? recovery_->report().LostAnything() : ownDamage_.LostAnything();
}

void ExportRun::TableStarted(const TableInfo& table) {
    if (recovery_ != nullptr) addingValues_ = recovery_->BeginTable(table.name);
}

void ExportRun::TableDone(const TableInfo& table, const TableExportResult& result) {
    if (settings_.content != ExportContent::SchemaAndData) return;
    // A table the target refused was never walked: its rows are not missing.
    const bool walked =
        result.outcome == TableExportOutcome::Completed || result.outcome == TableExportOutcome::NoDataPages;
    if (!walked) return;
    if (recovery_ == nullptr) {
        TallyTableWalk(pages_, ownDamage_, table, result.walk, settings_.format.includeDeleted);
    } else if (addingValues_) {
        // The survey counted the rows; only the decoding saw their values.
        recovery_->AddDamagedRows(table.name, result.walk.rowsDamagedValues);
    }
}

std::string ExportRun::Shown(const std::string& line, const ExportJob& job, const AccessExport* access) {
    // The job reports the table it is at; its result is the last one listed.
    const std::size_t at = job.results().size();
    if (line.rfind(kTableStartedPrefix, 0) == 0 && at < settings_.tables.size())
        TableStarted(settings_.tables[at]);
    else if (line.rfind(kTableCompletedPrefix, 0) == 0 && at > 0 && at <= settings_.tables.size())
        TableDone(settings_.tables[at - 1], job.results().back());
    else if (line == kExportSucceeded && LostSoFar(access))
        return kExportWithLosses;
    return line;
}

void ExportRun::WriteDamageReport(const AccessExport* access) {
    const DamageReport& damage = recovery_ != nullptr ? recovery_->report() : ownDamage_;
    if (settings_.target == ExportTarget::Csv) {
        damageReportFile_ = WriteDamageReportFiles(settings_.folder, "", damage, nullptr);
    } else if (access != nullptr && access->closedCleanly() && !access->outputPath().empty()) {
        // Beside the database, named after it: the folder may hold many exports.
        damageReportFile_ = WriteDamageReportFiles(settings_.folder, access->outputPath().stem().string() + " - ",
                                                   damage, &access->rejects());
    }
}

void ExportRun::Work() {
    try {
        std::unique_ptr<AccessExport> access;
        if (settings_.target == ExportTarget::Access)
            access = std::make_unique<AccessExport>(
                pages_, databaseName_, settings_.content,
                [this](const std::string& text) { Q_EMIT message(QString::fromStdString(text)); });
        ExportJob job(pages_, settings_, access.get());
        ExportCallbacks callbacks;
        callbacks.onLine = [this, &job, &access](const std::string& text) {
            const std::string shown = Shown(text, job, access.get());
            if (onWorkerLine) onWorkerLine(shown);
            Q_EMIT line(QString::fromStdString(shown));
        };
        callbacks.onProgress = [this, shown = -1](int value) mutable {
            // Only changes are posted: a long list of tables must not flood
            // the GUI thread's queue.
            if (value == shown) return;
            shown = value;
            Q_EMIT percent(value);
        };
        DamageReporter* damage = recovery_ != nullptr ? static_cast<DamageReporter*>(recovery_) : &ownDamage_;
        job.Run(callbacks, statisticsFile_, RunControl{&stop_, nullptr, damage});
        outcome_ = job.outcome();
        closingLine_ = job.closingLine();
        statistics_ = job.statistics();
        refusedValues_ = access ? access->rejects().Total() : 0;
        WriteDamageReport(access.get());
        if (outcome_ == ExportOutcome::Succeeded && LostSoFar(access.get())) {
            losses_ = true;
            closingLine_ = kExportWithLosses;
        }
    } catch (const std::exception& e) {
        // An escaped exception would end the process; the person is told the
        // export failed and the error log keeps why.
        WriteLog(LogFile::Error, std::string("Export ended by an error: ") + e.what());
        outcome_ = ExportOutcome::Failed;
        closingLine_ = kExportFailed;
        Q_EMIT line(QString(kExportFailed));
    }
    running_ = false;
    Q_EMIT finished();
}

}  // namespace pw::app
