#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "status/RecoveryStatus.h"

namespace pw {

struct StatusSnapshot {
    std::string statusLine;  // the newest line
    std::int64_t pagesRead = 0;
    std::int64_t pagesTotal = 0;
    std::int32_t tablesRead = 0;
    std::int32_t totalTables = 0;
    std::int64_t rowsRead = 0;
    std::int64_t rowsTotal = 0;
};

// Watches a RecoveryStatus on a thread of its own and hands on every line, in
// order, and the latest counters, at most every `interval`. The worker never
// waits for it; a slow screen only makes the counters it sees older.
class StatusConsumer {
public:
    using LineCallback = std::function<void(const std::string&)>;
    using ProgressCallback = std::function<void(const StatusSnapshot&)>;

    StatusConsumer(RecoveryStatus& status, LineCallback onLine, ProgressCallback onProgress,
                   std::chrono::milliseconds interval = std::chrono::milliseconds(100));
    ~StatusConsumer();
    StatusConsumer(const StatusConsumer&) = delete;
    StatusConsumer& operator=(const StatusConsumer&) = delete;

    // Hands on what is still pending and ends the thread; safe to call more
    // than once. Posting after it is harmless: the lines stay on the board.
    void Shutdown();

private:
    void Loop();
    void Deliver();

    RecoveryStatus& status_;
    LineCallback onLine_;
    ProgressCallback onProgress_;
    std::chrono::milliseconds interval_;
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

StatusSnapshot TakeSnapshot(const RecoveryStatus& status);

}  // namespace pw
