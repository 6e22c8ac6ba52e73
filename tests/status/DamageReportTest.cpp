#include "status/DamageReport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace pw {
namespace {

DamageEvent Event(DamageKind kind, std::string table = {}, std::int32_t page = -1, std::int32_t slot = -1,
                  std::string reason = "bad") {
    DamageEvent event;
    event.kind = kind;
    event.page = page;
    event.slot = slot;
    event.table = std::move(table);
    event.reason = std::move(reason);
    return event;
}

TEST(DamageReportTest, KindNamesAreStable) {
    EXPECT_STREQ(DamageKindName(DamageKind::PageUnreadable), "page-unreadable");
    EXPECT_STREQ(DamageKindName(DamageKind::ValueOutOfRange), "value-out-of-range");
    EXPECT_STREQ(DamageKindName(DamageKind::RowsMissing), "rows-missing");
    EXPECT_STREQ(DamageKindName(static_cast<DamageKind>(99)), "unknown");
}

TEST(DamageReportTest, CountsByKindAndTable) {
    DamageReport report;
    report.Report(Event(DamageKind::RowRejected, "Orders", 5, 2));
    report.Report(Event(DamageKind::RowRejected, "Orders", 5, 3));
    report.Report(Event(DamageKind::LongValueLoop, "Customers"));
    report.Report(Event(DamageKind::PageUnreadable, "", 9));

    EXPECT_EQ(report.TotalEvents(), 4);
    EXPECT_EQ(report.Count(DamageKind::RowRejected), 2);
    EXPECT_EQ(report.Count(DamageKind::LongValueLoop), 1);
    EXPECT_EQ(report.Count(DamageKind::SlotOutsidePage), 0);
    EXPECT_EQ(report.TableEvents("Orders"), 2);
    EXPECT_EQ(report.TableEvents("Customers"), 1);
    EXPECT_EQ(report.TableEvents("Nowhere"), 0);
    EXPECT_EQ(report.TableNames(), (std::vector<std::string>{"Orders", "Customers"}));
}

TEST(DamageReportTest, KeepsOnlyTheFirstEventsButCountsAll) {
    DamageReport report;
    const std::size_t reported = DamageReport::kKeptEvents + 5;
    for (std::size_t i = 0; i < reported; ++i) {
        report.Report(Event(DamageKind::RowRejected, "", static_cast<std::int32_t>(i)));
    }
    const std::vector<DamageEvent> kept = report.KeptEvents();
    ASSERT_EQ(kept.size(), DamageReport::kKeptEvents);
    EXPECT_EQ(kept.front().page, 0);
    EXPECT_EQ(kept.back().page, static_cast<std::int32_t>(DamageReport::kKeptEvents - 1));
    EXPECT_EQ(report.TotalEvents(), static_cast<std::int64_t>(reported));
    EXPECT_EQ(report.Snapshot(20).firstEvents.size(), 20u);
}

TEST(DamageReportTest, SetTableFactsReplacesWhileAddTableRowsAdds) {
    DamageReport report;
    report.SetTableFacts("Orders", 10, 100);
    report.SetTableFacts("Orders", 12, 120);
    report.AddTableRows("Orders", 40, 1, 0);
    report.AddTableRows("Orders", 50, 2, 1);
    report.AddTableRows("", 7, 7, 7);

    const TableTally tally = report.Tally("Orders");
    EXPECT_EQ(tally.pagesOwned, 12);
    EXPECT_EQ(tally.rowsStated, 120);
    EXPECT_EQ(tally.rowsFound, 90);
    EXPECT_EQ(tally.rowsUnreadable, 3);
    EXPECT_EQ(tally.pagesUnreadable, 1);
    EXPECT_EQ(report.Tally("Unknown").rowsFound, 0);
    EXPECT_EQ(report.TableNames(), std::vector<std::string>{"Orders"});
}

TEST(DamageReportTest, NotesAreNoLossAndAreKeptOnce) {
    DamageReport report;
    report.AddNote("Orders", "the definition states 30 rows; 10 found on its pages");
    report.AddNote("Orders", "the definition states 30 rows; 10 found on its pages");
    report.AddWithheldRows("Orders", 11, 0, 0);
    EXPECT_FALSE(report.LostAnything());
    ASSERT_EQ(report.Notes().size(), 1u);
    EXPECT_EQ(report.Notes()[0].table, "Orders");
    report.Report(Event(DamageKind::RowRejected, "Orders", 3));
    EXPECT_TRUE(report.LostAnything());
}

TEST(DamageReportTest, ConcurrentReportsAreAllCounted) {
    DamageReport report;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&report, t] {
            const std::string table = "T" + std::to_string(t % 2);
            for (int i = 0; i < kPerThread; ++i) {
                report.Report(Event(DamageKind::SlotOutsidePage, table, i));
                report.AddTableRows(table, 1, 0, 0);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(report.TotalEvents(), kThreads * kPerThread);
    EXPECT_EQ(report.Count(DamageKind::SlotOutsidePage), kThreads * kPerThread);
    EXPECT_EQ(report.TableEvents("T0") + report.TableEvents("T1"), kThreads * kPerThread);
    EXPECT_EQ(report.Tally("T0").rowsFound, 2 * kPerThread);
    EXPECT_EQ(report.KeptEvents().size(), DamageReport::kKeptEvents);
}

}  // namespace
}  // namespace pw
