// Long values of real files damaged on purpose (a long-value page wiped, a
// chain pointed back at itself, flag bytes of field headers flipped to
// nothing Access writes), then dumped and exported as CSV and into a new
// Access database: the three agree value for value, a damaged value is no
// value (or the part of it that was read), a damage event names each one, and
// no output holds the words a person sees in the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "pagestore/SlotTable.h"
#include "schema/ColumnTypes.h"
#include "schema/RowShape.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/Analysis.h"
#include "tests/support/CliRun.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

using exportsupport::FilesIn;
using exportsupport::ReadCsvStrictly;
using exportsupport::ReadText;
using json = nlohmann::json;

constexpr std::size_t kPage = 4096;

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U24(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16);
}

bool IsLongValuePage(const std::vector<std::uint8_t>& b, std::size_t page) {
    const std::size_t at = page * kPage;
    return b[at] == 0x01 && b[at + 4] == 'L' && b[at + 5] == 'V' && b[at + 6] == 'A' && b[at + 7] == 'L';
}

bool IsRowPage(const std::vector<std::uint8_t>& b, std::size_t page) {
    return b[page * kPage] == 0x01 && !IsLongValuePage(b, page);
}

// Where row `row` of a page starts, or 0 when its slot points off the page.
std::size_t RowStart(const std::vector<std::uint8_t>& b, std::size_t page, std::uint32_t row) {
    const std::size_t at = page * kPage;
    if (row >= U16(b, at + 12)) return 0;
    const std::uint32_t offset = U16(b, at + 14 + 2 * row) & 0x1FFF;
    return offset >= 14 && offset + 4 <= kPage ? at + offset : 0;
}

struct Damage {
    int wiped = 0, looped = 0, flipped = 0;
    bool Any() const { return wiped + looped + flipped > 0; }
};

// A memo or OLE field header in a row: its place and the first row it names.
struct FieldHeader {
    std::size_t at = 0;
    std::uint32_t flag = 0;
    std::uint32_t row = 0;
    std::size_t page = 0;
};

// The memo and OLE field headers of the tables' live rows that name a row of
// a long-value page, found through each row's own layout (so that no number
// that happens to look like a header is taken for one).
std::vector<FieldHeader> HeadersOf(const std::vector<std::uint8_t>& b, const std::vector<TableInfo>& tables) {
    std::vector<FieldHeader> found;
    const std::size_t pages = b.size() / kPage;
    for (const TableInfo& table : tables) {
        for (const std::int32_t number : table.dataPages) {
            const auto p = static_cast<std::size_t>(number);
            if (p == 0 || p >= pages || !IsRowPage(b, p)) continue;
            const ByteView page(b.data() + p * kPage, kPage);
            for (std::int32_t i = 0; i < static_cast<std::int32_t>(U16(b, p * kPage + 12)); ++i) {
                const SlotEntry slot = ReadSlot(page, i);
                RowShape shape;
                if (slot.deleted || slot.lookup || !ReadRowShape(page, slot, true, shape)) continue;
                for (const ColumnInfo& column : table.columns) {
                    const bool longValue =
                        column.typeCode == ColumnType::Memo || column.typeCode == ColumnType::OleObject;
                    const std::int32_t k = column.varIndex;
                    if (!longValue || column.calculated || k < 0 || k >= shape.VarCount()) continue;
                    if (!shape.MaskBit(page, column.columnNumber) || shape.VarLength(k) != 12) continue;
                    const std::size_t at =
                        p * kPage + static_cast<std::size_t>(shape.start + shape.varOffsets[k]);
                    const std::uint8_t flag = b[at + 3];
                    const std::size_t target = U24(b, at + 5);
                    if ((flag != 0x00 && flag != 0x40) || target >= pages || !IsLongValuePage(b, target))
                        continue;
                    if (RowStart(b, target, b[at + 4]) == 0) continue;
                    found.push_back({at, flag, b[at + 4], target});
                }
            }
        }
    }
    return found;
}

