// Damage met by a walk over the rows is reported where it is: the kind, the
// page and slot, the table. Built files are damaged byte by byte, the way
// real files are, and every walk still goes to its end.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>

#include "records/RowWalk.h"
#include "status/DamageReport.h"
#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/ShopSample.h"

namespace pw::testing {
namespace {

constexpr std::size_t kPage = 4096;

class WalkDamage : public ::testing::Test {
protected:
    std::unique_ptr<AnalysedFile> Analyse(const std::vector<std::uint8_t>& bytes) {
        const auto path = dir.path() / ("file" + std::to_string(++files) + ".mdb");
        WriteFile(path, bytes);
        auto file = std::make_unique<AnalysedFile>(path);
        EXPECT_TRUE(file->ok);
        return file;
    }

    // Walks every table; returns the events of the walks alone.
    static std::vector<DamageEvent> WalkAll(AnalysedFile& file, std::vector<TableTally>* tallies = nullptr) {
        DamageReport report;
        RunControl run = file.control();
        run.damage = &report;
        for (const TableInfo& table : file.tables()) {
            TableTally tally;
            const WalkOutcome outcome =
                ForEachRow(file.analysis.pages(), table, run, [](const WalkedRow&) { return true; }, {}, &tally);
            EXPECT_NE(outcome, WalkOutcome::Stopped);
            if (tallies != nullptr) tallies->push_back(tally);
        }
        return report.KeptEvents();
    }

    static void SetWord(std::vector<std::uint8_t>& bytes, std::int32_t page, std::size_t offset, std::uint16_t value) {
        bytes[static_cast<std::size_t>(page) * kPage + offset] = static_cast<std::uint8_t>(value);
        bytes[static_cast<std::size_t>(page) * kPage + offset + 1] = static_cast<std::uint8_t>(value >> 8);
    }

    static std::int32_t GetWord(const std::vector<std::uint8_t>& bytes, std::int32_t page, std::size_t offset) {
        const std::size_t at = static_cast<std::size_t>(page) * kPage + offset;
        return bytes[at] | (bytes[at + 1] << 8);
    }

    TempDir dir;
    int files = 0;
};

TEST_F(WalkDamage, ASlotPointingPastItsRowIsPlacedBetweenItsNeighboursAndReported) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Parts", {Column("Id", type::kLong), Column("Name", type::kText, 50)});
    for (int i = 1; i <= 4; ++i) db.AddRow(t, {Long(i), Text("part " + std::to_string(i))});
    auto bytes = db.Build();
    const std::int32_t page = db.DataPages(t)[0];
    // Slot 2 starts after the end its neighbour gives it: believed, it would
    // cut its own row and the one after it wrongly.
    SetWord(bytes, page, 14 + 2 * 2, 0x1FF0);
    auto file = Analyse(bytes);
    std::vector<TableTally> tallies;
    const std::vector<DamageEvent> events = WalkAll(*file, &tallies);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DamageKind::SlotOutsidePage);
    EXPECT_EQ(events[0].page, page);
    EXPECT_EQ(events[0].slot, 2);
    EXPECT_EQ(events[0].table, "Parts");
    EXPECT_EQ(tallies.back().rowsFound, 4);
    EXPECT_EQ(tallies.back().rowsUnreadable, 0);
    std::vector<std::string> names;
    ForEachRow(file->analysis.pages(), *file->Find("Parts"), {}, [&](const WalkedRow& row) {
        if (row.IsRecord()) names.push_back(row.cells[1].text);
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"part 1", "part 2", "part 3", "part 4"}));
}

