#include "status/RecoveryStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "status/DamageReport.h"
#include "tests/support/Deadline.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

using testing::ExpectReturnsInTime;

TEST(RecoveryStatusBoard, StartsEmptyWithoutAStop) {
    RecoveryStatus status;
    EXPECT_FALSE(status.StopRequested());
    EXPECT_EQ(status.statusLine(), "");
    EXPECT_TRUE(status.TakeStatusLines().empty());
    EXPECT_EQ(status.pagesTotal, 0);
    EXPECT_EQ(status.rowsRead, 0);
    EXPECT_FALSE(status.WaitForChange(0ms));
}

TEST(RecoveryStatusBoard, ResetClearsEverythingButTheNameAndTheFormat) {
    RecoveryStatus status;
    status.RequestStop();
    status.totalTables = 2;
    status.tablesRead = 3;
    status.pagesTotal = 4;
    status.pagesRead = 5;
    status.rowsTotal = 6;
    status.rowsRead = 7;
    status.OnStatusLine("Analyzing started");
    status.setDatabaseName("Shop");
    status.setStorageFormat("MS-Access 2007");

    status.Reset();

    EXPECT_FALSE(status.StopRequested());
    EXPECT_FALSE(status.stopFlag().Requested());
    EXPECT_EQ(status.totalTables, 0);
    EXPECT_EQ(status.tablesRead, 0);
    EXPECT_EQ(status.pagesTotal, 0);
    EXPECT_EQ(status.pagesRead, 0);
    EXPECT_EQ(status.rowsTotal, 0);
    EXPECT_EQ(status.rowsRead, 0);
    EXPECT_EQ(status.statusLine(), "");
    EXPECT_TRUE(status.TakeStatusLines().empty());  // unread lines of the last job are dropped
    EXPECT_EQ(status.databaseName(), "Shop");
    EXPECT_EQ(status.storageFormat(), "MS-Access 2007");

    // What happened before the reset does not wake a consumer of the next job.
    EXPECT_FALSE(status.WaitForChange(50ms));
}

TEST(RecoveryStatusBoard, LinesAreTakenOnceOldestFirst) {
    RecoveryStatus status;
    status.OnStatusLine("Opened file successfully...");
    status.OnStatusLine("Analyzing started");
    status.OnStatusLine("Initializing Tables.....");

    EXPECT_EQ(status.statusLine(), "Initializing Tables.....");
    const std::vector<std::string> expected = {"Opened file successfully...", "Analyzing started",
                                               "Initializing Tables....."};
    EXPECT_EQ(status.TakeStatusLines(), expected);
    EXPECT_TRUE(status.TakeStatusLines().empty());
    // Taking the lines leaves the newest one to show.
    EXPECT_EQ(status.statusLine(), "Initializing Tables.....");
}

TEST(RecoveryStatusBoard, EachStageKeepsItsOwnLatestCount) {
    RecoveryStatus status;
    status.OnProgress(ProgressStage::Pages, 10, 100);
    status.OnProgress(ProgressStage::Pages, 20, 100);
    status.OnProgress(ProgressStage::Tables, 2, 5);
    status.OnProgress(ProgressStage::Rows, 300, 4000);

    EXPECT_EQ(status.pagesRead, 20);
    EXPECT_EQ(status.pagesTotal, 100);
    EXPECT_EQ(status.tablesRead, 2);
    EXPECT_EQ(status.totalTables, 5);
    EXPECT_EQ(status.rowsRead, 300);
    EXPECT_EQ(status.rowsTotal, 4000);

    // A large file holds more rows than 32 bits can count.
    constexpr std::int64_t kLarge = std::int64_t{3} << 31;
    status.OnProgress(ProgressStage::Rows, kLarge, kLarge + 1);
    EXPECT_EQ(status.rowsRead, kLarge);
    EXPECT_EQ(status.rowsTotal, kLarge + 1);
    EXPECT_EQ(status.pagesRead, 20);
}

