#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "status/RecoveryStatus.h"

namespace pw {

struct StatusSnapshot {
    std::string statusLine;
    std::int32_t pagesRead = 0;
    std::int32_t pagesTotal = 0;
    std::int32_t tablesRead = 0;
    std::int32_t totalTables = 0;
    std::int32_t unnamedTables = 0;
};

// Answers both hand-shakes of a RecoveryStatus as soon as they come, after
// handing what was posted to the callbacks, so that the analysis never waits
// on a slow screen. The callbacks run on the consumer's own threads.
class StatusConsumer {
public:
    using StatusCallback = std::function<void(const StatusSnapshot&)>;
    using TableCallback = std::function<void(const TableInfo&)>;

    StatusConsumer(RecoveryStatus& status, StatusCallback onStatus, TableCallback onTable);
    ~StatusConsumer();
    StatusConsumer(const StatusConsumer&) = delete;
    StatusConsumer& operator=(const StatusConsumer&) = delete;

    // Ends both threads; safe to call more than once.
    void Shutdown();

private:
    void StatusLoop();
    void TableLoop();

    RecoveryStatus& status_;
    StatusCallback onStatus_;
    TableCallback onTable_;
    std::atomic<bool> quit_{false};
    std::thread statusThread_;
    std::thread tableThread_;
};

}  // namespace pw