TEST_F(WalkDamage, SlotsThatCannotBePlacedAreUnreadableAndTheRestStay) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Parts", {Column("Id", type::kLong), Column("Name", type::kText, 50)});
    for (int i = 1; i <= 4; ++i) db.AddRow(t, {Long(i), Text("part " + std::to_string(i))});
    auto bytes = db.Build();
    const std::int32_t page = db.DataPages(t)[0];
    // Slot 1 out of order, and the rows it stood between wiped: no boundary
    // makes both rows read, so neither is made up.
    const std::int32_t s0 = GetWord(bytes, page, 14) & 0x1FFF;
    const std::int32_t s2 = GetWord(bytes, page, 18) & 0x1FFF;
    SetWord(bytes, page, 16, 0x1FF0);
    for (std::int32_t at = s2; at < s0; ++at) bytes[static_cast<std::size_t>(page) * kPage + static_cast<std::size_t>(at)] = 0xEE;
    auto file = Analyse(bytes);
    std::vector<TableTally> tallies;
    WalkAll(*file, &tallies);
    EXPECT_EQ(tallies.back().rowsFound, 2);
    EXPECT_EQ(tallies.back().rowsUnreadable, 2);
}

TEST_F(WalkDamage, AMemoWhoseNeighboursEntryIsDamagedEndsWhereItsLengthSays) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Notes", {Column("Id", type::kLong), Column("Note", type::kMemo)});
    const std::string first(300, 'a');
    const std::string second(200, 'b');
    db.AddRow(t, {Long(1), db.Memo(first, testing::TextStorage::Compressed, {testing::LongValueForm::SingleRow})});
    db.AddRow(t, {Long(2), db.Memo(second, testing::TextStorage::Compressed, {testing::LongValueForm::SingleRow})});
    auto bytes = db.Build();
    ASSERT_EQ(db.LongValuePages().size(), 1u);
    // The first memo's entry points past the page: the second memo's row
    // ends where that entry says, so its end is lost with it.
    SetWord(bytes, db.LongValuePages()[0], 14, 0x1FF0);
    auto file = Analyse(bytes);
    std::vector<std::string> notes;
    ForEachRow(file->analysis.pages(), *file->Find("Notes"), {}, [&](const WalkedRow& row) {
        if (row.IsRecord()) notes.push_back(row.cells[1].value.text);
        return true;
    });
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0], first);  // its own row is gone
    EXPECT_EQ(notes[1], second);
}

// One bit of a row's layout words (column count, variable count, an offset)
// flipped: the bit is undone and the row read whole, once it is the only bit
// that gives a layout filling the row. Two flips are past mending.
class FlippedLayout : public WalkDamage {
protected:
    void SetUp() override {
        const auto t = db.AddTable("Parts", {Column("Id", type::kLong), Column("Name", type::kText, 50),
                                             Column("Note", type::kText, 50), Column("City", type::kText, 50)});
        for (int i = 1; i <= 3; ++i)
            db.AddRow(t, {Long(i), Text("part " + std::to_string(i)), Text("note " + std::to_string(i)),
                          Text("city " + std::to_string(i))});
        bytes = db.Build();
        page = db.DataPages(t)[0];
        // Slot 1's row: its start from the slot table, its end one byte
        // before slot 0's row starts.
        start = static_cast<std::size_t>(GetWord(bytes, page, 16) & 0x1FFF);
        end = static_cast<std::size_t>(GetWord(bytes, page, 14) & 0x1FFF) - 1;
    }

    void Flip(std::size_t rowByte, std::uint8_t bits) { bytes[static_cast<std::size_t>(page) * kPage + rowByte] ^= bits; }
    // One mask byte for four columns; the variable count before it, then
    // the offsets, the first nearest.
    std::size_t VariableCountByte() const { return end - 2; }
    std::size_t OffsetHighByte(int k) const { return end - 3 - 2 * static_cast<std::size_t>(k); }

    std::vector<std::string> Slot1Cells(std::vector<DamageEvent>& events) {
        auto file = Analyse(bytes);
        DamageReport report;
        RunControl run = file->control();
        run.damage = &report;
        std::vector<std::string> cells;
        ForEachRow(file->analysis.pages(), file->tables().front(), run, [&](const WalkedRow& row) {
            if (row.slot == 1 && row.kind == SlotKind::Live)
                for (const CellValue& c : row.cells) cells.push_back(c.text);
            return true;
        });
        events = report.KeptEvents();
        return cells;
    }

