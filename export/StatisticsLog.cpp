#include "export/StatisticsLog.h"

#include <cstdio>

#include "status/AppPaths.h"

namespace pw {
namespace {

constexpr const char* kLineEnd = "\r\n";

std::size_t CharacterCount(const std::string& utf8) {
    std::size_t count = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string RightAligned(const std::string& text, std::size_t width) {
    const std::size_t length = CharacterCount(text);
    return length >= width ? text : std::string(width - length, ' ') + text;
}

}  // namespace

std::string FormatStatisticsLine(const std::string& tableName, std::int32_t exportedRows) {
    return RightAligned(tableName, 35) + ":" + RightAligned(std::to_string(exportedRows), 20) + kLineEnd;
}

std::string FormatRejectedLine(std::int64_t rejectedValues) {
    return std::string(36, ' ') + std::to_string(rejectedValues) + " values refused (see Damage Report.txt)" + kLineEnd;
}

std::string FormatStatistics(const std::string& databasePath, const std::vector<StatisticsRow>& rows) {
    std::string content = "Database Path : " + databasePath + kLineEnd + kLineEnd;
    content += kStatisticsHeader;
    content += kLineEnd;
    for (const StatisticsRow& row : rows) {
        content += FormatStatisticsLine(row.tableName, row.exportedRows);
        if (row.rejectedValues > 0) content += FormatRejectedLine(row.rejectedValues);
    }
    return content;
}

std::filesystem::path StatisticsFilePath() { return AppDirectory() / kStatisticsFileName; }

bool WriteStatisticsFile(const std::filesystem::path& file, const std::string& content) {
    std::FILE* stream = std::fopen(file.c_str(), "wb");
    if (stream == nullptr) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), stream) == content.size();
    return std::fclose(stream) == 0 && written;
}

}  // namespace pw
