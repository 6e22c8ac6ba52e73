#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pw::damage {

// How a child process ended.
enum class ChildEnd {
    Exited,      // it exited on its own; exitCode holds the code
    Signalled,   // a signal ended it (a crash); signal holds it
    TimedOut,    // it ran past the limit and was killed
    NotStarted,  // it could not be started
};

struct ChildResult {
    ChildEnd end = ChildEnd::NotStarted;
    int exitCode = -1;
    int signal = 0;
    double seconds = 0;
};

struct ChildLimits {
    double seconds = 60;
    // Address-space limit of the child; 0 for none (sanitizer builds reserve
    // far more address space than they use).
    std::size_t memoryMiB = 0;
};

// Runs the program with the arguments, its standard output into `out` and
// its standard error into `err`; kills it once it passes the time limit.
ChildResult RunChild(const std::vector<std::string>& argv, const std::filesystem::path& out,
                     const std::filesystem::path& err, const ChildLimits& limits);

}  // namespace pw::damage
