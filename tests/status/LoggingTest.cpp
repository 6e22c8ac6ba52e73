#include "status/Logging.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "status/AppPaths.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pagewright-log-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        SetAppDirectory(folder_);
    }
    void TearDown() override {
        ResetAppDirectory();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path ErrorLog() const { return folder_ / "Log Files" / "ErrorLog.log"; }
    fs::path ExecLog() const { return folder_ / "Log Files" / "ExecLog.log"; }

    fs::path folder_;
};

TEST_F(LoggingTest, EveryStartAppendsOneHeaderToBothLogs) {
    WriteLogHeader();
    WriteLogHeader();
    const std::string rule(79, '=');
    for (const fs::path& log : {ErrorLog(), ExecLog()}) {
        const std::string text = ReadFile(log);
        EXPECT_EQ(CountOf(text, rule + "\r\nLast Log On\r\nDate : "), 2u) << log;
        EXPECT_EQ(CountOf(text, "\r\nTime : "), 2u) << log;
        EXPECT_EQ(CountOf(text, rule + "\r\n"), 4u) << log;
        EXPECT_EQ(CountOf(text, "\n"), CountOf(text, "\r\n")) << "every line ends in CR LF";
        EXPECT_EQ(CountOf(text, "\n"), 10u);
    }
}

TEST_F(LoggingTest, HeaderNumbersHaveNoLeadingZeros) {
    std::tm utc{};
    utc.tm_mday = 6;  // the UTC day can lag the local one just after local midnight
    utc.tm_mon = 11;
    utc.tm_year = 126;
    std::tm local{};
    local.tm_hour = 0;
    local.tm_min = 5;
    local.tm_sec = 9;
    const std::string rule(79, '=');
    EXPECT_EQ(FormatLogHeader(utc, local),
              rule + "\r\nLast Log On\r\nDate : 6/12/2026\r\nTime : 0:5:9\r\n" + rule + "\r\n");
}

TEST_F(LoggingTest, MessageLineIsWrittenByteForByte) {
    WriteLogHeader();
    const std::string before = ReadFile(ExecLog());
    EXPECT_TRUE(WriteLog(LogFile::Execution, "Export Database started..."));
    EXPECT_EQ(ReadFile(ExecLog()), before + "Code:0  Error:0  MSG:Export Database started...\r\n");

    const std::string errorsBefore = ReadFile(ErrorLog());
    EXPECT_TRUE(WriteLog(LogFile::Error, "Create table query failed.. \r\nCREATE TABLE [x]"));
    EXPECT_EQ(ReadFile(ErrorLog()),
              errorsBefore + "Code:0  Error:0  MSG:Create table query failed.. \r\nCREATE TABLE [x]\r\n");
    EXPECT_EQ(ReadFile(ExecLog()), before + "Code:0  Error:0  MSG:Export Database started...\r\n");
}

TEST_F(LoggingTest, MissingLogFolderWritesNothing) {
    EXPECT_FALSE(WriteLog(LogFile::Execution, "lost"));
    EXPECT_FALSE(WriteLog(LogFile::Error, "lost"));
    EXPECT_FALSE(fs::exists(folder_ / "Log Files"));

    WriteLogHeader();
    fs::remove_all(folder_ / "Log Files");
    EXPECT_FALSE(WriteLog(LogFile::Error, "lost"));
    EXPECT_FALSE(fs::exists(folder_ / "Log Files"));

    SetAppDirectory(folder_ / "no" / "such" / "folder");
    EXPECT_FALSE(WriteLog(LogFile::Execution, "lost"));
}

TEST_F(LoggingTest, ConcurrentWritersNeverInterleaveLines) {
    WriteLogHeader();
    const std::string before = ReadFile(ExecLog());
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    const std::string payload(300, 'x');
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&] {
            for (int i = 0; i < kLines; ++i) WriteLog(LogFile::Execution, payload);
        });
    for (std::thread& writer : writers) writer.join();

    std::istringstream lines(ReadFile(ExecLog()).substr(before.size()));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.substr(0, 5), "Code:");
        ASSERT_EQ(line.substr(line.size() - payload.size() - 1), payload + "\r");
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace pw
