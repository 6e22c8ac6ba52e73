#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/CsvExport.h"
#include "tests/export/ExportTestSupport.h"
#include "tests/support/DatabaseBuilder.h"

namespace pw::testing {
namespace {

using namespace exportsupport;

// A built database written to a temporary folder and analysed; exports go
// to <temp>/out, OLE objects to <temp>/ole.
class BuiltDatabase {
public:
    explicit BuiltDatabase(const DatabaseBuilder& db) {
        WriteFile(dir_ / "test.mdb", db.Build());
        file_ = std::make_unique<AnalysedForExport>(dir_ / "test.mdb");
    }
    AnalysedForExport& file() { return *file_; }
    std::filesystem::path out() const { return dir_ / "out"; }
    const TempDir& dir() const { return dir_; }

    // Exports one table with a fresh exporter; returns how it ended and keeps
    // its row count.
    TableExportOutcome Export(const std::string& table, ExportContent content = ExportContent::SchemaAndData) {
        CsvExporter exporter(file_->pages(), {out(), content, {}});
        const TableExportResult result = exporter.ExportTableToCsv(file_->Table(table), file_->control());
        exportedRows_ = result.exportedRows;
        return result.outcome;
    }
    std::int64_t exportedRows() const { return exportedRows_; }
    std::vector<std::string> Lines(const std::string& fileName) const {
        return CrLfLines(ReadText(out() / fileName));
    }
    // The file read back by a strict RFC 4180 reader.
    std::vector<std::vector<std::string>> Records(const std::string& fileName) const {
        const CsvDocument doc = ReadCsvStrictly(ReadText(out() / fileName));
        EXPECT_TRUE(doc.ok) << fileName << ": " << doc.error;
        return doc.records;
    }

private:
    TempDir dir_;
    std::unique_ptr<AnalysedForExport> file_;
    std::int64_t exportedRows_ = -1;
};

TEST(CsvExport, DataFileHasLowerCaseHeaderAndOneRenderedFieldPerColumn) {
    DatabaseBuilder db;
    const auto t = db.AddTable(
        "Mixed", {Column("ID", type::kLong), Column("IsActive", type::kBit), Column("Name", type::kText),
                  Column("Raw", type::kBinary), Column("Notes", type::kMemo), Column("Picture", type::kOle)});
    const Cell picture = db.LongBinary({'n', 'o', 't', ' ', 'a', 'n', ' ', 'O', 'L', 'E'});
    db.AddRow(t, {Long(1), Bit(true), Text("He said \"hi\"\r\nbye"), Binary({1, 2}), Null, picture});
    db.AddRow(t,
              {Long(2), Bit(false), Text("O'Brien C:\\dir"), Null, db.Memo("x, y", TextStorage::Ucs2), Null});
    // An empty text keeps its column; so does a text holding the cell separator.
    db.AddRow(t, {Long(3), Bit(false), Text(""), Null, db.Memo("after", TextStorage::Ucs2), Null});
    db.AddRow(t, {Long(4), Bit(true), Text("a@##@#$~##%b"), Null, Null, Null});
    BuiltDatabase built(db);
    ASSERT_TRUE(built.file().analysed());

    EXPECT_EQ(built.Export("Mixed"), TableExportOutcome::Completed);
    EXPECT_EQ(built.exportedRows(), 4);
    // The object lies in the table's own folder beside its CSV file, and the
    // field names it relative to that file.
    EXPECT_EQ(FilesIn(built.out()), (std::vector<std::string>{"Mixed.csv", "Mixed_files"}));
    const std::vector<std::string> oleFiles = FilesIn(built.out() / "Mixed_files");
    ASSERT_EQ(oleFiles.size(), 1u);
    const std::string olePath = "Mixed_files/" + oleFiles[0];
    EXPECT_EQ(oleFiles[0], "Ole1.ole");
    EXPECT_EQ(ReadText(built.out() / "Mixed_files" / "Ole1.ole"), "not an OLE");

    // Every value reads back exactly as stored.
    using Record = std::vector<std::string>;
    EXPECT_EQ(built.Records("Mixed.csv"),
              (std::vector<Record>{{"id", "isactive", "name", "raw", "notes", "picture"},
                                   {"1", "Yes", "He said \"hi\"\r\nbye", "0x0102", "", "?{file '" + olePath + "'}"},
                                   {"2", "No", "O'Brien C:\\dir", "", "x, y", ""},
                                   {"3", "No", "", "", "after", ""},
                                   {"4", "Yes", "a@##@#$~##%b", "", "", ""}}));
    const std::string raw = ReadText(built.out() / "Mixed.csv");
    EXPECT_NE(raw.find("1,Yes,\"He said \"\"hi\"\"\r\nbye\",0x0102,,?{file 'Mixed_files/Ole1.ole'}\r\n"),
              std::string::npos)
        << raw;
}

TEST(CsvExport, DeletedUnreadableAndAllEmptyRows) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Sparse", {Column("A", type::kText), Column("B", type::kBinary)});
    db.AddRow(t, {Text("one"), Binary({1})});
    RowOptions deleted;
    deleted.deleted = true;
    db.AddRow(t, {Text("gone"), Binary({1})}, deleted);
    db.AddRawRow(t, Bytes(6, 0xFF));  // rejected by the row layout checks
    db.AddRow(t, {Null, Binary({2})});
    // A zero-length binary value is the one cell a decoder leaves empty: a
    // row of nothing else is counted but not written.
    const auto blank = db.AddTable("Blank", {Column("B", type::kBinary), Column("C", type::kBinary)});
    db.AddRow(blank, {Binary({}), Binary({})});
    db.AddRow(blank, {Binary({7}), Binary({})});
    // An empty cell keeps its column: the text after it is not moved left.
    const auto shift = db.AddTable("Shift", {Column("B", type::kBinary), Column("T", type::kText)});
    db.AddRow(shift, {Binary({}), Text("x")});
    BuiltDatabase built(db);

