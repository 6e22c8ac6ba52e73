#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/CliRun.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPage = 4096;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A file the recognition takes for a 4096-byte database: its six signature
// pages (a header that names itself), then two data pages of the catalog and
// a page of an unknown type.
Bytes Jet4File() {
    Bytes b(9 * kPage, 0);
    const char kTitle[] = "Standard Jet DB";
    std::copy(kTitle, kTitle + sizeof kTitle - 1, b.begin() + 4);
    b[0x14] = 1;
    const std::uint16_t word2[6] = {0x0000, 0x0042, 0x0BDE, 0x0EA9, 0x0DEB, 0x0CCB};
    for (std::size_t n = 0; n < 6; ++n) {
        Put16(b, n * kPage, n == 0 ? 0x0100 : n == 1 ? 0x0101 : 0x0102);
        Put16(b, n * kPage + 2, word2[n]);
    }
    b[6 * kPage] = 1;
    b[6 * kPage + 4] = 2;
    b[7 * kPage] = 1;
    b[7 * kPage + 4] = 2;
    b[8 * kPage] = 0x80;
    return b;
}

// The same start with 2048-byte pages (Jet 3).
Bytes Jet3File() {
    Bytes b(8 * 2048, 0);
    Put16(b, 0, 0x0100);
    Put16(b, 2048, 0x0101);
    for (std::size_t n = 2; n < 6; ++n) {
        Put16(b, n * 2048, 0x0102);
        Put16(b, n * 2048 + 2, 0x4356);
    }
    return b;
}

std::string Quoted(const std::string& text) { return pw::testing::ShellQuoted(text); }

using pw::testing::CliResult;

class InfoCommand : public ::testing::Test {
protected:
    CliResult Run(const std::string& arguments) { return pw::testing::RunPagewright(dir.path(), "info " + arguments); }

    std::string Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir / name;
        pw::testing::WriteFile(path, bytes);
        return path.string();
    }

    pw::testing::TempDir dir;
};

TEST_F(InfoCommand, DescribesARecognisedFileAsJson) {
    const std::string path = Write("Shop.mdb", Jet4File());
    const CliResult r = Run("--json " + Quoted(path));
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const nlohmann::json info = nlohmann::json::parse(r.out, nullptr, /*allow_exceptions=*/false);
    ASSERT_TRUE(info.is_object()) << r.out;
    std::vector<std::string> keys;
    for (auto it = info.begin(); it != info.end(); ++it) keys.push_back(it.key());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"damage", "file", "fileSize", "format", "pageOneOffset", "pageTypes",
                                              "pages", "scan"}));
    EXPECT_EQ(info["file"], path);
    EXPECT_EQ(info["format"], "MS-Access 2003/2000");
    EXPECT_EQ(info["fileSize"], 9 * 4096);
    EXPECT_EQ(info["pages"], 9);
    EXPECT_EQ(info["pageOneOffset"], 4096);
    EXPECT_EQ(info["scan"], "standard");
    EXPECT_EQ(info["pageTypes"], (nlohmann::json{{"-128", 1}, {"0", 1}, {"1", 3}, {"2", 4}}));
}

TEST_F(InfoCommand, AFileWithoutItsStartIsScannedFromPageOne) {
    const Bytes intact = Jet4File();
    const std::string path = Write("cut.accdb", Bytes(intact.begin() + 1000, intact.end()));
    const CliResult r = Run("--json " + Quoted(path));
    // Page 0 went with the cut: recovered with losses.
    ASSERT_EQ(r.exitCode, 3) << r.err;
    const nlohmann::json info = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(info.is_object()) << r.out;
    EXPECT_EQ(info["format"], "MS-Access 2007");
    EXPECT_EQ(info["scan"], "shifted");
    EXPECT_EQ(info["pageOneOffset"], 3096);
    EXPECT_EQ(info["pages"], 8);  // the absent page 0 is not counted
    EXPECT_EQ(info["pageTypes"], (nlohmann::json{{"-128", 1}, {"1", 3}, {"2", 4}}));
}

TEST_F(InfoCommand, RefusalsExitWithTwoAndTheSystemsMessage) {
    const CliResult jet3 = Run(Quoted(Write("old.mdb", Jet3File())));
    EXPECT_EQ(jet3.exitCode, 2);
    EXPECT_NE(jet3.err.find("File format not Supported."), std::string::npos) << jet3.err;
    EXPECT_EQ(jet3.out, "");

    const CliResult zeros = Run("--json " + Quoted(Write("zeros.mdb", Bytes(10 * kPage, 0))));
    EXPECT_EQ(zeros.exitCode, 2);
    EXPECT_NE(zeros.err.find(" This file is highly corrupted and cannot be recovered. "), std::string::npos)
        << zeros.err;
    EXPECT_EQ(zeros.out, "");
}

