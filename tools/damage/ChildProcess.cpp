#include "tools/damage/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace pw::damage {

ChildResult RunChild(const std::vector<std::string>& argv, const std::filesystem::path& out,
                     const std::filesystem::path& err, const ChildLimits& limits) {
    ChildResult result;
    if (argv.empty()) return result;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int inFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || errFd < 0 || inFd < 0) {
        for (int fd : {outFd, errFd, inFd})
            if (fd >= 0) ::close(fd);
        return result;
    }
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(limits.memoryMiB) << 20;

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (limits.memoryMiB != 0) ::setrlimit(RLIMIT_AS, &memory);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    ::close(inFd);
    if (pid < 0) return result;

    auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    int status = 0;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0) return result;
        if (elapsed() > limits.seconds) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.end = ChildEnd::TimedOut;
            result.seconds = elapsed();
            return result;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    result.seconds = elapsed();
    if (WIFEXITED(status)) {
        result.end = ChildEnd::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.end = ChildEnd::Signalled;
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace pw::damage
