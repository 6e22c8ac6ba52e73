// Every corpus file exported into a new Access database, then read back two
// ways: by our own reader (every table, column and value against what we
// decoded from the original) and by mdbtools, a reader nobody here wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CliRun.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

using nlohmann::json;

// Expression columns hold their computed values in a wrapper; the new table
// keeps the values under the wrapper's type, so they are compared by neither
// reader (the corpus README lists them).
bool IsCalculatedColumn(const std::string& file, const std::string& column) {
    static const std::vector<std::string> calcField = {"LastFirst", "LastFirstLen", "MonthlySalary", "IsRich",
                                                       "AllNames", "WeeklySalary", "SalaryTest", "BoolTest",
                                                       "DecimalTest", "FloatTest", "BigNumTest"};
    if (file.find("calcFieldTestV2010") != std::string::npos)
        return std::find(calcField.begin(), calcField.end(), column) != calcField.end();
    return file.find("extDateTestV2019") != std::string::npos && column == "DateNormalCalc";
}

// mdbtools prints every character outside the Basic Multilingual Plane as
// "??"; the same text with them so replaced.
std::string AsMdbToolsPrintsIt(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xF0 && i + 3 < utf8.size() + 0) {
            out += "??";
            i += 3;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

struct Tally {
    std::int64_t tables = 0;
    std::int64_t values = 0;        // compared and equal
    std::int64_t oleUnwrapped = 0;  // OLE objects stored as their content
    std::int64_t mdbValues = 0;     // equal as mdbtools reads them
    std::int64_t mdbBinarySkipped = 0;
    std::int64_t mdbOldDates = 0;     // before 1900: mdbtools prints "1900-01-00"
    std::int64_t mdbAstral = 0;       // texts with characters past U+FFFF, equal once mdbtools' "??" is allowed for
    std::int64_t calculatedSkipped = 0;
    std::vector<std::string> mismatches;
};

void Mismatch(Tally& tally, const std::string& what) {
    if (tally.mismatches.size() < 400) tally.mismatches.push_back(what);
}

bool MdbToolsAvailable() { return std::system("command -v mdb-json >/dev/null 2>&1") == 0; }

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The type a column should have in the new database.
std::string ExpectedType(const std::string& original) {
    if (original == "COUNTER") return "LONG";
    if (original == "BIGINT") return "NUMERIC";
    if (original == "DATETIMEEXT") return "TEXT";
    return original;
}

std::string Normalised(const std::string& type) { return type == "COUNTER" ? "LONG" : type; }

bool IsEmptyText(const json& v) { return v.is_null() || (v.is_string() && v.get<std::string>().empty()); }

// A value of our dump against one of mdb-json.
bool SameAsMdb(const std::string& type, const json& ours, const json& theirs) {
    if (IsEmptyText(ours) || IsEmptyText(theirs)) return IsEmptyText(ours) && IsEmptyText(theirs);
    if (type == "BIT") return ours.get<bool>() == (theirs.is_boolean() ? theirs.get<bool>() : theirs.get<int>() != 0);
    if (type == "GUID") {
        std::string a = ours.get<std::string>(), b = theirs.get<std::string>();
        for (char& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return a == b;
    }
    if (type == "TEXT" || type == "MEMO" || type == "DATE") return theirs.is_string() && ours == theirs;
    // Numbers: mdbtools prints floats with fewer digits than they hold.
    const auto number = [](const json& v) {
        if (v.is_number()) return v.get<double>();
        if (v.is_string()) return std::strtod(v.get<std::string>().c_str(), nullptr);
        return std::nan("");
    };
    const double a = number(ours), b = number(theirs);
    if (a == b) return true;
    const double tolerance = type == "SINGLE" ? 1e-6 : 1e-9;
    return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

void CompareWithMdbTools(const std::string& file, const std::filesystem::path& database, const json& table,
                         const std::string& newName, const std::filesystem::path& work, Tally& tally) {
    const auto out = work / "mdb.json";
    const std::string command = "mdb-json -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " + ShellQuoted(database) +
                                " " + ShellQuoted(newName) + " >" + ShellQuoted(out) + " 2>/dev/null";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Mismatch(tally, "mdb-json cannot read table " + newName);
        return;
    }
    std::istringstream lines(Slurp(out));
    std::string line;
    std::size_t r = 0;
    const json& rows = table["rows"];
    const json& columns = table["columns"];
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const json theirs = json::parse(line, nullptr, false);
        if (theirs.is_discarded() || r >= rows.size()) {
            Mismatch(tally, newName + ": mdb-json row " + std::to_string(r) + " unreadable or extra");
            ++r;
            continue;
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string type = ExpectedType(columns[c]["type"].get<std::string>());
            const std::string name = columns[c]["name"].get<std::string>();
            if (type == "BINARY" || type == "OLEOBJECT" || type == "COMPLEX") {
                ++tally.mdbBinarySkipped;
                continue;
            }
            if (IsCalculatedColumn(file, name)) continue;
            const json ours = rows[r][c];
            const json value = theirs.contains(name) ? theirs[name] : json();
            if (SameAsMdb(type, ours, value)) {
                ++tally.mdbValues;
            } else if (type == "DATE" && ours.is_string() && ours.get<std::string>() < "1900-01-01" &&
                       value.is_string() && value.get<std::string>().rfind("1900-01-00", 0) == 0) {
                ++tally.mdbOldDates;
            } else if (ours.is_string() && value.is_string() && AsMdbToolsPrintsIt(ours.get<std::string>()) == value) {
                ++tally.mdbAstral;
            }
            else
                Mismatch(tally, newName + "." + name + " row " + std::to_string(r) + ": ours " + ours.dump() +
                                     ", mdb-json " + value.dump());
        }
        ++r;
    }
    if (r != rows.size())
        Mismatch(tally, newName + ": mdb-json gives " + std::to_string(r) + " rows of " + std::to_string(rows.size()));
}

void CompareTable(const std::string& file, const json& original, const json& written, Tally& tally) {
    const std::string name = written["name"].get<std::string>();
    std::vector<std::size_t> kept;  // original columns the new table has
    const json& columns = original["columns"];
    std::size_t w = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c]["type"] == "COMPLEX") continue;  // attachments are left out of the new table
        if (w >= written["columns"].size()) {
            Mismatch(tally, name + ": column " + columns[c]["name"].dump() + " missing");
            return;
        }
        const json& wc = written["columns"][w++];
        const bool typeKept = IsCalculatedColumn(file, columns[c]["name"].get<std::string>()) ||
                              Normalised(wc["type"].get<std::string>()) ==
                                  ExpectedType(Normalised(columns[c]["type"].get<std::string>()));
        if (wc["name"] != columns[c]["name"] || !typeKept)
            Mismatch(tally, name + ": column " + columns[c].dump() + " became " + wc.dump());
        kept.push_back(c);
    }
    const json& rows = original["rows"];
    if (rows.size() != written["rows"].size()) {
        Mismatch(tally, name + ": " + std::to_string(written["rows"].size()) + " rows of " + std::to_string(rows.size()));
        return;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t k = 0; k < kept.size(); ++k) {
            const json& a = rows[r][kept[k]];
            const json& b = written["rows"][r][k];
            const std::string type = columns[kept[k]]["type"].get<std::string>();
            if (IsCalculatedColumn(file, columns[kept[k]]["name"].get<std::string>())) {
                ++tally.calculatedSkipped;
                continue;
            }
            if (a == b || (IsEmptyText(a) && IsEmptyText(b))) {
                ++tally.values;
            } else if (type == "OLEOBJECT" && a.is_object() && b.is_object() && b["len"] <= a["len"]) {
                ++tally.oleUnwrapped;
            } else if (type == "BIGINT" && a.is_string() && b.is_string() && a == b) {
                ++tally.values;
            } else {
                Mismatch(tally, name + "." + columns[kept[k]]["name"].get<std::string>() + " row " + std::to_string(r) +
                                    ": " + a.dump() + " became " + b.dump());
            }
        }
    }
}

