#include "status/StatusConsumer.h"

namespace pw {

StatusSnapshot TakeSnapshot(const RecoveryStatus& status) {
    StatusSnapshot s;
    s.statusLine = status.statusLine();
    s.pagesRead = status.pagesRead;
    s.pagesTotal = status.pagesTotal;
    s.tablesRead = status.tablesRead;
    s.totalTables = status.totalTables;
    s.rowsRead = status.rowsRead;
    s.rowsTotal = status.rowsTotal;
    return s;
}

StatusConsumer::StatusConsumer(RecoveryStatus& status, LineCallback onLine, ProgressCallback onProgress,
                               std::chrono::milliseconds interval)
    : status_(status), onLine_(std::move(onLine)), onProgress_(std::move(onProgress)), interval_(interval) {
    thread_ = std::thread([this] { Loop(); });
}

StatusConsumer::~StatusConsumer() { Shutdown(); }

void StatusConsumer::Shutdown() {
    quit_ = true;
    status_.Wake();
    if (thread_.joinable()) thread_.join();
}

void StatusConsumer::Deliver() {
    for (const std::string& line : status_.TakeStatusLines())
        if (onLine_) onLine_(line);
    if (onProgress_) onProgress_(TakeSnapshot(status_));
}

void StatusConsumer::Loop() {
    while (!quit_) {
        status_.WaitForChange(interval_);
        Deliver();
        // Counters change with every block of pages; showing them more often
        // than the interval would only cost the screen's time.
        if (!quit_) std::this_thread::sleep_for(interval_ / 4);
    }
    Deliver();
}

}  // namespace pw
