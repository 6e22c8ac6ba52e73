#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "status/ManualResetEvent.h"
#include "status/RunControl.h"

namespace pw {

// The board between a recovery worker and whoever shows its progress: the
// worker writes lines and counters and goes on at once; the consumer wakes on
// a change, takes the lines in the order they were written and reads the
// latest counters. The consumer can ask the worker to stop. One board per job;
// a job that runs with nobody watching simply leaves its lines unread.
class RecoveryStatus : public ProgressSink {
public:
    RecoveryStatus() = default;
    RecoveryStatus(const RecoveryStatus&) = delete;
    RecoveryStatus& operator=(const RecoveryStatus&) = delete;

    std::atomic<std::int32_t> totalTables{0};
    std::atomic<std::int32_t> tablesRead{0};
    std::atomic<std::int64_t> pagesTotal{0};
    std::atomic<std::int64_t> pagesRead{0};
    std::atomic<std::int64_t> rowsTotal{0};
    std::atomic<std::int64_t> rowsRead{0};

    // ProgressSink: both return at once.
    void OnStatusLine(const std::string& line) override;
    void OnProgress(ProgressStage stage, std::int64_t done, std::int64_t total) override;

    // Clears counters, lines and the stop request. databaseName and
    // storageFormat are kept: they name the file, not the job.
    void Reset();

    bool StopRequested() const { return stop_.Requested(); }
    void RequestStop();
    const StopFlag& stopFlag() const { return stop_; }

    // The run control of a job reporting here, with damage going to `damage`.
    RunControl Control(DamageReporter* damage = nullptr);

    // Consumer side. Waits until something changed or the time is up; true
    // when something changed. The change mark is cleared by the wait.
    bool WaitForChange(std::chrono::milliseconds timeout);
    // Wakes a consumer waiting in WaitForChange (used to end it).
    void Wake() { changed_.Set(); }
    // The lines written since the last call, oldest first.
    std::vector<std::string> TakeStatusLines();
    // The newest line.
    std::string statusLine() const;

    std::string databaseName() const;
    void setDatabaseName(std::string text);
    std::string storageFormat() const;
    void setStorageFormat(std::string text);

private:
    StopFlag stop_;
    ManualResetEvent changed_;
    mutable std::mutex textMutex_;
    std::vector<std::string> pendingLines_;
    std::string statusLine_;
    std::string databaseName_;
    std::string storageFormat_;
};

}  // namespace pw
