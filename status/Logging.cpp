#include "status/Logging.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "status/AppPaths.h"

namespace pw {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kLogFolder = "Log Files";
constexpr const char* kErrorLogName = "ErrorLog.log";
constexpr const char* kExecLogName = "ExecLog.log";

std::mutex g_logMutex;

std::filesystem::path LogPath(const char* name) { return AppDirectory() / kLogFolder / name; }

// Binary mode: the CR LF line ends are written as they are given.
bool AppendToFile(const std::filesystem::path& file, const std::string& bytes) {
    std::FILE* stream = std::fopen(file.c_str(), "ab");
    if (stream == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    const bool flushed = std::fflush(stream) == 0;
    const bool closed = std::fclose(stream) == 0;
    return written && flushed && closed;
}

}  // namespace

std::string FormatLogHeader(const std::tm& utcDate, const std::tm& localTime) {
    const std::string rule(79, '=');
    std::string header = rule + kLineEnd + "Last Log On" + kLineEnd;
    header += "Date : " + std::to_string(utcDate.tm_mday) + "/" + std::to_string(utcDate.tm_mon + 1) + "/" +
              std::to_string(utcDate.tm_year + 1900) + kLineEnd;
    header += "Time : " + std::to_string(localTime.tm_hour) + ":" + std::to_string(localTime.tm_min) + ":" +
              std::to_string(localTime.tm_sec) + kLineEnd;
    header += rule + kLineEnd;
    return header;
}

void WriteLogHeader() {
    try {
        std::lock_guard lock(g_logMutex);
        std::error_code ignored;
        std::filesystem::create_directories(AppDirectory() / kLogFolder, ignored);

        // One reading of the clock serves both logs.
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        std::tm local{};
        gmtime_r(&now, &utc);
        localtime_r(&now, &local);
        const std::string header = FormatLogHeader(utc, local);
        AppendToFile(LogPath(kErrorLogName), header);
        AppendToFile(LogPath(kExecLogName), header);
    } catch (...) {
        // A log that cannot be stamped is skipped; the program goes on.
    }
}

bool WriteLog(LogFile which, const std::string& text) {
    try {
        std::string line = "Code:0  Error:0  MSG:";
        line += text;
        line += kLineEnd;
        std::lock_guard lock(g_logMutex);
        return AppendToFile(LogPath(which == LogFile::Error ? kErrorLogName : kExecLogName), line);
    } catch (...) {
        return false;
    }
}

}  // namespace pw
