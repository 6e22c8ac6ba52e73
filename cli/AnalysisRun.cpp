#include "cli/AnalysisRun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>

#include "export/DamageSummary.h"
#include "pagestore/CaseFolding.h"
#include "status/DisplayText.h"

namespace pw::cli {
namespace {

std::atomic<RecoveryStatus*> gInterruptTarget{nullptr};
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
    // The stop flag is a lock-free atomic: safe to raise from a handler.
    if (RecoveryStatus* s = gInterruptTarget.load()) s->RequestStop();
}

// Only a walk over this many pages is worth a bar.
constexpr std::int64_t kWorthShowingDataPages = 256;

}  // namespace

void InstallInterruptHandler(RecoveryStatus& status) {
    gInterruptTarget = &status;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool WasInterrupted() { return gInterrupted != 0; }

const TableInfo* ResolveTable(const std::vector<TableInfo>& tables, const std::string& wanted) {
    for (const TableInfo& table : tables)
        if (table.name == wanted) return &table;
    // Access compares names without regard to case; so does the command
    // line, as long as that names one table only.
    const std::string lowered = CaseFolded(wanted);
    const TableInfo* match = nullptr;
    for (const TableInfo& table : tables) {
        if (CaseFolded(table.name) != lowered) continue;
        if (match != nullptr) {
            std::cerr << "pagewright: '" << ForTerminal(wanted) << "' names more than one table when case is "
                      << "ignored; give its exact name" << std::endl;
            return nullptr;
        }
        match = &table;
    }
    if (match == nullptr) std::cerr << "pagewright: no recovered table is named '" << ForTerminal(wanted) << "'" << std::endl;
    return match;
}

bool ChooseTables(const std::vector<TableInfo>& tables, const std::vector<std::string>& names,
                  std::vector<TableInfo>& chosen) {
    std::vector<const TableInfo*> wanted;
    for (const std::string& name : names) {
        const TableInfo* table = ResolveTable(tables, name);
        if (table == nullptr) return false;
        wanted.push_back(table);
    }
    for (const TableInfo& table : tables)
        if (names.empty() || std::find(wanted.begin(), wanted.end(), &table) != wanted.end()) chosen.push_back(table);
    return true;
}

AnalysisRun::~AnalysisRun() {
    StopWatching();
    RecoveryStatus* self = &status_;
    gInterruptTarget.compare_exchange_strong(self, nullptr);
}

void AnalysisRun::OnLine(const std::string& line) {
    if (quiet_ || line.empty()) return;
    std::lock_guard lock(printMutex_);
    bar_->Clear();
    std::cerr << line << '\n';
}

void AnalysisRun::OnProgress(const StatusSnapshot& s) {
    std::lock_guard lock(printMutex_);
    if (s.rowsTotal >= kWorthShowingDataPages && s.rowsRead < s.rowsTotal)
        bar_->Update("data pages", s.rowsRead, s.rowsTotal);
    else if (s.pagesTotal >= ProgressBar::kWorthShowingPages && s.pagesRead < s.pagesTotal)
        bar_->Update("pages", s.pagesRead, s.pagesTotal);
}

void AnalysisRun::StopWatching() {
    if (consumer_) consumer_->Shutdown();
    std::lock_guard lock(printMutex_);
    if (bar_) bar_->Clear();
}

int AnalysisRun::Run(const std::string& path, const AnalysisOptions& options) {
    status_.Reset();
    quiet_ = options.quiet;
    InstallInterruptHandler(status_);
    bar_ = std::make_unique<ProgressBar>(std::cerr, options.progress && ::isatty(STDERR_FILENO) != 0);
    consumer_ = std::make_unique<StatusConsumer>(
        status_, [this](const std::string& line) { OnLine(line); },
        [this](const StatusSnapshot& s) { OnProgress(s); });

    const AnalysisOutcome outcome = analysis_.Run(path, control());
    if (outcome == AnalysisOutcome::Completed) {
        damage_.SetFileFacts(analysis_.fileFacts());
        return kExitOk;
    }
    StopWatching();
    switch (outcome) {
        case AnalysisOutcome::CannotOpen:
            std::cerr << "pagewright: cannot open '" << path << "': " << analysis_.openError() << std::endl;
            return kExitErrors;
        case AnalysisOutcome::FormatNotSupported:
        case AnalysisOutcome::HighlyCorrupted:
        case AnalysisOutcome::Encrypted:
            std::cerr << OutcomeMessage(outcome) << std::endl;
            if (!analysis_.refusalReason().empty())
                std::cerr << "pagewright: " << analysis_.refusalReason() << std::endl;
            return kExitRefused;
        case AnalysisOutcome::Stopped:
            return kExitInterrupted;
        case AnalysisOutcome::NoPath:
        case AnalysisOutcome::Completed:
            break;
    }
    return kExitErrors;
}

int AnalysisRun::FinishWithDamage(int exitCode) {
    StopWatching();
    WriteDamageSummary(std::cerr, damage_);
    std::cerr << std::flush;
    if (WasInterrupted()) return kExitInterrupted;
    return exitCode == kExitOk && damage_.LostAnything() ? kExitLosses : exitCode;
}

}  // namespace pw::cli