    DatabaseBuilder db;
    std::vector<std::uint8_t> bytes;
    std::int32_t page = 0;
    std::size_t start = 0;
    std::size_t end = 0;
};

TEST_F(FlippedLayout, OneFlippedBitOfTheColumnCountVariableCountOrAnOffsetIsUndone) {
    const std::vector<std::string> whole{"2", "part 2", "note 2", "city 2"};
    const std::vector<std::pair<std::size_t, std::uint8_t>> flips{
        {start + 1, 0x40},                 // 16388 columns
        {VariableCountByte(), 0x02},       // one variable value stated of three
        {VariableCountByte(), 0x10},       // nineteen
        {OffsetHighByte(1), 0x80},         // the second value would start past the data
        {OffsetHighByte(2), 0x01},         // the third 256 bytes on
    };
    for (const auto& [at, bits] : flips) {
        SCOPED_TRACE(::testing::Message() << "byte " << at - start << " of the row, bits " << int(bits));
        const std::vector<std::uint8_t> intact = bytes;
        Flip(at, bits);
        std::vector<DamageEvent> events;
        EXPECT_EQ(Slot1Cells(events), whole);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, DamageKind::RowRepaired);
        EXPECT_EQ(events[0].page, page);
        EXPECT_EQ(events[0].slot, 1);
        bytes = intact;
    }
}

TEST_F(FlippedLayout, TwoFlippedBitsLeaveTheRowRejected) {
    Flip(start + 1, 0x40);
    Flip(OffsetHighByte(1), 0x80);
    std::vector<DamageEvent> events;
    EXPECT_TRUE(Slot1Cells(events).empty());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DamageKind::RowRejected);
    EXPECT_EQ(events[0].reason, "row states more columns than the table has");
}

TEST_F(FlippedLayout, AnOffsetOutOfOrderIsNeverReadAsEmptyValues) {
    // Two bits of the second offset: no single bit mends it, and the row is
    // rejected rather than given with two values missing.
    Flip(OffsetHighByte(1), 0x81);
    std::vector<DamageEvent> events;
    EXPECT_TRUE(Slot1Cells(events).empty());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DamageKind::RowRejected);
    EXPECT_EQ(events[0].reason, "variable offsets run backwards");
}

TEST_F(WalkDamage, LongValuePointersThatLeadNowhereAreReportedAtTheirRow) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Notes", {Column("Id", type::kLong), Column("Body", type::kMemo)});
    LongValueOptions single;
    single.form = LongValueForm::SingleRow;
    LongValueOptions chain;
    chain.form = LongValueForm::Chain;
    chain.pieceSize = 1000;
    chain.pagePerRow = true;
    db.AddRow(t, {Long(1), db.Memo(std::string(1500, 'a'), TextStorage::Ucs2, single)});
    db.AddRow(t, {Long(2), db.Memo(std::string(3000, 'b'), TextStorage::Compressed, chain)});
    db.AddRow(t, {Long(3), db.Memo("inline", TextStorage::Ucs2)});
    auto bytes = db.Build();
    const std::vector<std::int32_t> longValuePages = db.LongValuePages();
    ASSERT_GE(longValuePages.size(), 3u);
    // Lose the single row's page and the second page of the chain.
    ZeroPage(bytes, longValuePages[0]);
    ZeroPage(bytes, longValuePages[2]);
    auto file = Analyse(bytes);
    const std::vector<DamageEvent> events = WalkAll(*file);
    ASSERT_EQ(events.size(), 2u);
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, DamageKind::LongValueBroken);
        EXPECT_EQ(events[i].page, db.DataPages(t)[0]);
        EXPECT_EQ(events[i].slot, static_cast<std::int32_t>(i));
        EXPECT_EQ(events[i].table, "Notes");
    }
}

