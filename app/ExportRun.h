#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "export/ExportJob.h"
#include "export/StatisticsLog.h"
#include "pagestore/PageSource.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw {
class AccessExport;
}

namespace pw::app {

class ValueDamage;

// The closing line of an export that was done while the file lost something
// (the damage report says what) or the new database refused values: where
// the command line ends with 3.
inline constexpr const char* kExportWithLosses = "Export completed with losses";

// One export on a worker thread. The worker never touches a widget and never
// waits for the GUI: its lines, its percentage and the messages of the Access
// target reach the GUI thread through queued signals, and a stop request ends
// it at the next table or row. Destroying the run stops and joins the worker.
//
// What the row walks meet goes to the recovery's damage report when one is
// given, else to the run's own report, as the command line tallies it; an
// export of a damaged file, or one whose values the new database refused,
// closes with kExportWithLosses instead of kExportSucceeded. The export's
// folder then keeps the damage report beside what was written, as the
// command line leaves it.
class ExportRun : public QObject {
    Q_OBJECT
public:
    // `pages` must outlive the run. `databaseName`: the damaged file's name
    // without folder and extension, for the name of a new Access database.
    // `recovery`, when given, is the recovery's report of the same pages and
    // must outlive the run.
    ExportRun(const PageSource& pages, ExportSettings settings, std::string databaseName,
              std::filesystem::path statisticsFile, ValueDamage* recovery = nullptr, QObject* parent = nullptr);
    ~ExportRun() override;

    void Start();
    void RequestStop() { stop_.Request(); }
    bool stopRequested() const { return stop_.Requested(); }
    // The worker is still at work; false once it has posted finished().
    bool running() const { return running_.load(); }
    // Blocks until the worker has ended (it ends soon after a stop request).
    void Wait();

    // Valid once finished() was received and Wait() returned.
    ExportOutcome outcome() const { return outcome_; }
    const std::string& closingLine() const { return closingLine_; }
    const std::vector<StatisticsRow>& statistics() const { return statistics_; }
    // The closing line is kExportWithLosses.
    bool losses() const { return losses_; }
    std::int64_t refusedValues() const { return refusedValues_; }
    // The "Damage Report.txt" written for the export; empty when none was.
    const std::filesystem::path& damageReportFile() const { return damageReportFile_; }
    // For a person: why the export closed with losses and where to read
    // more; empty otherwise.
    std::string lossesText() const;

    // Called on the worker thread with every progress line, before it is
    // posted: tests use it to act at an exact point of the export.
    std::function<void(const std::string&)> onWorkerLine;

Q_SIGNALS:
    void line(const QString& text);
    // 0-100, tables done of those chosen.
    void percent(int value);
    // A message of the Access target (a database or table that could not be
    // made); the export goes on without waiting for it to be seen.
    void message(const QString& text);
    void finished();

private:
    void Work();
    // The line the job gave, or the one that replaces it.
    std::string Shown(const std::string& line, const ExportJob& job, const AccessExport* access);
    void TableStarted(const TableInfo& table);
    void TableDone(const TableInfo& table, const TableExportResult& result);
    bool LostSoFar(const AccessExport* access) const;
    void WriteDamageReport(const AccessExport* access);

    const PageSource& pages_;
    ExportSettings settings_;
    std::string databaseName_;
    std::filesystem::path statisticsFile_;
    StopFlag stop_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    ExportOutcome outcome_ = ExportOutcome::Failed;
    std::string closingLine_ = kExportFailed;
    std::vector<StatisticsRow> statistics_;

    ValueDamage* recovery_;
    DamageReport ownDamage_;  // without a recovery's report
    bool addingValues_ = false;
    bool losses_ = false;
    std::int64_t refusedValues_ = 0;
    std::filesystem::path damageReportFile_;
};

}  // namespace pw::app
