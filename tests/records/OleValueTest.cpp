#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/OleFiles.h"
#include "records/OleValue.h"
#include "records/OleHeader.h"
#include "records/SafeFileName.h"
#include "tests/records/LongValuePages.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ChainRow;
using testing::FieldHeader;
using testing::Join;
using testing::MemoryPages;
using testing::Slice;

constexpr std::uint16_t kHeaderLength = 40;

void PutInt32(Bytes& bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes Int32Bytes(std::int32_t value) {
    Bytes bytes(4);
    PutInt32(bytes, 0, value);
    return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes ZeroTerminated(const std::string& text) { return Join(Text(text), {0}); }

Bytes Pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

// An OLE wrapper: signature, header of kHeaderLength bytes with the object's
// name at 20, a class name, the declared native size, the native data and a
// trailer that is not part of the payload.
Bytes OleObject(const std::string& name, const Bytes& native, std::int32_t declaredNative) {
    Bytes object(kHeaderLength, 0);
    object[0] = 0x15;
    object[1] = 0x1C;
    object[2] = kHeaderLength;
    for (std::size_t i = 0; i < name.size() && 20 + i < kHeaderLength; ++i) object[20 + i] = name[i];
    const Bytes className = Text("Paint.P");  // A = 7
    object = Join(object, Bytes(8, 0xAA));
    object = Join(object, Int32Bytes(static_cast<std::int32_t>(className.size())));
    object = Join(object, className);
    object = Join(object, Bytes(8, 0xBB));
    object = Join(object, Int32Bytes(declaredNative));
    object = Join(object, native);
    return Join(object, Bytes(16, 0xCC));
}

std::size_t NativeStart() { return kHeaderLength + 7 + 24; }

// Package native data; without a source path the label's zero is followed
// directly by the zero that opens the four skipped bytes.
Bytes PackageNative(const std::string& label, const std::string& source, const Bytes& file) {
    Bytes native{0x02, 0x00};
    native = Join(native, ZeroTerminated(label));
    if (!source.empty()) native = Join(native, ZeroTerminated(source));
    native = Join(native, {0x00, 0x00, 0x03, 0x00});
    const std::string temp = "C:\\Temp\\x.tmp";
    native = Join(native, Int32Bytes(static_cast<std::int32_t>(temp.size() + 1)));
    native = Join(native, ZeroTerminated(temp));
    native = Join(native, Int32Bytes(static_cast<std::int32_t>(file.size() + 4)));
    return Join(native, file);
}

Bytes PackageObject(const std::string& label, const Bytes& file, const std::string& source = "C:\\docs\\in") {
    const Bytes native = PackageNative(label, source, file);
    return OleObject("Package", native, static_cast<std::int32_t>(native.size()));
}

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

struct Parsed {
    int result = 0;
    std::string bytes;
    std::string extension;
};

Parsed Parse(const Bytes& object) {
    Parsed parsed;
    parsed.bytes = AsString(object);
    parsed.extension = "stale";
    parsed.result = ParseOleHeader(parsed.bytes, parsed.extension);
    return parsed;
}

// --- ParseOleHeader -------------------------------------------------------------

TEST(OleHeader, BitmapKeepsExactlyTheNativeData) {
    const Bytes native = Pattern(1000, 1);
    const Parsed parsed = Parse(OleObject("Bitmap Image", native, 1000));
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "bmp");
    EXPECT_EQ(parsed.bytes, AsString(native));
}

TEST(OleHeader, AcrobatKeepsEverythingAfterTheHeaders) {
    const Bytes object = OleObject("Acrobat Document", Pattern(300, 2), 10);
    const Parsed parsed = Parse(object);
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "pdf");
    EXPECT_EQ(parsed.bytes, AsString(Slice(object, NativeStart(), object.size() - NativeStart())));
}

