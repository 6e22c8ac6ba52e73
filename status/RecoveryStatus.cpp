#include "status/RecoveryStatus.h"

namespace pw {

RecoveryStatus::RecoveryStatus() {
    RecoveryTblEvent.Reset();
    UpdateProgTblEvent.Reset();
    ReadPageEvent.Reset();
    UpdateProgStatusEvent.Reset();
}

RecoveryStatus& RecoveryStatus::Instance() {
    static RecoveryStatus instance;
    return instance;
}

void RecoveryStatus::Reset(bool clearStorageFormat) {
    stop = 0;
    done = 0;
    unnamedTables = 0;
    totalTables = 0;
    tablesRead = 0;
    pagesTotal = 0;
    pagesRead = 0;
    currentTable = nullptr;
    {
        std::lock_guard lock(textMutex_);
        statusLine_.clear();
        recordTexts_.clear();
        if (clearStorageFormat) storageFormat_.clear();
    }
    ResetRecoveryTbl();
    ResetUpdateProgTbl();
    ResetReadPage();
    ResetUpdateProgStatus();
}

void RecoveryStatus::PostStatus() {
    SetUpdateProgStatus();
    if (StopRequested()) return;
    // A stop raised while we wait is answered by the consumer releasing every
    // waiter, so an unbounded wait is safe here.
    WaitReadPage();
    ResetReadPage();
}

void RecoveryStatus::PostTable() {
    SetRecoveryTbl();
    if (StopRequested()) return;
    WaitUpdateProgTbl();
    ResetUpdateProgTbl();
}

std::string RecoveryStatus::statusLine() const {
    std::lock_guard lock(textMutex_);
    return statusLine_;
}
void RecoveryStatus::setStatusLine(std::string text) {
    std::lock_guard lock(textMutex_);
    statusLine_ = std::move(text);
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
std::vector<std::string> RecoveryStatus::recordTexts() const {
    std::lock_guard lock(textMutex_);
    return recordTexts_;
}
void RecoveryStatus::setRecordTexts(std::vector<std::string> texts) {
    std::lock_guard lock(textMutex_);
    recordTexts_ = std::move(texts);
}

}  // namespace pw
