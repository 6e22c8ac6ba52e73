#include "status/RecoveryStatus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "status/StatusConsumer.h"

namespace pw {
namespace {

using namespace std::chrono_literals;

// A hung hand-shake must fail the test, not hang the run: the work runs on its
// own thread, and when it has not ended in time every event is set so that the
// thread can be joined.
void RunBounded(RecoveryStatus& status, const std::function<void()>& work, const char* what) {
    std::promise<void> finished;
    std::future<void> ended = finished.get_future();
    std::thread worker([&] {
        work();
        finished.set_value();
    });
    const bool inTime = ended.wait_for(10s) == std::future_status::ready;
    if (!inTime) {
        status.RequestStop();
        for (int i = 0; i < 100 && ended.wait_for(10ms) != std::future_status::ready; ++i) {
            status.SetReadPage();
            status.SetUpdateProgTbl();
        }
    }
    worker.join();
    EXPECT_TRUE(inTime) << what << " blocked";
}

TEST(RecoveryStatusEvents, StartNonSignalledAndStaySetUntilReset) {
    RecoveryStatus status;
    EXPECT_FALSE(status.RecoveryTblEvent.IsSet());
    EXPECT_FALSE(status.UpdateProgTblEvent.IsSet());
    EXPECT_FALSE(status.ReadPageEvent.IsSet());
    EXPECT_FALSE(status.UpdateProgStatusEvent.IsSet());

    status.SetReadPage();
    // Manual reset: every wait passes while the event is set, not only the first.
    EXPECT_TRUE(status.ReadPageEvent.WaitFor(0ms));
    EXPECT_TRUE(status.ReadPageEvent.WaitFor(0ms));
    status.ResetReadPage();
    EXPECT_FALSE(status.ReadPageEvent.IsSet());
}

TEST(RecoveryStatusEvents, ResetClearsEverythingButTheNamesAndKeepsTheFormatUnlessAsked) {
    RecoveryStatus status;
    status.SetRecoveryTbl();
    status.SetUpdateProgTbl();
    status.SetReadPage();
    status.SetUpdateProgStatus();
    status.RequestStop();
    status.done = 1;
    status.unnamedTables = 1;
    status.totalTables = 2;
    status.tablesRead = 3;
    status.pagesTotal = 4;
    status.pagesRead = 5;
    status.setStatusLine("Analyzing started");
    status.setDatabaseName("Shop");
    status.setStorageFormat("MS-Access 2007");
    status.setRecordTexts({"a", "b"});

    status.Reset();

    EXPECT_FALSE(status.RecoveryTblEvent.IsSet());
    EXPECT_FALSE(status.UpdateProgTblEvent.IsSet());
    EXPECT_FALSE(status.ReadPageEvent.IsSet());
    EXPECT_FALSE(status.UpdateProgStatusEvent.IsSet());
    EXPECT_FALSE(status.StopRequested());
    EXPECT_EQ(status.done, 0);
    EXPECT_EQ(status.unnamedTables, 0);
    EXPECT_EQ(status.totalTables, 0);
    EXPECT_EQ(status.tablesRead, 0);
    EXPECT_EQ(status.pagesTotal, 0);
    EXPECT_EQ(status.pagesRead, 0);
    EXPECT_EQ(status.currentTable.load(), nullptr);
    EXPECT_EQ(status.statusLine(), "");
    EXPECT_TRUE(status.recordTexts().empty());
    EXPECT_EQ(status.databaseName(), "Shop");
    EXPECT_EQ(status.storageFormat(), "MS-Access 2007");

    // The wait on ReadPageEvent blocks again until the next SetReadPage.
    EXPECT_FALSE(status.ReadPageEvent.WaitFor(50ms));
    EXPECT_FALSE(status.ReadPageEvent.WaitFor(50ms));
    std::thread setter([&] { status.SetReadPage(); });
    RunBounded(status, [&] { status.WaitReadPage(); }, "WaitReadPage after SetReadPage");
    setter.join();

    status.Reset(true);
    EXPECT_EQ(status.storageFormat(), "");
    EXPECT_EQ(status.databaseName(), "Shop");
}

// The worker posts every status and waits; a consumer on another thread reads
// each one and answers. Each post must be seen exactly once and in order.
TEST(RecoveryStatusHandShake, EveryPostedStatusIsAcknowledgedInOrder) {
    constexpr int kPosts = 2000;
    RecoveryStatus status;
    std::vector<int> seen;
    std::vector<std::string> lines;
    std::thread consumer([&] {
        for (int i = 0; i < kPosts; ++i) {
            status.WaitUpdateProgStatus();
            status.ResetUpdateProgStatus();
            seen.push_back(status.pagesRead);
            lines.push_back(status.statusLine());
            status.SetReadPage();
        }
    });
    RunBounded(
        status,
        [&] {
            for (int i = 1; i <= kPosts; ++i) {
                status.pagesRead = i;
                status.setStatusLine("page " + std::to_string(i));
                status.PostStatus();
                // The answer was consumed: the next post waits for a new one.
                EXPECT_FALSE(status.ReadPageEvent.IsSet());
            }
        },
        "the status hand-shake");
    consumer.join();

    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) {
        ASSERT_EQ(seen[i], i + 1);
        ASSERT_EQ(lines[i], "page " + std::to_string(i + 1));
    }
}

TEST(RecoveryStatusHandShake, EveryPublishedTableIsAcknowledgedInOrder) {
    constexpr int kTables = 500;
    RecoveryStatus status;
    std::vector<int> seen;
    std::thread consumer([&] {
        for (int i = 0; i < kTables; ++i) {
            status.WaitRecoveryTbl();
            status.ResetRecoveryTbl();
            seen.push_back(status.tablesRead);
            status.SetUpdateProgTbl();
        }
    });
    RunBounded(
        status,
        [&] {
            for (int i = 1; i <= kTables; ++i) {
                status.tablesRead = i;
                status.PostTable();
            }
        },
        "the table hand-shake");
    consumer.join();

    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kTables));
    for (int i = 0; i < kTables; ++i) ASSERT_EQ(seen[i], i + 1);
}

