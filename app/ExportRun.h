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
#include "status/RunControl.h"

namespace pw::app {

// One export on a worker thread. The worker never touches a widget and never
// waits for the GUI: its lines, its percentage and the messages of the Access
// target reach the GUI thread through queued signals, and a stop request ends
// it at the next table or row. Destroying the run stops and joins the worker.
class ExportRun : public QObject {
    Q_OBJECT
public:
    // `pages` must outlive the run. `databaseName`: the damaged file's name
    // without folder and extension, for the name of a new Access database.
    ExportRun(const PageSource& pages, ExportSettings settings, std::string databaseName,
              std::filesystem::path statisticsFile, QObject* parent = nullptr);
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
};

}  // namespace pw::app
