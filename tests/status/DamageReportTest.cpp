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
    EXPECT_EQ(report.SummaryJson()["firstEvents"].size(), DamageReport::kSummaryEvents);
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

TEST(DamageReportTest, SummaryJsonShape) {
    DamageReport report;
    report.SetTableFacts("Quiet", 1, 3);
    report.Report(Event(DamageKind::LongValueBroken, "Orders", 4, 1, "pointer past end"));
    report.Report(Event(DamageKind::DefinitionRejected));

    const nlohmann::ordered_json summary = report.SummaryJson();
    EXPECT_EQ(summary["events"], 2);
    EXPECT_EQ(summary["byKind"].dump(), R"({"definition-rejected":1,"long-value-broken":1})");
    ASSERT_EQ(summary["tables"].size(), 2u);
    EXPECT_EQ(summary["tables"][0]["name"], "Quiet");
    EXPECT_EQ(summary["tables"][0]["rowsStated"], 3);
    EXPECT_EQ(summary["tables"][1]["name"], "Orders");
    EXPECT_EQ(summary["tables"][1]["events"], 1);

    const auto& first = summary["firstEvents"][0];
    EXPECT_EQ(first["kind"], "long-value-broken");
    EXPECT_EQ(first["page"], 4);
    EXPECT_EQ(first["slot"], 1);
    EXPECT_EQ(first["table"], "Orders");
    EXPECT_EQ(first["reason"], "pointer past end");
    const auto& second = summary["firstEvents"][1];
    EXPECT_TRUE(second["page"].is_null());
    EXPECT_TRUE(second["slot"].is_null());
    EXPECT_TRUE(second["table"].is_null());

    EXPECT_EQ(DamageReport().SummaryJson().dump(),
              R"({"events":0,"byKind":{},"tables":[],"firstEvents":[]})");
}

TEST(DamageReportTest, InvalidUtf8StillDumps) {
    DamageReport report;
    // A lone continuation byte, a truncated sequence, an overlong slash and a surrogate.
    const std::string broken = "T\x80" "a\xE2\x82" "b\xC0\xAF" "c\xED\xA0\x80";
    report.Report(Event(DamageKind::RowRejected, broken, 1, 1, "r\xFF"));
    const nlohmann::ordered_json summary = report.SummaryJson();
    std::string dumped;
    EXPECT_NO_THROW(dumped = summary.dump());
    EXPECT_NE(dumped.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(summary["tables"][0]["name"].get<std::string>().substr(0, 4), "T\xEF\xBF\xBD");
    // Valid multi-byte text passes through untouched.
    report.SetTableFacts("Kunden\xC3\xA4", 1, 1);
    EXPECT_EQ(report.SummaryJson()["tables"][1]["name"], "Kunden\xC3\xA4");
}

TEST(DamageReportTest, WriteHumanReportsAndEscapes) {
    std::ostringstream clean;
    DamageReport().WriteHuman(clean);
    EXPECT_EQ(clean.str(), "No damage found.\n");

    DamageReport report;
    report.SetTableFacts("Untouched", 2, 2);
    report.Report(Event(DamageKind::RowRejected, "Evil\x1b[2J\nFake", 3, 7, "offsets\xC2\x85" "backwards"));
    report.Report(Event(DamageKind::PageUnreadable, "", 8, -1, "short read"));
    std::ostringstream out;
    report.WriteHuman(out);
    const std::string text = out.str();

    EXPECT_EQ(text.rfind("Damage found: 2 events\n", 0), 0u);
    EXPECT_NE(text.find("  row-rejected: 1\n"), std::string::npos);
    EXPECT_NE(text.find("  page-unreadable: 1\n"), std::string::npos);
    EXPECT_NE(text.find("  Evil\\x1b[2J\\x0aFake: rows found 0 of 0 stated, 0 unreadable, pages 0 of 0 unreadable\n"),
              std::string::npos);
    EXPECT_NE(text.find("  page 3 slot 7 (Evil\\x1b[2J\\x0aFake): row-rejected: offsets\\x85backwards\n"),
              std::string::npos);
    EXPECT_NE(text.find("  page 8: page-unreadable: short read\n"), std::string::npos);
    EXPECT_EQ(text.find("Untouched"), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
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
