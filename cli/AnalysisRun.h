#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pagestore/DbReader.h"
#include "status/RecoveryStatus.h"
#include "status/UserNotifier.h"

namespace pw::cli {

// Prints the system's messages on stderr, as the desktop window would show them.
class StderrNotifier : public UserNotifier {
public:
    void ShowMessage(const std::string& text) override;
    std::string last;
};

struct AnalysisOptions {
    bool quiet = false;       // no status lines, only the result
    bool progress = true;     // a progress bar when stderr is a terminal
};

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitRefused = 2;
inline constexpr int kExitInterrupted = 130;

// Runs the whole analysis of a file with a consumer that acknowledges every
// hand-shake at once. Returns kExitOk, or the exit code of the failure after
// printing what went wrong.
class AnalysisRun {
public:
    explicit AnalysisRun(RecoveryStatus& status = RecoveryStatus::Instance());
    int Run(const std::string& path, const AnalysisOptions& options);
    CDbReader& reader() { return reader_; }

private:
    RecoveryStatus& status_;
    StderrNotifier notifier_;
    CDbReader reader_;
};

// Every recovered table in list order, or only those named (still in list
// order). False, after naming the culprit on stderr, when a name matches no table.
bool ChooseTables(CDbReader& reader, const std::vector<std::string>& names, std::vector<TableInfo*>& chosen);

// Raises the stop flag on SIGINT/SIGTERM so long work ends cleanly.
void InstallInterruptHandler(RecoveryStatus& status);
bool WasInterrupted();

}  // namespace pw::cli
