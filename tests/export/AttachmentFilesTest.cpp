// Attachments written beside a CSV file stay inside the table's objects
// folder whatever name the damaged file stores, and never overwrite each other.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "export/AttachmentFiles.h"
#include "export/CsvExport.h"
#include "export/DumpJson.h"
#include "records/ComplexColumns.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/FileTools.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

bool Inside(const fs::path& folder, const fs::path& file) {
    const fs::path base = fs::weakly_canonical(folder);
    const fs::path target = fs::weakly_canonical(file);
    const auto mismatch = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    return mismatch.first == base.end();
}

TEST(AttachmentFiles, HostileNamesLandInsideTheObjectsFolder) {
    testing::TempDir dir;
    const fs::path objects = dir / "T_files";
    AttachmentFileWriter writer(objects);
    const std::set<std::string> hostile = {"../../x", "/etc/x", "..", "../", "..\\..\\x", "x/../../../y",
                                           std::string("\0/x", 3)};
    std::set<std::string> relatives;
    for (const std::string& name : hostile) {
        bool written = false;
        const std::string relative = writer.Write(1, name, "payload of " + name, &written);
        EXPECT_TRUE(written) << relative;
        EXPECT_TRUE(Inside(objects, objects / relative)) << relative;
        EXPECT_EQ(relative.rfind("record1/", 0), 0u) << relative;
        EXPECT_EQ(testing::exportsupport::ReadText(objects / relative), "payload of " + name);
        relatives.insert(relative);
    }
    EXPECT_EQ(relatives.size(), hostile.size());  // none overwrote another
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "x"));
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        if (entry.is_regular_file()) {
            ++files;
            EXPECT_TRUE(Inside(objects, entry.path())) << entry.path();
        }
    EXPECT_EQ(files, hostile.size());
    EXPECT_EQ(writer.filesWritten(), static_cast<int>(hostile.size()));
}

TEST(AttachmentFiles, RecordsWithTheSameFileNameKeepTheirOwnFiles) {
    testing::TempDir dir;
    AttachmentFileWriter writer(dir / "T_files");
    EXPECT_EQ(writer.Write(1, "photo.jpg", "one"), "record1/photo.jpg");
    EXPECT_EQ(writer.Write(2, "photo.jpg", "two"), "record2/photo.jpg");
    EXPECT_EQ(writer.Write(2, "photo.jpg", "three"), "record2/2_photo.jpg");
    EXPECT_EQ(testing::exportsupport::ReadText(dir / "T_files/record1/photo.jpg"), "one");
    EXPECT_EQ(testing::exportsupport::ReadText(dir / "T_files/record2/photo.jpg"), "two");
    EXPECT_EQ(testing::exportsupport::ReadText(dir / "T_files/record2/2_photo.jpg"), "three");
}

TEST(AttachmentFiles, AFileLeftByAnEarlierWriterIsNotReplaced) {
    testing::TempDir dir;
    fs::create_directories(dir / "T_files/record1");
    testing::WriteFile(dir / "T_files/record1/a.txt", {'o', 'l', 'd'});
    AttachmentFileWriter writer(dir / "T_files");
    EXPECT_EQ(writer.Write(1, "a.txt", "new"), "record1/2_a.txt");
    EXPECT_EQ(testing::exportsupport::ReadText(dir / "T_files/record1/a.txt"), "old");
}

TypedValue Attachment(const std::string& name, const std::string& bytes) {
    TypedValue item = TypedValue::Bytes(bytes);
    item.name = name;
    return item;
}

TEST(ComplexCells, CsvJoinsTheValuesAndQuotingKeepsThemOneField) {
    CellValue cell;
    cell.present = true;
    cell.value = TypedValue::List({TypedValue::Text("red"), TypedValue::Text("green, blue"), TypedValue::Integer(7),
                                   TypedValue::Currency(125000)});
    const std::string text = CsvFieldText(cell, {});
    EXPECT_EQ(text, "red; green, blue; 7; 12.5000");
    EXPECT_EQ(QuoteCsvField(text), "\"red; green, blue; 7; 12.5000\"");

    cell.value = TypedValue::List({Attachment("a.txt", "x"), Attachment("b.png", "y")});
    EXPECT_EQ(CsvFieldText(cell, {}), "a.txt; b.png");
    cell.value = TypedValue::List({TypedValue::List({TypedValue::Text("memo"), TypedValue::Null()})});
    EXPECT_EQ(CsvFieldText(cell, {}), "(memo, )");
    cell.value = TypedValue::List({});
    EXPECT_EQ(CsvFieldText(cell, {}), "");
}

TEST(ComplexCells, DumpListsAttachmentsByNameLengthAndDigest) {
    const nlohmann::ordered_json files = ValueJson(TypedValue::List({Attachment("a.txt", "abc")}));
    ASSERT_TRUE(files.is_array());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]["name"], "a.txt");
    EXPECT_EQ(files[0]["len"], 3);
    EXPECT_EQ(files[0]["sha256"], "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const nlohmann::ordered_json values = ValueJson(TypedValue::List({TypedValue::Text("v"), TypedValue::Integer(2)}));
    EXPECT_EQ(values.dump(), "[\"v\",2]");
}

TEST(ComplexCells, WithoutAnIndexTheCellKeepsItsStoredId) {
    const std::uint8_t page[8] = {0, 0, 0x2A, 0, 0, 0, 0, 0};
    ColumnInfo column;
    column.name = "Files";
    column.typeCode = 18;
    const DecodedCell cell = DecodeComplexValue(nullptr, 5, "T", ByteView(page, 8), column, 2);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Integer);
    EXPECT_EQ(cell.value.integer, 42);
    EXPECT_EQ(cell.text, "ATTACHMENT");
    const DecodedCell outside = DecodeComplexValue(nullptr, 5, "T", ByteView(page, 8), column, 6);
    EXPECT_NE(outside.value.kind, TypedValue::Kind::List);
}

}  // namespace
}  // namespace pw
