#include "cli/AnalysisRun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "cli/ProgressBar.h"
#include "status/StatusConsumer.h"

namespace pw::cli {
namespace {

std::atomic<RecoveryStatus*> gInterruptTarget{nullptr};
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
    if (RecoveryStatus* s = gInterruptTarget.load()) s->stop.store(1);
}

}  // namespace

void StderrNotifier::ShowMessage(const std::string& text) {
    last = text;
    std::cerr << text << std::endl;
}

void InstallInterruptHandler(RecoveryStatus& status) {
    gInterruptTarget = &status;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool WasInterrupted() { return gInterrupted != 0; }

bool ChooseTables(CDbReader& reader, const std::vector<std::string>& names, std::vector<TableInfo*>& chosen) {
    for (const std::string& wanted : names) {
        const bool found = std::any_of(reader.tables().begin(), reader.tables().end(),
                                       [&](const TableInfo& t) { return t.name == wanted; });
        if (!found) {
            std::cerr << "pagewright: no recovered table is named '" << wanted << "'" << std::endl;
            return false;
        }
    }
    for (TableInfo& table : reader.tables())
        if (names.empty() || std::find(names.begin(), names.end(), table.name) != names.end())
            chosen.push_back(&table);
    return true;
}

AnalysisRun::AnalysisRun(RecoveryStatus& status) : status_(status), reader_(status) {
    reader_.SetNotifier(&notifier_);
}

int AnalysisRun::Run(const std::string& path, const AnalysisOptions& options) {
    status_.Reset();
    InstallInterruptHandler(status_);

    const bool showBar = options.progress && ::isatty(STDERR_FILENO) != 0;
    ProgressBar bar(std::cerr, showBar);
    std::mutex printMutex;
    std::string lastLine;
    StatusConsumer consumer(
        status_,
        [&](const StatusSnapshot& s) {
            std::lock_guard lock(printMutex);
            if (s.statusLine != lastLine) {
                lastLine = s.statusLine;
                if (!options.quiet && !s.statusLine.empty()) {
                    bar.Clear();
                    std::cerr << s.statusLine << '\n';
                }
            }
            if (s.pagesTotal >= ProgressBar::kWorthShowingPages)
                bar.Update("pages", s.pagesRead, s.pagesTotal);
        },
        [&](const TableInfo&) {});

    const bool ok = reader_.AnalyseDatabase(path);
    consumer.Shutdown();
    bar.Clear();
    if (!ok) {
        if (!reader_.openError().empty()) {
            std::cerr << "pagewright: cannot open '" << path << "': " << reader_.openError() << std::endl;
            return kExitErrors;
        }
        if (!notifier_.last.empty()) return kExitRefused;
        if (WasInterrupted()) return kExitInterrupted;
        return kExitErrors;
    }
    if (WasInterrupted()) return kExitInterrupted;
    return kExitOk;
}

}  // namespace pw::cli
