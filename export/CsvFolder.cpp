#include "export/CsvFolder.h"

#include <cstdio>
#include <system_error>

namespace pw {
namespace {

// More exports than this within one second do not happen; the bound only
// keeps a folder that refuses every name from looping for ever.
constexpr int kMaxSuffix = 10000;

}  // namespace

std::string CsvFolderName(const std::tm& utcDate, const std::tm& localTime) {
    char name[128];
    std::snprintf(name, sizeof name, "Pagewright_(DATE=%d-%d-%d)_(TIME=%dhr.%dm.%ds)", utcDate.tm_mon + 1,
                  utcDate.tm_mday, utcDate.tm_year + 1900, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec);
    return name;
}

std::filesystem::path MakeCsvFolder(const std::filesystem::path& destination) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    std::tm local{};
    gmtime_r(&now, &utc);
    localtime_r(&now, &local);
    return MakeCsvFolder(destination, utc, local);
}

std::filesystem::path MakeCsvFolder(const std::filesystem::path& destination, const std::tm& utcDate,
                                    const std::tm& localTime) {
    std::error_code error;
    std::filesystem::create_directories(destination, error);
    const std::string name = CsvFolderName(utcDate, localTime);
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::filesystem::path folder = destination / (n == 1 ? name : name + "_" + std::to_string(n));
        // create_directory reports an existing folder as "not created", which
        // makes the choice of name safe against a second export running now.
        if (std::filesystem::create_directory(folder, error)) return folder;
        // A name taken by a file or a folder moves on to the next suffix; any
        // other failure (no permission, no space) would repeat for every name.
        std::error_code probe;
        if (error && !std::filesystem::exists(folder, probe)) return {};
    }
    return {};
}

}  // namespace pw
