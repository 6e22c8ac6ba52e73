#include "status/AppPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <system_error>

namespace pw {
namespace {

std::mutex g_directoryMutex;
std::optional<std::filesystem::path> g_directory;

std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path WritableExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !executable.has_parent_path()) return {};
    std::filesystem::path folder = executable.parent_path();
    return ::access(folder.c_str(), W_OK) == 0 ? folder : std::filesystem::path();
}

std::filesystem::path StateFolder() {
    std::filesystem::path base = FromEnvironment("XDG_STATE_HOME");
    if (base.empty()) {
        std::filesystem::path home = FromEnvironment("HOME");
        if (home.empty()) {
            std::error_code error;
            home = std::filesystem::temp_directory_path(error);
            if (error) home = "/tmp";
        }
        base = home / ".local" / "state";
    }
    return base / "pagewright";
}

std::filesystem::path SearchDirectory() {
    std::filesystem::path folder = FromEnvironment("PAGEWRIGHT_STATE_DIR");
    if (folder.empty()) folder = WritableExecutableFolder();
    if (folder.empty()) folder = StateFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace

std::filesystem::path AppDirectory() {
    std::lock_guard lock(g_directoryMutex);
    if (!g_directory) g_directory = SearchDirectory();
    return *g_directory;
}

void SetAppDirectory(const std::filesystem::path& directory) {
    std::lock_guard lock(g_directoryMutex);
    g_directory = directory;
}

void ResetAppDirectory() {
    std::lock_guard lock(g_directoryMutex);
    g_directory.reset();
}

}  // namespace pw
