#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/ValueDamage.h"
#include "records/ComplexColumns.h"
#include "salvage/Analysis.h"
#include "status/DamageReport.h"
#include "status/RunControl.h"

namespace pw::app {

// One recovery of one file on a worker thread: the analysis, then a survey of
// every table's rows for the damage report, and the links of the complex
// columns to their hidden tables. The worker never touches a
// widget: what it finds reaches the GUI thread through queued signals, and a
// stop request ends it at the next page or table. Destroying the job stops
// and joins the worker.
class RecoveryJob : public QObject {
    Q_OBJECT
public:
    explicit RecoveryJob(QObject* parent = nullptr);
    ~RecoveryJob() override;

    void Start(const QString& path);
    void RequestStop() { stop_.Request(); }
    bool running() const { return running_.load(); }
    bool stopRequested() const { return stop_.Requested(); }
    // Blocks until the worker has ended (it ends soon after a stop request).
    void Wait();

    // Valid once finished() was emitted.
    const Analysis& analysis() const { return analysis_; }
    const DamageReport& damage() const { return damage_; }
    // Exports of the recovered tables add to the report through this what
    // only their decoding meets.
    ValueDamage& valueDamage() { return valueDamage_; }
    // Null when the file links no complex column. Safe to share between threads.
    const ComplexColumnIndex* complexColumns() const { return complex_.get(); }
    AnalysisOutcome outcome() const { return analysis_.outcome(); }

    // Called on the worker thread with every status line, before it is
    // posted: tests use it to act at an exact point of the job.
    std::function<void(const std::string&)> onWorkerStatus;

Q_SIGNALS:
    void statusLine(const QString& line);
    // How far a stage of the work is: every table read, and pages as often
    // as a thousandth of them changes.
    void progress(pw::ProgressStage stage, qint64 done, qint64 total);
    // A table whose schema was read, in discovery order.
    void tablePublished(std::shared_ptr<const pw::TableInfo> table);
    void finished();

private:
    class Sink;
    void Work(std::string path);

    Analysis analysis_;
    DamageReport damage_;
    ValueDamage valueDamage_{damage_};
    StopFlag stop_;
    // The index outlives a stopped recovery's stop request: previews read
    // through it later.
    StopFlag complexStop_;
    std::unique_ptr<ComplexColumnIndex> complex_;
    std::thread worker_;
    std::atomic<bool> running_{false};
};

}  // namespace pw::app
