// The damage report written out for a program and for a person.
#include "export/DamageSummary.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

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

std::string Human(const DamageReport& report) {
    std::ostringstream out;
    WriteDamageSummary(out, report);
    return out.str();
}

TEST(DamageSummary, SummaryJsonShape) {
    DamageReport report;
    report.SetTableFacts("Quiet", 1, 3);
    report.Report(Event(DamageKind::LongValueBroken, "Orders", 4, 1, "pointer past end"));
    report.Report(Event(DamageKind::DefinitionRejected));

    const nlohmann::ordered_json summary = DamageSummaryJson(report);
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

    EXPECT_EQ(DamageSummaryJson(DamageReport()).dump(),
              R"({"events":0,"byKind":{},"tables":[],"firstEvents":[],"notes":[]})");
}

TEST(DamageSummary, InvalidUtf8StillDumps) {
    DamageReport report;
    // A lone continuation byte, a truncated sequence, an overlong slash and a surrogate.
    const std::string broken = "T\x80" "a\xE2\x82" "b\xC0\xAF" "c\xED\xA0\x80";
    report.Report(Event(DamageKind::RowRejected, broken, 1, 1, "r\xFF"));
    const nlohmann::ordered_json summary = DamageSummaryJson(report);
    std::string dumped;
    EXPECT_NO_THROW(dumped = summary.dump());
    EXPECT_NE(dumped.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(summary["tables"][0]["name"].get<std::string>().substr(0, 4), "T\xEF\xBF\xBD");
    // Valid multi-byte text passes through untouched.
    report.SetTableFacts("Kunden\xC3\xA4", 1, 1);
    EXPECT_EQ(DamageSummaryJson(report)["tables"][1]["name"], "Kunden\xC3\xA4");
}

TEST(DamageSummary, WriteHumanReportsAndEscapes) {
    std::ostringstream clean;
    WriteDamageSummary(clean, DamageReport());
    EXPECT_EQ(clean.str(), "No damage found.\n");

    DamageReport report;
    report.SetTableFacts("Untouched", 2, 2);
    report.Report(Event(DamageKind::RowRejected, "Evil\x1b[2J\nFake", 3, 7, "offsets\xC2\x85" "backwards"));
    report.Report(Event(DamageKind::PageUnreadable, "", 8, -1, "short read"));
    std::ostringstream out;
    WriteDamageSummary(out, report);
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

TEST(DamageSummary, TheHeadingNeverContradictsTheLinesBelowIt) {
    // Only the structure was lost: no "0 events" above a list of losses.
    DamageReport structure;
    FileFacts facts;
    facts.known = true;
    facts.pagesLostAtTail = 4;
    structure.SetFileFacts(facts);
    const std::string text = Human(structure);
    EXPECT_EQ(text.rfind("Damage found in the file's structure\n", 0), 0u) << text;
    EXPECT_NE(text.find("  pages lost at the tail: at least 4\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("0 events"), std::string::npos) << text;

    // The kinds listed add up to the count in the heading.
    DamageReport events;
    events.Report(Event(DamageKind::RowRejected, "T", 1, 1));
    events.Report(Event(DamageKind::RowRejected, "T", 1, 2));
    events.Report(Event(DamageKind::LongValueLoop, "T", 2, 0));
    const std::string listed = Human(events);
    EXPECT_EQ(listed.rfind("Damage found: 3 events\n", 0), 0u) << listed;
    EXPECT_NE(listed.find("  row-rejected: 2\n  long-value-loop: 1\n"), std::string::npos) << listed;
}

TEST(DamageSummary, WithheldRowsAndNotesAreToldApartFromDamage) {
    DamageReport report;
    report.SetTableFacts("Orders", 1, 30);
    report.AddTableRows("Orders", 10, 0, 0);
    report.AddWithheldRows("Orders", 11, 2, 1);
    report.AddNote("Orders", "the definition states 30 rows; 10 found on its pages");
    const std::string text = Human(report);
    EXPECT_EQ(text,
              "No damage found.\n"
              "Notes:\n"
              "  Orders: the definition states 30 rows; 10 found on its pages\n"
              "Not damage: 11 deleted rows and 2 rows of 1 pages no longer in use withheld (--include-deleted shows "
              "them)\n"
              "  Orders: 11 deleted rows, 2 rows of 1 pages no longer in use\n");
    const nlohmann::ordered_json json = DamageSummaryJson(report);
    EXPECT_EQ(json["events"], 0);
    ASSERT_EQ(json["notes"].size(), 1u);
    EXPECT_EQ(json["notes"][0]["table"], "Orders");
    EXPECT_EQ(json["tables"][0]["rowsDeleted"], 11);
}

TEST(DamageSummary, RowsWithDamagedValuesAreCountedOnTheTableLine) {
    DamageReport report;
    report.SetTableFacts("Notes", 2, 5);
    report.AddTableRows("Notes", 5, 0, 0, 2);
    report.Report(Event(DamageKind::LongValueBroken, "Notes", 9, 1));
    report.Report(Event(DamageKind::ValueUnreadable, "Notes", 9, 3));
    const std::string text = Human(report);
    EXPECT_NE(text.find("  Notes: rows found 5 of 5 stated, 0 unreadable, 2 with damaged values, pages 0 of 2 unreadable\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(DamageSummaryJson(report)["tables"][0]["rowsDamagedValues"], 2);
}

}  // namespace
}  // namespace pw