TEST(OleHeader, UnknownKindsKeepTheNativeDataWithoutExtension) {
    const Bytes native = Pattern(50, 3);
    Parsed parsed = Parse(OleObject("Word.Document.8", native, 50));
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "");
    EXPECT_EQ(parsed.bytes, AsString(native));

    // A native size that does not fit keeps all that follows the headers.
    const Bytes lying = OleObject("Word.Document.8", native, 1 << 30);
    parsed = Parse(lying);
    EXPECT_EQ(parsed.bytes.size(), lying.size() - NativeStart());
    parsed = Parse(OleObject("Word.Document.8", native, -5));
    EXPECT_EQ(parsed.bytes.size(), lying.size() - NativeStart());
}

TEST(OleHeader, UnrecognisedWrappersAreLeftWhole) {
    Bytes object = OleObject("Bitmap Image", Pattern(100, 4), 100);
    object[0] = 0x16;  // not the signature
    Parsed parsed = Parse(object);
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.extension, "");
    EXPECT_EQ(parsed.bytes, AsString(object));

    object = OleObject("Bitmap Image", Pattern(100, 4), 100);
    object[2] = 0x15;  // H = 277
    object[3] = 0x01;
    EXPECT_EQ(Parse(object).result, -1);

    object = OleObject("Bitmap Image", Pattern(100, 4), 100);
    PutInt32(object, kHeaderLength + 8, 257);  // class name too long
    EXPECT_EQ(Parse(object).result, -1);
    PutInt32(object, kHeaderLength + 8, -1);
    EXPECT_EQ(Parse(object).result, -1);

    EXPECT_EQ(Parse({0x15, 0x1C, 0x00}).result, -1);
    EXPECT_EQ(Parse({}).result, -1);
}

TEST(OleHeader, PackageYieldsTheEmbeddedFileAndItsLabelsExtension) {
    const Bytes file = Pattern(700, 5);
    Parsed parsed = Parse(PackageObject("report.doc", file));
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "doc");
    EXPECT_EQ(parsed.bytes, AsString(file));

    parsed = Parse(PackageObject("archive.tar.gz", file, ""));  // no source path
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "gz");
    EXPECT_EQ(parsed.bytes, AsString(file));

    parsed = Parse(PackageObject("README", file));
    EXPECT_EQ(parsed.result, 1);
    EXPECT_EQ(parsed.extension, "README");
}

TEST(OleHeader, DamagedPackages) {
    const Bytes file = Pattern(64, 6);
    // A label that is nothing but an extension is refused.
    Bytes object = PackageObject(".profile", file);
    Parsed parsed = Parse(object);
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.extension, "");
    EXPECT_EQ(parsed.bytes, AsString(object));

    // Damage after the label: the extension is known, the bytes stay whole.
    object = PackageObject("report.doc", file);
    const std::size_t tempLength = NativeStart() + 2 + 11 + 11 + 4;
    PutInt32(object, tempLength, 1 << 28);
    parsed = Parse(object);
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.extension, "doc");
    EXPECT_EQ(parsed.bytes, AsString(object));

    // A label without its zero within 257 characters.
    parsed = Parse(PackageObject(std::string(300, 'x') + ".doc", file));
    EXPECT_EQ(parsed.result, -1);
    EXPECT_EQ(parsed.extension, "");
}

TEST(OleHeader, CutOrFlippedObjectsAreHandledWithoutReadingOutside) {
    const Bytes objects[] = {PackageObject("report.doc", Pattern(40, 7)),
                             OleObject("Bitmap", Pattern(40, 8), 40)};
    for (const Bytes& object : objects) {
        for (std::size_t size = 0; size <= object.size(); ++size) {
            const Bytes cut = Slice(object, 0, size);
            const Parsed parsed = Parse(cut);
            if (parsed.result == -1) {
                EXPECT_EQ(parsed.bytes, AsString(cut));
            }
            EXPECT_LE(parsed.bytes.size(), size);
        }
        for (std::size_t at = 0; at < object.size(); ++at) {
            for (std::uint8_t value : {0x00, 0x7F, 0xFF}) {
                Bytes flipped = object;
                flipped[at] = value;
                const Parsed parsed = Parse(flipped);
                EXPECT_LE(parsed.bytes.size(), flipped.size());
            }
        }
    }
}