TEST_F(InfoCommand, AMissingFileExitsWithOneAndNamesThePath) {
    const std::string missing = (dir / "no such file.mdb").string();
    const CliResult r = Run(Quoted(missing));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(InfoCommand, TheTextSummaryNamesScanAndPageTypes) {
    const CliResult r = Run("-q " + Quoted(Write("Shop.mdb", Jet4File())));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("MS-Access 2003/2000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("standard scan"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-128 (unknown): 1"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pw

namespace pw {
namespace {

class InfoDamage : public ::testing::Test {
protected:
    pw::testing::TempDir dir;
};

TEST_F(InfoDamage, RowsThatDoNotFitAreCountedPerTableInTheJsonAndOnStderr) {
    pw::testing::DatabaseBuilder db;
    const auto t = db.AddTable("Parts", {pw::testing::Column("Id", pw::testing::type::kLong)});
    db.AddRow(t, {pw::testing::Long(1)});
    db.AddRawRow(t, Bytes(6, 0xFF));  // states 65535 columns
    db.AddRow(t, {pw::testing::Long(3)});
    const fs::path path = dir / "parts.mdb";
    pw::testing::WriteFile(path, db.Build());

    const CliResult r = pw::testing::RunPagewright(dir.path(), "info --json " + Quoted(path.string()));
    ASSERT_EQ(r.exitCode, 3) << r.err;  // a row lost to damage
    const nlohmann::json info = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(info.is_object()) << r.out;
    const nlohmann::json& damage = info["damage"];
    EXPECT_EQ(damage["events"], 1);
    EXPECT_EQ(damage["byKind"], (nlohmann::json{{"row-rejected", 1}}));
    nlohmann::json parts;
    for (const auto& table : damage["tables"])
        if (table["name"] == "Parts") parts = table;
    ASSERT_TRUE(parts.is_object()) << damage.dump();
    EXPECT_EQ(parts["rowsFound"], 2);
    EXPECT_EQ(parts["rowsUnreadable"], 1);
    EXPECT_EQ(parts["rowsStated"], 3);
    EXPECT_EQ(parts["pagesOwned"], 1);
    EXPECT_EQ(damage["firstEvents"][0]["kind"], "row-rejected");
    EXPECT_EQ(damage["firstEvents"][0]["slot"], 1);
    EXPECT_NE(r.err.find("Damage found: 1 events"), std::string::npos) << r.err;
}

TEST_F(InfoDamage, AnIntactFileReportsNoDamage) {
    pw::testing::DatabaseBuilder db;
    const auto t = db.AddTable("Parts", {pw::testing::Column("Id", pw::testing::type::kLong)});
    db.AddRow(t, {pw::testing::Long(1)});
    const fs::path path = dir / "parts.mdb";
    pw::testing::WriteFile(path, db.Build());
    const CliResult r = pw::testing::RunPagewright(dir.path(), "info " + Quoted(path.string()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("No damage found."), std::string::npos) << r.err;
}

TEST_F(InfoDamage, APathThatIsNotUtf8StillGivesValidJson) {
    pw::testing::DatabaseBuilder db;
    db.AddTable("Parts", {pw::testing::Column("Id", pw::testing::type::kLong)});
    const fs::path path = dir / std::string("caf\xE9\xFF.mdb");
    pw::testing::WriteFile(path, db.Build());
    for (const char* command : {"info --json ", "tables --json -q ", "schema --json -q ", "dump "}) {
        const CliResult r = pw::testing::RunPagewright(dir.path(), command + Quoted(path.string()));
        ASSERT_EQ(r.exitCode, 0) << command << r.err;
        const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_TRUE(doc.is_object()) << command << r.out;
        EXPECT_EQ(doc["file"], (dir / "caf\xEF\xBF\xBD\xEF\xBF\xBD.mdb").string()) << command;
    }
}

}  // namespace
}  // namespace pw

namespace pw {
namespace {

// Every refusal gives the system's message and, on its own line, a reason a
// person can act on; all of them exit with 2.
TEST(RefusalReasons, EachRefusedFileSaysWhy) {
    pw::testing::TempDir dir;
    Bytes header(4 * kPage, 0);
    Put16(header, 0, 0x0100);
    const char* ace = "Standard ACE DB";
    std::copy(ace, ace + 15, header.begin() + 4);
    std::size_t at = 711;  // UTF-16, where such headers keep it
    for (char c : std::string("Microsoft Enhanced Cryptographic Provider v1.0")) {
        header[at] = static_cast<std::uint8_t>(c);
        at += 2;
    }
    Bytes cipher = header;
    cipher.resize(12 * kPage, 0x5A);  // what enciphered pages look like: no page structure

    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty.mdb", {}, " This file is highly corrupted and cannot be recovered. ", "pagewright: empty file"},
        {"short.mdb", Bytes(4000, 1), " This file is highly corrupted and cannot be recovered. ",
         "pagewright: too short to hold an Access database"},
        {"zeros.mdb", Bytes(10 * kPage, 0), " This file is highly corrupted and cannot be recovered. ",
         "pagewright: no Access page found: not an Access database"},
        {"old.mdb", Jet3File(), "File format not Supported.", "pagewright: Access 97 (2048-byte pages) is not supported"},
        {"locked.accdb", cipher, "This file is encrypted with a password and cannot be read without it.",
         "pagewright: the header describes a password encryption"},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / c.name;
        pw::testing::WriteFile(path, c.bytes);
        const CliResult r = pw::testing::RunPagewright(dir.path(), "info " + Quoted(path.string()));
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

}  // namespace
}  // namespace pw
