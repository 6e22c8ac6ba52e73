#include "tests/support/CliRun.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pw::testing {
namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliResult RunPagewright(const std::filesystem::path& workDir, const std::string& arguments) {
    const auto out = workDir / "stdout";
    const auto err = workDir / "stderr";
    const std::string command = "PAGEWRIGHT_STATE_DIR=" + ShellQuoted(workDir / "app") + " " +
                                ShellQuoted(std::string(PAGEWRIGHT_CLI_PATH)) + " " + arguments + " </dev/null >" +
                                ShellQuoted(out) + " 2>" + ShellQuoted(err);
    const int status = std::system(command.c_str());
    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

}  // namespace pw::testing
