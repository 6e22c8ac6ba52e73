#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace pw {

// "Pagewright_(DATE=<month>-<day>-<year>)_(TIME=<hour>hr.<minute>m.<second>s)",
// plain decimal numbers: the date from the UTC clock, the time of day from the
// local one.
std::string CsvFolderName(const std::tm& utcDate, const std::tm& localTime);

// Creates a fresh folder for one CSV export under `destination` (which is
// created when missing), named after the current time. A folder of that name
// that already exists holds an earlier export and is left alone: the new one
// gets "_2", "_3"… appended. Returns the folder made, or an empty path when
// none could be made.
std::filesystem::path MakeCsvFolder(const std::filesystem::path& destination);
std::filesystem::path MakeCsvFolder(const std::filesystem::path& destination, const std::tm& utcDate,
                                    const std::tm& localTime);

}  // namespace pw