    EXPECT_EQ(built.Export("Sparse"), TableExportOutcome::Completed);
    EXPECT_EQ(built.exportedRows(), 2);
    EXPECT_EQ(built.Lines("Sparse.csv"), (std::vector<std::string>{"a,b", "one,0x01", ",0x02"}));
    EXPECT_EQ(built.Export("Blank"), TableExportOutcome::Completed);
    EXPECT_EQ(built.exportedRows(), 2);
    EXPECT_EQ(built.Lines("Blank.csv"), (std::vector<std::string>{"b,c", "0x07,0x"}));
    EXPECT_EQ(built.Export("Shift"), TableExportOutcome::Completed);
    EXPECT_EQ(built.Lines("Shift.csv"), (std::vector<std::string>{"b,t", "0x,x"}));
}

TEST(CsvExport, RowsPastEveryBlockOf65535GoToNumberedFilesWithTheHeader) {
    DatabaseBuilder db;
    const auto t = db.AddTable("Big", {Column("N", type::kLong)});
    const int rows = kRowsPerCsvFile + 3;
    for (int i = 0; i < rows; ++i) db.AddRow(t, {Long(i)});
    BuiltDatabase built(db);

    EXPECT_EQ(built.Export("Big"), TableExportOutcome::Completed);
    EXPECT_EQ(built.exportedRows(), rows);
    EXPECT_EQ(FilesIn(built.out()), (std::vector<std::string>{"Big.csv", "Big_1.csv"}));
    const std::vector<std::string> first = built.Lines("Big.csv");
    ASSERT_EQ(first.size(), static_cast<std::size_t>(kRowsPerCsvFile) + 1);
    EXPECT_EQ(first.front(), "n");
    EXPECT_EQ(first[1], "0");
    EXPECT_EQ(first.back(), std::to_string(kRowsPerCsvFile - 1));
    EXPECT_EQ(built.Lines("Big_1.csv"), (std::vector<std::string>{"n", "65535", "65536", "65537"}));
}

TEST(CsvExport, SchemaOnlyWritesOneLinePerColumnWithItsWord) {
    DatabaseBuilder db;
    ColumnSpec unknown = Column("Huge", type::kBigInt);
    db.AddTable("Shape",
                {Column("Id", type::kLong), Column("Count", type::kLong), Column("Title", type::kText),
                 NumericColumn("Amount", 18, 2), unknown, Column("Odd, name", type::kBit)});
    BuiltDatabase built(db);

    EXPECT_EQ(built.Export("Shape", ExportContent::SchemaOnly), TableExportOutcome::Completed);
    EXPECT_EQ(built.exportedRows(), 0);
    EXPECT_EQ(built.Lines("Shape.csv"),
              (std::vector<std::string>{"Id,COUNTER,", "Count,LONG,", "Title,TEXT,", "Amount,LONG,",
                                        "Huge,BIGINT,", "\"Odd, name\",BIT,"}));
}

TEST(CsvExport, FolderIsMadeWhenMissingAndUnknownContentWritesNothing) {
    DatabaseBuilder db;
    const auto t = db.AddTable("T", {Column("A", type::kLong)});
    db.AddRow(t, {Long(5)});
    BuiltDatabase built(db);

    EXPECT_EQ(built.Export("T", static_cast<ExportContent>(12)), TableExportOutcome::Failed);
    EXPECT_FALSE(std::filesystem::exists(built.out()));

    CsvExporter exporter(built.file().pages(), {built.out() / "deeper", ExportContent::SchemaAndData, {}});
    EXPECT_EQ(exporter.ExportTableToCsv(built.file().Table("T")).outcome, TableExportOutcome::Completed);
    EXPECT_EQ(CrLfLines(ReadText(built.out() / "deeper" / "T.csv")), (std::vector<std::string>{"a", "5"}));
}

TEST(CsvExport, TableWithoutDataPagesGivesHeaderOnlyAndFails) {
    DatabaseBuilder db;
    db.AddTable("Empty", {Column("First", type::kLong), Column("Second", type::kText)});
    BuiltDatabase built(db);
    ASSERT_TRUE(built.file().Table("Empty").dataPages.empty());

    EXPECT_EQ(built.Export("Empty"), TableExportOutcome::NoDataPages);
    EXPECT_EQ(built.Lines("Empty.csv"), (std::vector<std::string>{"first,second"}));
}

TEST(CsvExport, StopBeforeTheWalkKeepsOnlyTheHeader) {
    DatabaseBuilder db;
    const auto t = db.AddTable("T", {Column("A", type::kLong)});
    db.AddRow(t, {Long(5)});
    BuiltDatabase built(db);
    built.file().stop().Request();

    EXPECT_EQ(built.Export("T"), TableExportOutcome::Stopped);
    EXPECT_EQ(built.Lines("T.csv"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(built.exportedRows(), 0);
}

TEST(CsvExport, UnsafeAndCollidingTableNamesStayInsideTheFolder) {
    DatabaseBuilder db;
    for (const char* name : {"../x", "a/b", "a_b", "..", "/etc/passwd"}) {
        const auto t = db.AddTable(name, {Column("A", type::kLong)});
        db.AddRow(t, {Long(1)});
    }
    BuiltDatabase built(db);
    ASSERT_TRUE(built.file().analysed());
    CsvExporter exporter(built.file().pages(), {built.out(), ExportContent::SchemaAndData, {}});
    std::vector<std::string> names;
    for (const TableInfo& table : built.file().tables()) {
        if (table.name.rfind("MSys", 0) == 0) continue;
        names.push_back(table.name);
        EXPECT_EQ(exporter.ExportTableToCsv(table).outcome, TableExportOutcome::Completed) << table.name;
    }
    ASSERT_EQ(names.size(), 5u);

    EXPECT_EQ(FilesIn(built.out()),
              (std::vector<std::string>{".._x.csv", "__.csv", "_etc_passwd.csv", "a_b (2).csv", "a_b.csv"}));
    // Nothing else appeared anywhere under the temporary folder.
    std::vector<std::string> everything;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(built.dir().path()))
        if (entry.is_regular_file())
            everything.push_back(entry.path().lexically_relative(built.dir().path()).string());
    std::sort(everything.begin(), everything.end());
    EXPECT_EQ(everything, (std::vector<std::string>{"out/.._x.csv", "out/__.csv", "out/_etc_passwd.csv",
                                                    "out/a_b (2).csv", "out/a_b.csv", "test.mdb"}));
}

TEST(CsvRendering, LowerCasingWorksPerCharacterOnUtf8) {
    EXPECT_EQ(LowerCaseUtf8("ID, NAME"), "id, name");
    EXPECT_EQ(LowerCaseUtf8("ÄÖÜ ÉÈ ÇŒ"), "äöü éè çœ");
    EXPECT_EQ(LowerCaseUtf8("ИМЯ ΣΟΦΙΑ Ёж"), "имя σοφια ёж");
    // Bytes that are not UTF-8 pass unchanged; a capital after them is still lowered.
    EXPECT_EQ(LowerCaseUtf8(std::string("\xC3(A\xFF", 4)), std::string("\xC3(a\xFF", 4));
}

CellValue Cell(TypedValue value, std::string text = "x") {
    CellValue cell;
    cell.present = value.kind != TypedValue::Kind::Null;
    cell.text = std::move(text);
    cell.value = std::move(value);
    return cell;
}

TEST(CsvRendering, FieldsHoldTheStoredValueUnchanged) {
    const CsvFormat format;
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Boolean(true)), format), "Yes");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Boolean(false)), format), "No");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Null(), "NULL"), format), "");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Text("it's \"x\"\r\n\\")), format), "it's \"x\"\r\n\\");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Text("")), format), "");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Bytes(std::string("\x00\x01\xAB\xFF", 4))), format), "0x0001ABFF");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Bytes("")), format), "0x");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Integer(-9000000000)), format), "-9000000000");
    // Floating point: the shortest text that reads back to the same value.
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Float(0.1, false)), format), "0.1");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Float(1.0 / 3.0, false)), format), "0.3333333333333333");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Float(static_cast<double>(1.1f), true)), format), "1.1");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Float(1e300, false)), format), "1e+300");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Float(std::nan(""), false)), format), "NaN");
    // Currency and decimals keep their digits. A cell without a value is an
    // empty field whatever its text shows a person (a type without decoder,
    // a damaged memo): such words are never data.
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Currency(125000), "12.5000"), format), "12.5000");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Null(), "ATTACHMENT"), format), "");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Null(), "MEMO"), format), "");
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Null(), "Unhandled memo field flags = 7f3a\n"), format), "");
}

