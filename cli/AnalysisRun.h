#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/ProgressBar.h"
#include "salvage/Analysis.h"
#include "status/DamageReport.h"
#include "status/RecoveryStatus.h"
#include "status/StatusConsumer.h"

namespace pw::cli {

struct AnalysisOptions {
    bool quiet = false;     // no status lines, only the result
    bool progress = true;   // a progress bar when stderr is a terminal
};

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitRefused = 2;
inline constexpr int kExitLosses = 3;  // recovered, but something was lost to damage
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInterrupted = 130;

// One command's work on one file: the analysis, then whatever the command
// walks. Status lines go to stderr (unless quiet), progress to a bar on a
// terminal, damage into one report that FinishWithDamage prints at the end.
// Ctrl-C raises the stop flag of the run control every walk is given.
class AnalysisRun {
public:
    AnalysisRun() = default;
    ~AnalysisRun();
    AnalysisRun(const AnalysisRun&) = delete;
    AnalysisRun& operator=(const AnalysisRun&) = delete;

    // kExitOk, or the exit code of the failure after printing what went wrong.
    int Run(const std::string& path, const AnalysisOptions& options);

    Analysis& analysis() { return analysis_; }
    const CDbReader& reader() const { return analysis_.reader(); }
    const PageSource& pages() const { return analysis_.pages(); }
    const std::vector<TableInfo>& tables() const { return analysis_.tables(); }
    DamageReport& damage() { return damage_; }
    // For the walks of the command: the same stop, progress and damage.
    RunControl control() { return status_.Control(&damage_); }

    // Ends progress output, prints the damage summary on stderr and returns
    // kExitInterrupted when Ctrl-C came, kExitLosses when `exitCode` is
    // kExitOk but damage cost something, else `exitCode`.
    int FinishWithDamage(int exitCode);
    // Ends progress output only.
    void StopWatching();

private:
    void OnLine(const std::string& line);
    void OnProgress(const StatusSnapshot& snapshot);

    Analysis analysis_;
    RecoveryStatus status_;
    DamageReport damage_;
    std::mutex printMutex_;
    std::unique_ptr<ProgressBar> bar_;
    std::unique_ptr<StatusConsumer> consumer_;
    bool quiet_ = false;
};

// The table of that name: the exact name first, else the one table whose
// name differs only in case. Null, after saying why on stderr, when none or
// several match.
const TableInfo* ResolveTable(const std::vector<TableInfo>& tables, const std::string& wanted);

// Every recovered table in list order, or only those named (still in list
// order). False, after naming the culprit on stderr, when a name matches no table.
bool ChooseTables(const std::vector<TableInfo>& tables, const std::vector<std::string>& names,
                  std::vector<TableInfo>& chosen);

// Raises the stop flag on SIGINT/SIGTERM so long work ends cleanly.
void InstallInterruptHandler(RecoveryStatus& status);
bool WasInterrupted();

}  // namespace pw::cli