TEST(RecoveryStatusHandShake, TheConsumerHandsOnEveryStatusBeforeAnswering) {
    constexpr int kPosts = 1000;
    RecoveryStatus status;
    std::mutex mutex;
    std::vector<int> seen;
    {
        StatusConsumer consumer(
            status,
            [&](const StatusSnapshot& s) {
                std::lock_guard lock(mutex);
                seen.push_back(s.pagesRead);
            },
            nullptr);
        RunBounded(
            status,
            [&] {
                for (int i = 1; i <= kPosts; ++i) {
                    status.pagesRead = i;
                    status.PostStatus();
                }
            },
            "posting to a StatusConsumer");
        consumer.Shutdown();
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(seen[i], i + 1);
}

TEST(RecoveryStatusHandShake, PostsAfterStopNeverWaitEvenWithNobodyAnswering) {
    RecoveryStatus status;
    status.RequestStop();
    RunBounded(
        status,
        [&] {
            for (int i = 0; i < 3; ++i) {
                status.PostStatus();
                status.PostTable();
            }
        },
        "PostStatus/PostTable after stop");
    // The announcement is still made, so a consumer that is alive sees it.
    EXPECT_TRUE(status.UpdateProgStatusEvent.IsSet());
    EXPECT_TRUE(status.RecoveryTblEvent.IsSet());
}

TEST(RecoveryStatusHandShake, AStopRaisedWhileWaitingIsReleasedByTheConsumer) {
    RecoveryStatus status;
    std::promise<void> posted;
    std::thread consumer([&] {
        status.WaitUpdateProgStatus();
        posted.set_value();
        // The Stop button: raise the flag and release the waiting worker.
        status.RequestStop();
        status.SetReadPage();
    });
    RunBounded(status, [&] { status.PostStatus(); }, "a PostStatus answered by a stop");
    consumer.join();
    EXPECT_TRUE(status.StopRequested());
}

TEST(RecoveryStatusConsumer, ShutdownReleasesAWorkerThatStillWaits) {
    RecoveryStatus status;
    StatusConsumer consumer(status, nullptr, nullptr);
    consumer.Shutdown();
    consumer.Shutdown();  // twice is harmless
    RunBounded(
        status,
        [&] {
            status.PostStatus();
            status.PostTable();
        },
        "a post after the consumer ended");
}

}  // namespace
}  // namespace pw
