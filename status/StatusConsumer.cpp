#include "status/StatusConsumer.h"

namespace pw {

StatusConsumer::StatusConsumer(RecoveryStatus& status, StatusCallback onStatus, TableCallback onTable)
    : status_(status), onStatus_(std::move(onStatus)), onTable_(std::move(onTable)) {
    statusThread_ = std::thread([this] { StatusLoop(); });
    tableThread_ = std::thread([this] { TableLoop(); });
}

StatusConsumer::~StatusConsumer() { Shutdown(); }

void StatusConsumer::Shutdown() {
    quit_ = true;
    status_.SetUpdateProgStatus();
    status_.SetRecoveryTbl();
    if (statusThread_.joinable()) statusThread_.join();
    if (tableThread_.joinable()) tableThread_.join();
    // Nobody answers from now on: release anyone still waiting.
    status_.SetReadPage();
    status_.SetUpdateProgTbl();
}

void StatusConsumer::StatusLoop() {
    for (;;) {
        status_.WaitUpdateProgStatus();
        status_.ResetUpdateProgStatus();
        if (quit_) break;
        if (onStatus_) {
            StatusSnapshot s;
            s.statusLine = status_.statusLine();
            s.pagesRead = status_.pagesRead;
            s.pagesTotal = status_.pagesTotal;
            s.tablesRead = status_.tablesRead;
            s.totalTables = status_.totalTables;
            s.unnamedTables = status_.unnamedTables;
            onStatus_(s);
        }
        status_.SetReadPage();
    }
}

void StatusConsumer::TableLoop() {
    for (;;) {
        status_.WaitRecoveryTbl();
        status_.ResetRecoveryTbl();
        if (quit_) break;
        // The end of discovery and a stop also set the event; only a table
        // published by the schema loop is handed on, once.
        if (!status_.done && !status_.StopRequested()) {
            const TableInfo* table = status_.currentTable;
            if (table != nullptr && onTable_) onTable_(*table);
        }
        status_.SetUpdateProgTbl();
    }
}

}  // namespace pw