json Dump(const std::filesystem::path& work, const std::filesystem::path& file) {
    const CliResult dump = RunPagewright(work, "dump " + ShellQuoted(file));
    if (dump.exitCode != 0 && dump.exitCode != 3) return json();
    return json::parse(dump.out, nullptr, false);
}

TEST(CorpusAccessExport, EveryFileReadsBackEqualThroughOurReaderAndMdbTools) {
    PW_REQUIRE_CORPUS();
    if (!MdbToolsAvailable()) {
        if (RunningInCi()) FAIL() << "mdbtools is not installed (scripts/install-deps.sh installs it)";
        GTEST_SKIP() << "mdbtools is not installed";
    }
    Tally tally;
    std::int64_t files = 0;
    for (const CorpusFile& file : ListCorpusFiles()) {
        if (file.format == "error" || file.format == "JET3") continue;
        TempDir work;
        const json original = Dump(work.path(), file.path);
        if (!original.is_object() || !original.contains("tables") || original["tables"].empty()) continue;
        const CliResult run = RunPagewright(work.path(), "export " + ShellQuoted(file.path) + " --mdb " +
                                                             ShellQuoted(work / "out"));
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 3 || run.exitCode == 1) << file.name << "\n" << run.err;
        std::filesystem::path written;
        for (const auto& entry : std::filesystem::directory_iterator(work / "out"))
            if (entry.path().extension() == ".mdb") written = entry.path();
        ASSERT_FALSE(written.empty()) << file.name;
        ASSERT_EQ(written.extension(), ".mdb");
        const json back = Dump(work.path(), written);
        ASSERT_TRUE(back.is_object() && back.contains("tables")) << file.name << ": our reader cannot read " << written;
        ++files;

        // Tables refused by the engine (a column of unknown type) are absent;
        // every other one follows in export order.
        std::map<std::string, json> byName;
        for (const json& t : back["tables"]) byName[t["name"].get<std::string>()] = t;
        std::map<std::string, int> seen;
        for (const json& t : original["tables"]) {
            const std::string name = t["name"].get<std::string>();
            const int n = ++seen[name];
            const std::string newName = n == 1 ? name : name + " (" + std::to_string(n) + ")";
            bool unknownType = false;
            for (const json& c : t["columns"])
                if (c["type"].get<std::string>().rfind("UNKNOWN", 0) == 0 &&
                    c["type"].get<std::string>() != "DATETIMEEXT")
                    unknownType = true;
            const auto found = byName.find(newName);
            if (found == byName.end()) {
                if (!unknownType) Mismatch(tally, file.name + ": table " + newName + " missing");
                continue;
            }
            ++tally.tables;
            const std::size_t before = tally.mismatches.size();
            CompareTable(file.name, t, found->second, tally);
            CompareWithMdbTools(file.name, written, t, newName, work.path(), tally);
            for (std::size_t k = before; k < tally.mismatches.size(); ++k)
                tally.mismatches[k] = file.name + ": " + tally.mismatches[k];
        }
    }
    std::cout << "Exported " << files << " files, " << tally.tables << " tables: " << tally.values
              << " values read back equal by our reader (" << tally.oleUnwrapped
              << " OLE objects stored as their content), " << tally.mdbValues << " equal as mdb-json reads them ("
              << tally.mdbBinarySkipped << " binary and OLE values not compared: mdbtools cuts them at a zero byte; "
              << tally.mdbOldDates << " dates before 1900 that mdbtools prints as 1900-01-00; " << tally.mdbAstral
              << " texts equal but for mdbtools' ?? in place of characters past U+FFFF); " << tally.calculatedSkipped
              << " values of expression columns not compared" << std::endl;
    for (const std::string& m : tally.mismatches) ADD_FAILURE() << m;
    EXPECT_GT(files, 60);
}


