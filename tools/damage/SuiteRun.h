#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/damage/ChildProcess.h"
#include "tools/damage/DumpScore.h"

namespace pw::damage {

// How one dump of one damaged copy ended, as the report counts it.
enum class RunOutcome {
    Dumped,    // exit 0 and a whole JSON document
    DumpedWithLosses,  // exit 3 (recovered, but damage cost something) and a whole document
    Refused,   // exit 2: the file was refused
    Errors,    // exit 1 (a sanitizer report on stderr counts as a crash)
    BadJson,   // exit 0 but no readable document on stdout
    Hang,      // killed at the time limit
    Crash,     // ended by a signal
    OtherExit, // any other exit code, or not started
};
const char* RunOutcomeName(RunOutcome outcome);
inline bool IsFinding(RunOutcome o) { return o == RunOutcome::Hang || o == RunOutcome::Crash || o == RunOutcome::BadJson || o == RunOutcome::OtherExit; }

struct RunRecord {
    std::string file;
    std::string kind;
    std::uint64_t seed = 0;
    RunOutcome outcome = RunOutcome::OtherExit;
    int exitCode = -1;
    int signal = 0;
    double seconds = 0;
    bool unchanged = false;   // the kind left the bytes as they were
    std::string textTable;    // zero-one-definition: the table whose definition went
    DumpScore score;
};

struct SuiteSettings {
    std::filesystem::path pagewright;   // the built command line
    std::filesystem::path corpus;       // holds files/ and expected/
    std::filesystem::path outDir;       // report, findings, scratch copies
    std::vector<std::string> files;     // corpus file names; empty for all
    std::int64_t maxFileBytes = 0;      // files larger are left out; 0 for no limit
    std::vector<std::string> kinds;     // empty for all
    std::vector<std::uint64_t> seeds{1};
    ChildLimits limits;
    int jobs = 2;
    bool keepCopies = false;
    bool verbose = false;
};

struct SuiteResult {
    std::vector<RunRecord> records;
    std::vector<std::string> filesRun;
    std::vector<std::string> filesSkipped;  // with the reason
};

// Damages every chosen file in every chosen way, dumps each copy with the
// command line and scores it. Copies that hang or crash are kept under
// outDir/findings.
SuiteResult RunSuite(const SuiteSettings& settings);

}  // namespace pw::damage