// Of the long-value pages the user tables' rows name: wipes the one named
// most, flips to a value Access never writes the flag bytes of up to three
// headers naming the next one, and points the first row of one chain back
// at itself.
Damage DamageLongValues(std::vector<std::uint8_t>& b, const std::vector<TableInfo>& tables) {
    Damage done;
    const std::vector<FieldHeader> headers = HeadersOf(b, tables);
    std::map<std::size_t, int> named;
    for (const FieldHeader& h : headers) ++named[h.page];
    std::vector<std::pair<int, std::size_t>> byUse;
    for (const auto& [page, count] : named) byUse.push_back({count, page});
    std::sort(byUse.rbegin(), byUse.rend());
    if (byUse.size() < 3) return done;
    const std::size_t wiped = byUse[0].second, flagged = byUse[1].second;
    std::set<std::size_t> flippedAt;
    for (const FieldHeader& h : headers) {
        if (h.page != flagged || done.flipped == 3) continue;
        b[h.at + 3] = 0x23;
        flippedAt.insert(h.at);
        ++done.flipped;
    }
    for (const FieldHeader& h : headers) {
        if (h.page == wiped || h.flag != 0x00 || flippedAt.count(h.at) != 0) continue;
        const std::size_t start = RowStart(b, h.page, h.row);
        b[start] = static_cast<std::uint8_t>(h.row);
        b[start + 1] = static_cast<std::uint8_t>(h.page);
        b[start + 2] = static_cast<std::uint8_t>(h.page >> 8);
        b[start + 3] = static_cast<std::uint8_t>(h.page >> 16);
        done.looped = 1;
        break;
    }
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(wiped * kPage),
              b.begin() + static_cast<std::ptrdiff_t>((wiped + 1) * kPage), 0);
    done.wiped = 1;
    return done;
}

bool IsPreviewWord(const std::string& text) {
    return text == "MEMO" || text == "OLEOBJECT" || text.rfind("Unhandled memo field flags", 0) == 0 ||
           text.rfind("Unhandled OLE field flag", 0) == 0;
}

// Every string anywhere in a JSON document.
void CollectStrings(const json& value, std::vector<std::string>& out) {
    if (value.is_string()) out.push_back(value.get<std::string>());
    if (value.is_array() || value.is_object())
        for (const auto& item : value) CollectStrings(item, out);
}

const json* TableNamed(const json& dump, const std::string& name) {
    for (const json& table : dump["tables"])
        if (table["name"] == name) return &table;
    return nullptr;
}

std::size_t ColumnIndex(const json& table, const std::string& column) {
    const json& columns = table["columns"];
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i]["name"] == column) return i;
    return columns.size();
}

// The records of a table's CSV file under the export folder, header first;
// empty when the table's file is not there under its own name.
std::vector<std::vector<std::string>> CsvRecords(const std::filesystem::path& folder,
                                                 const std::string& table) {
    const std::filesystem::path file = folder / (table + ".csv");
    if (!std::filesystem::exists(file)) return {};
    const auto doc = ReadCsvStrictly(ReadText(file));
    EXPECT_TRUE(doc.ok) << file;
    return doc.records;
}

std::filesystem::path OnlyFolderIn(const std::filesystem::path& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_directory()) return entry.path();
    return {};
}

std::filesystem::path DatabaseIn(const std::filesystem::path& dir) {
    for (const std::string& name : FilesIn(dir))
        if (std::filesystem::path(name).extension() == ".mdb") return dir / name;
    return {};
}