// Damaged copies exported to a new database: whatever the salvage gets out of
// them lands in a file both readers open whole.
TEST(CorpusAccessExport, DamagedCopiesGiveDatabasesBothReadersOpen) {
    PW_REQUIRE_CORPUS();
    if (!MdbToolsAvailable()) {
        if (RunningInCi()) FAIL() << "mdbtools is not installed (scripts/install-deps.sh installs it)";
        GTEST_SKIP() << "mdbtools is not installed";
    }
    const std::vector<std::string> names = {"northwind_a.mdb", "andipaetzold__test_data_V2000_test.mdb",
                                            "jahlborn__src_test_data_V2010_complexDataTestV2010.accdb"};
    int exported = 0;
    for (const std::string& name : names) {
        const std::filesystem::path source = CorpusDir() / "files" / name;
        if (!std::filesystem::exists(source)) continue;
        const std::vector<std::uint8_t> original = ReadFile(source);
        const std::size_t pages = original.size() / 4096;
        for (int variant = 0; variant < 4; ++variant) {
            std::vector<std::uint8_t> bytes = original;
            switch (variant) {
                case 0: bytes = CutStart(bytes, 5000); break;  // the header and part of page 1
                case 1:
                    for (std::size_t p = 6; p < pages; p += 5) ZeroPage(bytes, static_cast<std::int32_t>(p));
                    break;
                case 2:
                    for (std::size_t i = 4096; i < bytes.size(); i += 997) FlipByte(bytes, i, 0x5A);
                    break;
                case 3: bytes.resize(bytes.size() * 2 / 3); break;  // the tail lost
            }
            TempDir work;
            WriteFile(work / "damaged.mdb", bytes);
            const CliResult run =
                RunPagewright(work.path(), "export " + ShellQuoted(work / "damaged.mdb") + " --mdb " + ShellQuoted(work / "out"));
            ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1 || run.exitCode == 2 || run.exitCode == 3)
                << name << " variant " << variant << ": exit " << run.exitCode << "\n" << run.err;
            if (run.exitCode == 2) continue;  // refused: nothing to write
            std::filesystem::path written;
            for (const auto& entry : std::filesystem::directory_iterator(work / "out"))
                if (entry.path().extension() == ".mdb") written = entry.path();
            ASSERT_FALSE(written.empty()) << name << " variant " << variant;
            const CliResult back = RunPagewright(work.path(), "dump " + ShellQuoted(written));
            EXPECT_EQ(back.exitCode, 0) << name << " variant " << variant << ": our reader finds damage in the new file\n"
                                        << back.err;
            const std::string tables = "mdb-tables -1 " + ShellQuoted(written) + " >/dev/null 2>&1";
            EXPECT_EQ(std::system(tables.c_str()), 0) << name << " variant " << variant;
            ++exported;
        }
    }
    EXPECT_GT(exported, 4);
}
}  // namespace
}  // namespace pw::testing
