#include "status/RecoveryStatus.h"

namespace pw {

void RecoveryStatus::OnStatusLine(const std::string& line) {
    {
        std::lock_guard lock(textMutex_);
        pendingLines_.push_back(line);
        statusLine_ = line;
    }
    changed_.Set();
}

void RecoveryStatus::OnProgress(ProgressStage stage, std::int64_t doneCount, std::int64_t total) {
    switch (stage) {
        case ProgressStage::Pages:
            pagesTotal.store(total, std::memory_order_relaxed);
            pagesRead.store(doneCount, std::memory_order_relaxed);
            break;
        case ProgressStage::Tables:
            totalTables.store(static_cast<std::int32_t>(total), std::memory_order_relaxed);
            tablesRead.store(static_cast<std::int32_t>(doneCount), std::memory_order_relaxed);
            break;
        case ProgressStage::Rows:
            rowsTotal.store(total, std::memory_order_relaxed);
            rowsRead.store(doneCount, std::memory_order_relaxed);
            break;
    }
    changed_.Set();
}

void RecoveryStatus::Reset() {
    stop_.Clear();
    totalTables = 0;
    tablesRead = 0;
    pagesTotal = 0;
    pagesRead = 0;
    rowsTotal = 0;
    rowsRead = 0;
    {
        std::lock_guard lock(textMutex_);
        pendingLines_.clear();
        statusLine_.clear();
    }
    changed_.Reset();
}

void RecoveryStatus::RequestStop() {
    stop_.Request();
    changed_.Set();
}

RunControl RecoveryStatus::Control(DamageReporter* damage) { return RunControl{&stop_, this, damage}; }

bool RecoveryStatus::WaitForChange(std::chrono::milliseconds timeout) {
    const bool changed = changed_.WaitFor(timeout);
    changed_.Reset();
    return changed;
}

std::vector<std::string> RecoveryStatus::TakeStatusLines() {
    std::lock_guard lock(textMutex_);
    std::vector<std::string> lines;
    lines.swap(pendingLines_);
    return lines;
}

std::string RecoveryStatus::statusLine() const {
    std::lock_guard lock(textMutex_);
    return statusLine_;
}
std::string RecoveryStatus::databaseName() const {
    std::lock_guard lock(textMutex_);
    return databaseName_;
}
void RecoveryStatus::setDatabaseName(std::string text) {
    std::lock_guard lock(textMutex_);
    databaseName_ = std::move(text);
}
std::string RecoveryStatus::storageFormat() const {
    std::lock_guard lock(textMutex_);
    return storageFormat_;
}
void RecoveryStatus::setStorageFormat(std::string text) {
    std::lock_guard lock(textMutex_);
    storageFormat_ = std::move(text);
}

}  // namespace pw