TEST(CsvRendering, DatesHaveFourYearDigitsOrTheGivenForm) {
    const CsvFormat format;
    EXPECT_EQ(CsvFieldText(Cell(TypedValue::Date(39448.75)), format), "01/01/2008 18:00:00");
    // 1492 and 1992 no longer share "92".
    EXPECT_EQ(FormatCsvDate(-149382.0, ""), "01/01/1491 00:00:00");
    EXPECT_EQ(FormatCsvDate(33604.0, ""), "01/01/1992 00:00:00");
    EXPECT_EQ(FormatCsvDate(-693593.0, ""), "01/01/0001 00:00:00");
    EXPECT_EQ(FormatCsvDate(39448.75, "%Y-%m-%dT%H:%M"), "2008-01-01T18:00");
    EXPECT_EQ(FormatCsvDate(1e300, ""), "");
    EXPECT_EQ(FormatCsvDate(std::nextafter(2958466.0, 0.0), ""), "01/01/10000 00:00:00");
}

TEST(CsvRendering, QuotingFollowsRfc4180) {
    EXPECT_EQ(QuoteCsvField("plain text"), "plain text");
    EXPECT_EQ(QuoteCsvField(" leading blank"), " leading blank");
    EXPECT_EQ(QuoteCsvField("1,2"), "\"1,2\"");
    EXPECT_EQ(QuoteCsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(QuoteCsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(QuoteCsvField("a;b"), "a;b");
    EXPECT_EQ(QuoteCsvField("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(QuoteCsvField("1,2", ';'), "1,2");
}

}  // namespace
}  // namespace pw::testing
