#pragma once

#include <filesystem>
#include <string>

namespace pw::testing {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Single-quotes a text for the shell.
std::string ShellQuoted(const std::string& text);
inline std::string ShellQuoted(const std::filesystem::path& path) { return ShellQuoted(path.string()); }

// Runs the built `pagewright` with the arguments (already quoted where needed)
// and its own files kept in <workDir>/app; stdout and stderr are captured
// through files in workDir.
CliResult RunPagewright(const std::filesystem::path& workDir, const std::string& arguments);

}  // namespace pw::testing
