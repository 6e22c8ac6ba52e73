#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pw {

inline constexpr const char* kStatisticsFileName = "Export Statistics.log";
inline constexpr const char* kStatisticsHeader =
    "            Table name             :          No of Records";

struct StatisticsRow {
    std::string tableName;
    std::int32_t exportedRows = 0;
    std::int64_t rejectedValues = 0;  // values the target refused
};

// The content of "Export Statistics.log", lines ended by CR LF:
// "Database Path : <folder>", an empty line, the header, then one line per
// table: the name right-aligned in 35 characters, ":", the count right-aligned
// in 20. Widths count characters, not UTF-8 bytes, so non-Latin names line up;
// a longer name is written whole. A table whose values the target refused
// gets a line more under its own: "<n> values refused (see Damage Report.txt)",
// indented to the count's column.
std::string FormatStatistics(const std::string& databasePath, const std::vector<StatisticsRow>& rows);
std::string FormatStatisticsLine(const std::string& tableName, std::int32_t exportedRows);
std::string FormatRejectedLine(std::int64_t rejectedValues);

// "Export Statistics.log" in the application folder.
std::filesystem::path StatisticsFilePath();

// Creates or truncates the file and writes the content; false when it cannot.
bool WriteStatisticsFile(const std::filesystem::path& file, const std::string& content);

}  // namespace pw