TEST(RecoveryStatusBoard, EveryKindOfChangeWakesTheConsumerAndTheWaitClearsIt) {
    RecoveryStatus status;
    const std::vector<std::function<void()>> changes = {
        [&] { status.OnStatusLine("line"); },
        [&] { status.OnProgress(ProgressStage::Pages, 1, 2); },
        [&] { status.RequestStop(); },
        [&] { status.Wake(); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        changes[i]();
        EXPECT_TRUE(status.WaitForChange(0ms));
        EXPECT_FALSE(status.WaitForChange(20ms));
    }
}

TEST(RecoveryStatusBoard, AWaitingConsumerIsWokenByAChangeFromAnotherThread) {
    RecoveryStatus status;
    std::thread worker([&] {
        std::this_thread::sleep_for(20ms);
        status.OnStatusLine("Analyzing started");
    });
    EXPECT_TRUE(status.WaitForChange(10s));
    worker.join();
    EXPECT_EQ(status.TakeStatusLines(), std::vector<std::string>{"Analyzing started"});
}

TEST(RecoveryStatusBoard, TheStopGoesToEveryRunControlOfTheBoard) {
    RecoveryStatus status;
    DamageReport damage;
    const RunControl run = status.Control(&damage);
    EXPECT_EQ(run.stop, &status.stopFlag());
    EXPECT_EQ(run.progress, &status);
    EXPECT_EQ(run.damage, &damage);
    EXPECT_EQ(status.Control().damage, nullptr);
    EXPECT_FALSE(run.StopRequested());

    status.RequestStop();
    EXPECT_TRUE(status.StopRequested());
    EXPECT_TRUE(run.StopRequested());

    // What a job tells its run control lands on the board.
    run.Status("Analyzing started");
    run.Progress(ProgressStage::Tables, 1, 3);
    EXPECT_EQ(status.statusLine(), "Analyzing started");
    EXPECT_EQ(status.tablesRead, 1);
    EXPECT_EQ(status.totalTables, 3);

    status.Reset();
    EXPECT_FALSE(run.StopRequested());
}

// A worker posts while a consumer takes lines on another thread at its own
// pace: each line must arrive exactly once and in order.
TEST(RecoveryStatusBoard, LinesPostedWhileTakenArriveOnceInOrder) {
    constexpr int kLines = 20000;
    RecoveryStatus status;
    std::vector<std::string> seen;
    std::atomic<bool> posted{false};
    std::thread consumer([&] {
        for (;;) {
            const bool last = posted;
            status.WaitForChange(5ms);
            for (std::string& line : status.TakeStatusLines()) seen.push_back(std::move(line));
            if (last) break;
        }
    });
    ExpectReturnsInTime(
        [&] {
            for (int i = 1; i <= kLines; ++i) {
                status.OnProgress(ProgressStage::Pages, i, kLines);
                status.OnStatusLine("page " + std::to_string(i));
            }
        },
        "posting while a consumer takes the lines");
    posted = true;
    consumer.join();

    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kLines));
    for (int i = 0; i < kLines; ++i) ASSERT_EQ(seen[i], "page " + std::to_string(i + 1));
    EXPECT_EQ(status.pagesRead, kLines);
}

TEST(RecoveryStatusBoard, PostsWithNobodyWatchingNeverWait) {
    RecoveryStatus status;
    ExpectReturnsInTime(
        [&] {
            for (int i = 0; i < 5000; ++i) {
                status.OnStatusLine("line " + std::to_string(i));
                status.OnProgress(ProgressStage::Rows, i, 5000);
            }
        },
        "posting with nobody watching");
    // Nothing was lost meanwhile: a consumer that comes late still finds it all.
    const std::vector<std::string> lines = status.TakeStatusLines();
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines.front(), "line 0");
    EXPECT_EQ(lines.back(), "line 4999");

    // Nor does a stop change that.
    status.RequestStop();
    ExpectReturnsInTime([&] { status.OnStatusLine("after the stop"); }, "posting after a stop");
    EXPECT_EQ(status.statusLine(), "after the stop");
}

}  // namespace
}  // namespace pw