TEST_F(WalkDamage, ADateOutsideTheCalendarIsAValueOutOfRange) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Days", {Column("Id", type::kLong), Column("At", type::kDate)});
    db.AddRow(t, {Long(1), Date(45000.5)});
    db.AddRow(t, {Long(2), Date(1e300)});
    db.AddRow(t, {Long(3), Date(std::numeric_limits<double>::quiet_NaN())});
    auto file = Analyse(db.Build());
    const std::vector<DamageEvent> events = WalkAll(*file);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, DamageKind::ValueOutOfRange);
    EXPECT_EQ(events[0].slot, 1);
    EXPECT_EQ(events[1].slot, 2);
}

TEST_F(WalkDamage, APageCutShortByTheEndOfTheFileIsReportedAndStillWalked) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Parts", {Column("Id", type::kLong)});
    for (int i = 1; i <= 10; ++i) db.AddRow(t, {Long(i)});
    auto bytes = db.Build();
    const std::int32_t page = db.DataPages(t)[0];
    ASSERT_EQ(static_cast<std::size_t>(page + 1) * kPage, bytes.size()) << "the data page must be the last";
    // The first rows sit at the end of the page: cut the file after the slot
    // table but before the rows, and again inside the rows.
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 100);
    auto file = Analyse(cut);
    std::vector<TableTally> tallies;
    const std::vector<DamageEvent> events = WalkAll(*file, &tallies);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, DamageKind::PageUnreadable);
    EXPECT_EQ(events[0].page, page);
    EXPECT_EQ(tallies.back().pagesUnreadable, 1);
}

// Random bytes flipped anywhere in the data and long-value pages of the
// sample: every walk ends, and every event names a page of the walked table
// (or a long-value page reached from it), a slot on it and a kind.
TEST_F(WalkDamage, RandomFlipsAcrossWholeWalksGiveEventsWithTheirPlace) {
    const ShopSample sample = BuildShopSample();
    auto intact = Analyse(sample.intact);
    std::set<std::int32_t> dataPages;
    for (const TableInfo& table : intact->tables()) dataPages.insert(table.dataPages.begin(), table.dataPages.end());
    std::vector<std::int32_t> targets(dataPages.begin(), dataPages.end());
    targets.insert(targets.end(), sample.longValuePages.begin(), sample.longValuePages.end());
    EXPECT_TRUE(WalkAll(*intact).empty());

    std::mt19937 random(20261208);
    int withEvents = 0;
    for (int round = 0; round < 60; ++round) {
        auto bytes = sample.intact;
        for (int flip = 0; flip < 12; ++flip) {
            // The sample's rows fill little of each page: the flips go to the
            // slot tables and to the rows at the pages' ends.
            const std::int32_t page = targets[random() % targets.size()];
            const std::size_t offset = flip % 2 == 0 ? 14 + random() % 64 : kPage - 1 - random() % 1024;
            bytes[static_cast<std::size_t>(page) * kPage + offset] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        const auto path = dir.path() / "flipped.mdb";
        WriteFile(path, bytes);
        AnalysedFile file(path);
        if (!file.ok) continue;
        const std::vector<DamageEvent> events = WalkAll(file);
        if (!events.empty()) ++withEvents;
        for (const DamageEvent& event : events) {
            SCOPED_TRACE(std::string(DamageKindName(event.kind)) + ": " + event.reason);
            ASSERT_FALSE(event.table.empty());
            const TableInfo* table = file.Find(event.table);
            ASSERT_NE(table, nullptr);
            EXPECT_NE(std::find(table->dataPages.begin(), table->dataPages.end(), event.page),
                      table->dataPages.end());
            EXPECT_GE(event.slot, 0);
            EXPECT_NE(std::string(DamageKindName(event.kind)), "unknown");
        }
    }
    EXPECT_GT(withEvents, 10);
}

}  // namespace
}  // namespace pw::testing