// --- SafeFileExtension ------------------------------------------------------------

TEST(SafeFileExtension, KeepsOnlyShortLettersAndDigits) {
    EXPECT_EQ(SafeFileExtension("doc"), "doc");
    EXPECT_EQ(SafeFileExtension("PDF"), "PDF");
    EXPECT_EQ(SafeFileExtension("mp3"), "mp3");
    EXPECT_EQ(SafeFileExtension("abcdefgh"), "abcdefgh");
    EXPECT_EQ(SafeFileExtension("abcdefghi"), "ole");
    EXPECT_EQ(SafeFileExtension(""), "ole");
    EXPECT_EQ(SafeFileExtension("sh/"), "ole");
    EXPECT_EQ(SafeFileExtension("/../../x"), "ole");
    EXPECT_EQ(SafeFileExtension("a\\b"), "ole");
    EXPECT_EQ(SafeFileExtension("tar.gz"), "ole");
    EXPECT_EQ(SafeFileExtension("d\xC3\xB6"
                                "c"),
              "ole");
    EXPECT_EQ(SafeFileExtension(std::string("do\0c", 4)), "ole");
}

// --- OLE values and the files an export writes of them ---------------------------

class OleValueTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ =
            fs::temp_directory_path() / ("pagewright-ole-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        folder_ = root_ / "TempOLeFiles";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Places the field at kPosition on a row page and decodes it.
    DecodedCell DecodeOnly(const Bytes& field, std::int64_t position = kPosition,
                           LongValueIssue* issue = nullptr) {
        PageBuffer rowPage{};
        for (std::size_t i = 0; i < field.size() && position + i < rowPage.size(); ++i)
            rowPage[position + i] = field[i];
        return DecodeOleValue(pages_, ByteView(rowPage), position, static_cast<std::int64_t>(field.size()), issue);
    }

    // Decodes as above and, as an export does, writes an object found to a
    // file whose path then stands in the cell.
    DecodedCell Decode(OleFileWriter& writer, const Bytes& field, std::int64_t position = kPosition) {
        DecodedCell cell = DecodeOnly(field, position);
        if (cell.value.kind == TypedValue::Kind::Bytes) cell.text = writer.Write(cell.value.text);
        return cell;
    }

    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<fs::path> FilesIn(const fs::path& folder) const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) files.push_back(entry.path());
        return files;
    }

    void ExpectNoFile(const DecodedCell& cell, const std::string& text, const OleFileWriter& extractor) {
        EXPECT_EQ(cell.text, text);
        EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null);
        EXPECT_EQ(extractor.filesWritten(), 0);
        EXPECT_FALSE(fs::exists(folder_));
    }

    static constexpr std::int64_t kPosition = 100;
    MemoryPages pages_;
    fs::path root_;
    fs::path folder_;
};

TEST_F(OleValueTest, DecodingOnlyReadsAndTellsBrokenPointers) {
    const Bytes object = OleObject("Bitmap Image", Pattern(100, 9), 100);
    const DecodedCell cell = DecodeOnly(Join(FieldHeader(static_cast<std::uint32_t>(object.size()), 0x80), object));
    EXPECT_EQ(cell.text, "OLEOBJECT");
    EXPECT_EQ(cell.value.text, AsString(object));
    EXPECT_FALSE(fs::exists(folder_));

    LongValueIssue issue = LongValueIssue::None;
    DecodeOnly(FieldHeader(50, 0x40, 0, 99), kPosition, &issue);  // a page outside the map
    EXPECT_EQ(issue, LongValueIssue::Broken);
    const auto b = pages_.AddLongValuePage();
    const auto loop = pages_.AddRow(b, ChainRow(0, b, Pattern(100, 3)));
    DecodeOnly(FieldHeader(1000, 0x00, loop, b), kPosition, &issue);
    EXPECT_EQ(issue, LongValueIssue::Loop);
}

