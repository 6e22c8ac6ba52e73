#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "status/ManualResetEvent.h"

namespace pw {

struct TableInfo;

// What the recovery worker tells the screen, and the one thing the screen asks
// of it (stop). The worker writes fields and then performs a hand-shake that
// blocks until the consumer has acknowledged; once stop is raised no
// hand-shake waits any more.
class RecoveryStatus {
public:
    RecoveryStatus();
    RecoveryStatus(const RecoveryStatus&) = delete;
    RecoveryStatus& operator=(const RecoveryStatus&) = delete;

    static RecoveryStatus& Instance();

    // Worker to table consumer: a table, or the end of discovery, was published.
    ManualResetEvent RecoveryTblEvent;
    // Table consumer to worker: the published table has been shown.
    ManualResetEvent UpdateProgTblEvent;
    // Status consumer to worker: the posted status has been shown.
    ManualResetEvent ReadPageEvent;
    // Worker to status consumer: a new status has been posted.
    ManualResetEvent UpdateProgStatusEvent;

    std::atomic<std::uint8_t> stop{0};
    std::atomic<std::uint8_t> done{0};
    std::atomic<std::int32_t> unnamedTables{0};
    std::atomic<std::int32_t> totalTables{0};
    std::atomic<std::int32_t> tablesRead{0};
    std::atomic<std::int32_t> pagesTotal{0};
    std::atomic<std::int32_t> pagesRead{0};
    std::atomic<const TableInfo*> currentTable{nullptr};

    void SetRecoveryTbl() { RecoveryTblEvent.Set(); }
    void ResetRecoveryTbl() { RecoveryTblEvent.Reset(); }
    void WaitRecoveryTbl() { RecoveryTblEvent.Wait(); }
    void SetUpdateProgTbl() { UpdateProgTblEvent.Set(); }
    void ResetUpdateProgTbl() { UpdateProgTblEvent.Reset(); }
    void WaitUpdateProgTbl() { UpdateProgTblEvent.Wait(); }
    void SetReadPage() { ReadPageEvent.Set(); }
    void ResetReadPage() { ReadPageEvent.Reset(); }
    void WaitReadPage() { ReadPageEvent.Wait(); }
    void SetUpdateProgStatus() { UpdateProgStatusEvent.Set(); }
    void ResetUpdateProgStatus() { UpdateProgStatusEvent.Reset(); }
    void WaitUpdateProgStatus() { UpdateProgStatusEvent.Wait(); }

    // Clears flags, counters, currentTable, statusLine and recordTexts and
    // resets all four events. databaseName is never touched; storageFormat only
    // when asked (the Close of a finished job empties it, a job start keeps it).
    void Reset(bool clearStorageFormat = false);

    // Progress hand-shake: announce, wait for the acknowledgement, re-arm.
    void PostStatus();
    // Table hand-shake: publish, wait until it was shown, re-arm.
    void PostTable();

    bool StopRequested() const { return stop.load() != 0; }
    void RequestStop() { stop.store(1); }

    std::string statusLine() const;
    void setStatusLine(std::string text);
    std::string databaseName() const;
    void setDatabaseName(std::string text);
    std::string storageFormat() const;
    void setStorageFormat(std::string text);
    std::vector<std::string> recordTexts() const;
    void setRecordTexts(std::vector<std::string> texts);

private:
    mutable std::mutex textMutex_;
    std::string statusLine_;
    std::string databaseName_;
    std::string storageFormat_;
    std::vector<std::string> recordTexts_;
};

}  // namespace pw