TEST(CorpusDamagedLongValues, EveryExportAgreesOnEachDamagedValueAndHoldsNoPreviewWords) {
    PW_REQUIRE_CORPUS();
    std::int64_t checkedEverywhere = 0;
    int filesReached = 0;
    std::set<std::string> problemsSeen;
    for (const CorpusFile& file : ListCorpusFiles()) {
        // Enough files to meet every kind of damage; encrypted ones hide their pages.
        if (filesReached == 6 || file.format == "error" || file.format == "JET3") continue;
        SCOPED_TRACE(file.name);
        std::vector<TableInfo> tables;
        {
            AnalysedFile intact(file.path);
            if (!intact.ok) continue;
            tables = intact.tables();
        }
        std::vector<std::uint8_t> bytes = ReadFile(file.path);
        const Damage damage = DamageLongValues(bytes, tables);
        if (!damage.Any()) continue;
        TempDir dir;
        const std::filesystem::path damaged = dir.path() / ("damaged" + file.path.extension().string());
        WriteFile(damaged, bytes);

        const CliResult dumped = RunPagewright(dir.path(), "dump " + ShellQuoted(damaged));
        const json dump = json::parse(dumped.out);
        // The wiped pages may hold only long values of rows long deleted.
        const bool reached = std::any_of(dump["tables"].begin(), dump["tables"].end(),
                                         [](const json& t) { return t.contains("damagedValues"); });
        if (!reached) continue;
        ++filesReached;
        ASSERT_EQ(dumped.exitCode, 3) << dumped.err;
        std::filesystem::create_directories(dir.path() / "csv");
        const CliResult csv = RunPagewright(
            dir.path(), "export " + ShellQuoted(damaged) + " --csv " + ShellQuoted(dir.path() / "csv"));
        ASSERT_EQ(csv.exitCode, 3) << csv.err;
        const std::filesystem::path csvFolder = OnlyFolderIn(dir.path() / "csv");
        const CliResult mdb = RunPagewright(
            dir.path(), "export " + ShellQuoted(damaged) + " --mdb " + ShellQuoted(dir.path() / "mdb"));
        ASSERT_EQ(mdb.exitCode, 3) << mdb.err;
        const CliResult back =
            RunPagewright(dir.path(), "dump " + ShellQuoted(DatabaseIn(dir.path() / "mdb")));
        ASSERT_EQ(back.exitCode, 0) << back.err;
        const json written = json::parse(back.out);

        // No word of the preview in any output.
        std::vector<std::string> strings;
        for (const json& table : dump["tables"]) CollectStrings(table["rows"], strings);
        for (const json& table : written["tables"]) CollectStrings(table["rows"], strings);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(csvFolder)) {
            if (entry.path().extension() != ".csv") continue;
            for (const auto& record : ReadCsvStrictly(ReadText(entry.path())).records)
                strings.insert(strings.end(), record.begin(), record.end());
        }
        for (const std::string& text : strings) EXPECT_FALSE(IsPreviewWord(text)) << text;

        // Each damaged value, as the dump lists it, in the three outputs.
        std::int64_t listed = 0;
        for (const json& table : dump["tables"]) {
            if (!table.contains("damagedValues")) continue;
            const json& damagedValues = table["damagedValues"];
            const std::string name = table["name"];
            ASSERT_EQ(damagedValues["count"], damagedValues["first"].size()) << name;
            const json* copy = TableNamed(written, name);
            ASSERT_NE(copy, nullptr) << name;
            const auto records = CsvRecords(csvFolder, name);
            for (const json& value : damagedValues["first"]) {
                ++listed;
                problemsSeen.insert(value["problem"].get<std::string>());
                const std::size_t record = value["record"];
                const std::size_t column = ColumnIndex(table, value["column"]);
                ASSERT_LT(record, table["rows"].size());
                const json& dumped = table["rows"][record][column];
                const json& stored = (*copy)["rows"].at(record).at(ColumnIndex(*copy, value["column"]));
                EXPECT_EQ(value["partial"].get<bool>(), !dumped.is_null()) << name << " " << value;
                if (dumped.is_null())
                    EXPECT_TRUE(stored.is_null()) << name << " " << value;
                else if (dumped.is_string())
                    EXPECT_EQ(stored, dumped) << name << " " << value;
                else
                    EXPECT_FALSE(stored.is_null()) << name << " " << value;
                if (!records.empty()) {
                    const std::string& field = records.at(record + 1).at(column);
                    if (dumped.is_null())
                        EXPECT_EQ(field, "") << name << " " << value;
                    else if (dumped.is_string())
                        EXPECT_EQ(field, dumped.get<std::string>()) << name;
                    else
                        EXPECT_NE(field, "") << name << " " << value;
                }
                ++checkedEverywhere;
            }
        }
        EXPECT_GT(listed, 0);
        // One event a damaged value, and nothing of them left in the copy.
        const json& byKind = dump["damage"]["byKind"];
        const std::int64_t events = byKind.value("long-value-broken", 0) +
                                    byKind.value("long-value-loop", 0) + byKind.value("value-unreadable", 0);
        EXPECT_EQ(events, listed);
        for (const json& table : written["tables"])
            EXPECT_FALSE(table.contains("damagedValues")) << table["name"];
    }
    EXPECT_GE(filesReached, 2);
    EXPECT_GT(checkedEverywhere, 0);
    EXPECT_TRUE(problemsSeen.count("pointer-broken")) << "no wiped page reached a value";
    EXPECT_TRUE(problemsSeen.count("unknown-flags")) << "no flipped flag reached a value";
    EXPECT_TRUE(problemsSeen.count("chain-loop")) << "no looped chain reached a value";
}

}  // namespace
}  // namespace pw::testing
