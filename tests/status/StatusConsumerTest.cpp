#include "status/StatusConsumer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Deadline.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

using testing::ExpectReturnsInTime;

std::vector<std::string> Numbered(const std::string& prefix, int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back(prefix + std::to_string(i));
    return lines;
}

// The callbacks run on the consumer's thread; the lists are read only after
// Shutdown has joined it.
TEST(StatusConsumer, EveryLineIsHandedOnOnceInOrder) {
    constexpr int kLines = 5000;
    RecoveryStatus status;
    std::vector<std::string> seen;
    StatusConsumer consumer(
        status, [&](const std::string& line) { seen.push_back(line); }, nullptr, 1ms);
    ExpectReturnsInTime(
        [&] {
            for (const std::string& line : Numbered("page ", kLines)) status.OnStatusLine(line);
        },
        "posting to a StatusConsumer");
    consumer.Shutdown();

    EXPECT_EQ(seen, Numbered("page ", kLines));
}

TEST(StatusConsumer, TheLastSnapshotShowsTheLatestCounters) {
    RecoveryStatus status;
    std::vector<StatusSnapshot> snapshots;
    StatusConsumer consumer(
        status, nullptr, [&](const StatusSnapshot& s) { snapshots.push_back(s); });
    status.OnProgress(ProgressStage::Pages, 10, 90);
    status.OnProgress(ProgressStage::Pages, 90, 90);
    status.OnProgress(ProgressStage::Tables, 3, 4);
    status.OnProgress(ProgressStage::Rows, 700, 800);
    status.OnStatusLine("Initializing Tables.....");
    consumer.Shutdown();

    ASSERT_FALSE(snapshots.empty());
    const StatusSnapshot& last = snapshots.back();
    EXPECT_EQ(last.statusLine, "Initializing Tables.....");
    EXPECT_EQ(last.pagesRead, 90);
    EXPECT_EQ(last.pagesTotal, 90);
    EXPECT_EQ(last.tablesRead, 3);
    EXPECT_EQ(last.totalTables, 4);
    EXPECT_EQ(last.rowsRead, 700);
    EXPECT_EQ(last.rowsTotal, 800);
}

// The consumer is held inside its callback for as long as the worker posts:
// the worker must get through all its lines anyway, and none may be lost or
// reordered once the consumer goes on.
TEST(StatusConsumer, AWorkerNeverWaitsForASlowConsumer) {
    constexpr int kLines = 3000;
    RecoveryStatus status;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::string> seen;
    StatusConsumer consumer(
        status,
        [&](const std::string& line) {
            if (seen.empty()) {
                entered.set_value();
                released.wait();
            } else {
                // Slow for every later line too.
                std::this_thread::sleep_for(50us);
            }
            seen.push_back(line);
        },
        [](const StatusSnapshot&) { std::this_thread::sleep_for(1ms); }, 1ms);

    const std::vector<std::string> lines = Numbered("line ", kLines);
    status.OnStatusLine(lines.front());
    if (entered.get_future().wait_for(10s) != std::future_status::ready) {
        release.set_value();
        FAIL() << "the consumer never handed on the first line";
    }
    ExpectReturnsInTime(
        [&] {
            for (std::size_t i = 1; i < lines.size(); ++i) {
                status.OnStatusLine(lines[i]);
                status.OnProgress(ProgressStage::Rows, static_cast<std::int64_t>(i), kLines);
            }
        },
        "posting while the consumer is busy");
    release.set_value();
    consumer.Shutdown();

    EXPECT_EQ(seen, lines);
}

TEST(StatusConsumer, PostingAfterShutdownReturnsAtOnce) {
    RecoveryStatus status;
    std::vector<std::string> seen;
    StatusConsumer consumer(
        status, [&](const std::string& line) { seen.push_back(line); }, nullptr);
    status.OnStatusLine("Analyzing started");
    consumer.Shutdown();
    consumer.Shutdown();  // twice is harmless

    ExpectReturnsInTime(
        [&] {
            status.OnStatusLine("late 1");
            status.OnStatusLine("late 2");
        },
        "a post after the consumer ended");

    // Shutdown handed on what was pending; the later lines stay on the board.
    EXPECT_EQ(seen, std::vector<std::string>{"Analyzing started"});
    const std::vector<std::string> left = {"late 1", "late 2"};
    EXPECT_EQ(status.TakeStatusLines(), left);
}

TEST(StatusConsumer, WorksWithoutCallbacks) {
    RecoveryStatus status;
    {
        StatusConsumer consumer(status, nullptr, nullptr, 1ms);
        ExpectReturnsInTime(
            [&] {
                for (int i = 0; i < 1000; ++i) {
                    status.OnStatusLine("line");
                    status.OnProgress(ProgressStage::Pages, i, 1000);
                }
            },
            "posting to a consumer without callbacks");
    }  // the destructor ends the thread
    EXPECT_EQ(status.statusLine(), "line");
}

}  // namespace
}  // namespace pw