TEST_F(OleValueTest, EveryWrittenObjectGetsANewNumberedFile) {
    const Bytes native = Pattern(1000, 9);
    const Bytes object = OleObject("Bitmap Image", native, 1000);
    const Bytes field = Join(FieldHeader(static_cast<std::uint32_t>(object.size()), 0x80), object);
    OleFileWriter extractor(folder_);
    EXPECT_EQ(extractor.folder(), folder_);
    EXPECT_EQ(extractor.filesWritten(), 0);

    const DecodedCell first = Decode(extractor, field);
    EXPECT_EQ(first.text, (folder_ / "Ole1.bmp").string());
    EXPECT_EQ(first.value.kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(first.value.text, AsString(object));  // the whole stored object
    EXPECT_EQ(ReadFile(folder_ / "Ole1.bmp"), AsString(native));

    const DecodedCell again = Decode(extractor, field);
    EXPECT_EQ(again.text, (folder_ / "Ole2.bmp").string());
    EXPECT_EQ(ReadFile(folder_ / "Ole2.bmp"), AsString(native));
    EXPECT_EQ(extractor.filesWritten(), 2);
}

TEST_F(OleValueTest, RowAndChainFormsGatherTheSameObject) {
    const Bytes native = Pattern(5000, 10);
    const Bytes object = OleObject("Bitmap Image", native, 5000);
    const auto total = static_cast<std::uint32_t>(object.size());
    const auto a = pages_.AddLongValuePage();
    const auto b = pages_.AddLongValuePage();
    const auto tail = pages_.AddRow(b, ChainRow(0, 0, Slice(object, 3000, object.size() - 3000)));
    const auto head = pages_.AddRow(a, ChainRow(tail, b, Slice(object, 0, 3000)));
    const auto small = OleObject("Bitmap Image", Pattern(301, 11), 301);  // odd size: no rounding
    const auto single = pages_.AddRow(a, small);

    OleFileWriter extractor(folder_);
    DecodedCell cell = Decode(extractor, FieldHeader(total, 0x00, head, a));
    EXPECT_EQ(cell.text, (folder_ / "Ole1.bmp").string());
    EXPECT_EQ(cell.value.text, AsString(object));
    EXPECT_EQ(ReadFile(folder_ / "Ole1.bmp"), AsString(native));

    // A stored length of 0x57xxxx once read as flag word 0x0057; it is a chain.
    cell = Decode(extractor, FieldHeader(0x570000 | total, 0x00, head, a));
    EXPECT_EQ(cell.value.text, AsString(object));

    cell = Decode(extractor, FieldHeader(static_cast<std::uint32_t>(small.size()), 0x40, single, a));
    EXPECT_EQ(cell.text, (folder_ / "Ole3.bmp").string());
    EXPECT_EQ(cell.value.text, AsString(small));
    EXPECT_EQ(ReadFile(folder_ / "Ole3.bmp"), AsString(Pattern(301, 11)));

    // A chain that loops back on itself ends and writes what it gathered.
    const auto loop = pages_.AddRow(b, ChainRow(1, b, Slice(object, 0, 100)));
    ASSERT_EQ(loop, 1);
    cell = Decode(extractor, FieldHeader(total, 0x00, loop, b));
    EXPECT_EQ(cell.value.text, AsString(Slice(object, 0, 100)));
    EXPECT_EQ(extractor.filesWritten(), 4);
}

TEST_F(OleValueTest, PackagesAndUnknownObjects) {
    const Bytes file = Pattern(900, 12);
    const Bytes package = PackageObject("report.doc", file);
    const Bytes unknown = Pattern(200, 13);
    OleFileWriter extractor(folder_);

    DecodedCell cell =
        Decode(extractor, Join(FieldHeader(static_cast<std::uint32_t>(package.size()), 0x80), package));
    EXPECT_EQ(cell.text, (folder_ / "Ole1.doc").string());
    EXPECT_EQ(ReadFile(folder_ / "Ole1.doc"), AsString(file));

    cell = Decode(extractor, Join(FieldHeader(200, 0x80), unknown));
    EXPECT_EQ(cell.text, (folder_ / "Ole2.ole").string());
    EXPECT_EQ(ReadFile(folder_ / "Ole2.ole"), AsString(unknown));
}

TEST_F(OleValueTest, PackageLabelsCannotLeaveTheFolder) {
    OleFileWriter extractor(folder_);
    const std::string labels[] = {"../../x.sh/", "x.a/../../b", "..\\..\\evil", "/etc/passwd", "a.b\nc"};
    int number = 0;
    for (const std::string& label : labels) {
        const Bytes package = PackageObject(label, Pattern(30, 14));
        const DecodedCell cell =
            Decode(extractor, Join(FieldHeader(static_cast<std::uint32_t>(package.size()), 0x80), package));
        ++number;
        const fs::path written(cell.text);
        EXPECT_EQ(written.parent_path(), folder_) << label;
        EXPECT_EQ(written.filename().string().rfind("Ole" + std::to_string(number) + ".", 0), 0u) << label;
        EXPECT_TRUE(fs::is_regular_file(written)) << label;
    }
    EXPECT_EQ(FilesIn(folder_).size(), std::size(labels));
    // Nothing beside the folder, nothing above it.
    EXPECT_EQ(FilesIn(root_).size(), std::size(labels) + 1);
    EXPECT_TRUE(fs::exists(folder_ / "Ole1.ole"));
    EXPECT_TRUE(fs::exists(folder_ / "Ole4.ole"));  // "/etc/passwd" has no dot: the whole label
}

TEST_F(OleValueTest, ValuesWithoutAnObjectWriteNothing) {
    const auto data = pages_.AddDataPage(7);
    pages_.AddRow(data, Pattern(50, 15));
    const auto lval = pages_.AddLongValuePage();
    pages_.AddRow(lval, Pattern(50, 16));
    OleFileWriter extractor(folder_);

    ExpectNoFile(Decode(extractor, Slice(FieldHeader(0, 0x80), 0, 11)), "OLEOBJECT", extractor);
    ExpectNoFile(Decode(extractor, Join(FieldHeader(100, 0x80), Pattern(100, 1)), 4000), "OLEOBJECT",
                 extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(50, 0x40, 0, data)), "NULL", extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(50, 0x40, 0, 99)), "OLEOBJECT", extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(50, 0x40, 3, lval)), "OLEOBJECT", extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(0, 0x80)), "NULL", extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(50, 0x00, 0, 99)), "NULL", extractor);
    ExpectNoFile(Decode(extractor, FieldHeader(0x230000, 0x01)), "Unhandled OLE field flag = 0123\n",
                 extractor);

    pages_.SetSlot(lval, 0, 0x1F00);
    ExpectNoFile(Decode(extractor, FieldHeader(50, 0x40, 0, lval)), "OLEOBJECT", extractor);

    // Exactly reaching the page end is still inside it.
    const DecodedCell last = Decode(extractor, Join(FieldHeader(84, 0x80), Pattern(84, 1)), 4000);
    EXPECT_EQ(last.value.kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(extractor.filesWritten(), 1);
}

TEST_F(OleValueTest, AFileThatCannotBeWrittenStillGivesItsPath) {
    std::ofstream(folder_) << "a file where the folder should be";
    OleFileWriter extractor(folder_);
    const DecodedCell cell = Decode(extractor, Join(FieldHeader(20, 0x80), Pattern(20, 17)));
    EXPECT_EQ(cell.text, (folder_ / "Ole1.ole").string());
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Bytes);
    EXPECT_EQ(extractor.filesWritten(), 1);
}

}  // namespace
}  // namespace pw
