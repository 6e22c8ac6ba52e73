#include <gtest/gtest.h>

#include <string>

#include "records/LongValueGather.h"
#include "records/LongValues.h"
#include "tests/records/LongValuePages.h"

namespace pw {
namespace {

using testing::Bytes;
using testing::ChainRow;
using testing::Compressed;
using testing::FieldHeader;
using testing::Join;
using testing::MemoryPages;
using testing::Slice;
using testing::Ucs2;

// The row holding the field: the header sits a little way into it, as it
// does in a real row.
constexpr std::int64_t kFieldPosition = 20;

Bytes RowWith(const Bytes& field) { return Join(Bytes(kFieldPosition, 0x55), field); }

DecodedCell Memo(const MemoryPages& pages, const Bytes& field) {
    const Bytes row = RowWith(field);
    return DecodeMemoValue(pages, ByteView(row), kFieldPosition, static_cast<std::int64_t>(field.size()));
}

std::string Gather(const MemoryPages& pages, const Bytes& field, LongValueForm& form) {
    const Bytes row = RowWith(field);
    return GatherLongValue(pages, ByteView(row), kFieldPosition, static_cast<std::int64_t>(field.size()),
                           form);
}

void ExpectText(const DecodedCell& cell, const std::string& text) {
    EXPECT_EQ(cell.text, text);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Text);
    EXPECT_EQ(cell.value.text, text);
}

void ExpectNullCell(const DecodedCell& cell, const std::string& text) {
    EXPECT_EQ(cell.text, text);
    EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null);
}

std::string Letters(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text.push_back(static_cast<char>('a' + i % 26));
    return text;
}

// --- inline -----------------------------------------------------------------

TEST(MemoInline, DecodesUcs2AndCompressedTextFromTheFirstCharacter) {
    MemoryPages pages;
    const Bytes hello = Ucs2("Hello");
    ExpectText(Memo(pages, Join(FieldHeader(10, 0x80), hello)), "Hello");
    ExpectText(Memo(pages, Join(FieldHeader(4, 0x80), {0xFF, 0xFE, 0x61, 0x62})), "ab");
    // é and € as UCS-2 become UTF-8
    ExpectText(Memo(pages, Join(FieldHeader(4, 0x80), {0xE9, 0x00, 0xAC, 0x20})), "\xC3\xA9\xE2\x82\xAC");
}

TEST(MemoInline, EmptyAndTooShortFields) {
    MemoryPages pages;
    ExpectNullCell(Memo(pages, FieldHeader(0, 0x80)), "NULL");
    ExpectNullCell(Memo(pages, Slice(FieldHeader(0, 0x80), 0, 11)), "MEMO");
    const Bytes row = RowWith(FieldHeader(0, 0x80));
    ExpectNullCell(DecodeMemoValue(pages, ByteView(row), -1, 12), "MEMO");
    ExpectNullCell(DecodeMemoValue(pages, ByteView(row), 5000, 12), "MEMO");
}

TEST(MemoFlags, UnknownFlagBytesReportTheWholeWord) {
    MemoryPages pages;
    // Byte 2 is the length's high byte; the message shows bytes 2..3.
    ExpectNullCell(Memo(pages, FieldHeader(0x230000, 0x01)), "Unhandled memo field flags = 0123\n");
    ExpectNullCell(Memo(pages, FieldHeader(0, 0xC0)), "Unhandled memo field flags = c000\n");
    LongValueForm form = LongValueForm::Inline;
    EXPECT_EQ(Gather(pages, FieldHeader(0, 0x20), form), "");
    EXPECT_EQ(form, LongValueForm::Unhandled);
}

// --- single row ---------------------------------------------------------------

TEST(MemoSingleRow, RowZeroReachesThePageEnd) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    const std::string text = Letters(48);
    ASSERT_EQ(pages.AddRow(lval, Ucs2(text)), 0);
    ASSERT_EQ(pages.Slot(lval, 0), 4000);

    LongValueForm form = LongValueForm::Inline;
    EXPECT_EQ(Gather(pages, FieldHeader(96, 0x40, 0, lval), form).size(), 96u);
    EXPECT_EQ(form, LongValueForm::SingleRow);
    ExpectText(Memo(pages, FieldHeader(96, 0x40, 0, lval)), text);
    ExpectText(Memo(pages, FieldHeader(6, 0x40, 0, lval)), "abc");  // cut to the declared length
}

TEST(MemoSingleRow, OddRowsAreNotWidenedAndSlotFlagsAreIgnored) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    pages.AddRow(lval, {'Q', 'Q'});
    const auto row = pages.AddRow(lval, Compressed("abc"));
    // Rounding the five bytes up would take in the Q of the row above.
    ExpectText(Memo(pages, FieldHeader(100, 0x40, row, lval)), "abc");
    pages.SetSlot(lval, row, static_cast<std::uint16_t>(pages.Slot(lval, row) | 0xC000));
    ExpectText(Memo(pages, FieldHeader(100, 0x40, row, lval)), "abc");
}

TEST(MemoSingleRow, PointersThatLeadNowhereGiveNull) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    pages.AddRow(lval, Ucs2("ab"));
    const auto data = pages.AddDataPage(7);
    pages.AddRow(data, Ucs2("no"));

    LongValueForm form = LongValueForm::Inline;
    Gather(pages, FieldHeader(4, 0x40, 0, data), form);
    EXPECT_EQ(form, LongValueForm::NotLongValuePage);
    Gather(pages, FieldHeader(4, 0x40, 0, 99), form);
    EXPECT_EQ(form, LongValueForm::PageOutsideMap);
    Gather(pages, FieldHeader(4, 0x40, 1, lval), form);
    EXPECT_EQ(form, LongValueForm::RowNotOnPage);

    ExpectNullCell(Memo(pages, FieldHeader(4, 0x40, 0, data)), "NULL");
    ExpectNullCell(Memo(pages, FieldHeader(4, 0x40, 0, 99)), "NULL");
    ExpectNullCell(Memo(pages, FieldHeader(4, 0x40, 1, lval)), "NULL");
    ExpectNullCell(Memo(pages, FieldHeader(4, 0x40, -1, lval)), "NULL");
    ExpectNullCell(Memo(pages, FieldHeader(4, 0x40, 0, 0)), "NULL");  // the header page
}

TEST(MemoSingleRow, DamagedSlots) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    pages.AddRow(lval, Ucs2("first"));
    pages.AddRow(lval, Ucs2("second"));

    pages.SetSlot(lval, 0, 0x1F00);  // starts beyond the page
    ExpectNullCell(Memo(pages, FieldHeader(10, 0x40, 0, lval)), "MEMO");
    // Row 1's end went with row 0's entry; it ends where its length says.
    const DecodedCell second = Memo(pages, FieldHeader(12, 0x40, 1, lval));
    EXPECT_EQ(second.text, "second");

    pages.SetSlot(lval, 0, 100);  // row 1 ends before it starts
    LongValueForm form = LongValueForm::Inline;
    EXPECT_EQ(Gather(pages, FieldHeader(12, 0x40, 1, lval), form), "");
    EXPECT_EQ(form, LongValueForm::SingleRow);
    ExpectNullCell(Memo(pages, FieldHeader(12, 0x40, 1, lval)), "NULL");
}

// --- chains -----------------------------------------------------------------

TEST(MemoChain, ThreeRowsOverTwoPagesInChainOrder) {
    MemoryPages pages;
    const auto a = pages.AddLongValuePage();
    const auto b = pages.AddLongValuePage();
    // Stored out of order: the chain is first -> b row 0 -> a row 0.
    const Bytes first = Ucs2("Hello, "), second = Ucs2("long "), third = Ucs2("world");
    const auto last = pages.AddRow(a, ChainRow(0, 0, third));
    const auto middle = pages.AddRow(b, ChainRow(last, a, second));
    const auto start = pages.AddRow(a, ChainRow(middle, b, first));
    const auto total = static_cast<std::uint32_t>(first.size() + second.size() + third.size());

    LongValueForm form = LongValueForm::Inline;
    EXPECT_EQ(Gather(pages, FieldHeader(total, 0x00, start, a), form).size(), total);
    EXPECT_EQ(form, LongValueForm::Chain);
    ExpectText(Memo(pages, FieldHeader(total, 0x00, start, a)), "Hello, long world");
}

TEST(MemoChain, IsDecodedAsOneTextNotRowByRow) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    // The compression marker only starts the first row.
    const Bytes packed = Compressed("hello world");
    const auto tail = pages.AddRow(lval, ChainRow(0, 0, Slice(packed, 5, packed.size() - 5)));
    const auto head = pages.AddRow(lval, ChainRow(tail, lval, Slice(packed, 0, 5)));
    ExpectText(Memo(pages, FieldHeader(static_cast<std::uint32_t>(packed.size()), 0x00, head, lval)),
               "hello world");

    // A UCS-2 character split over two rows.
    const Bytes wide = Ucs2("abc");
    const auto wideTail = pages.AddRow(lval, ChainRow(0, 0, Slice(wide, 3, 3)));
    const auto wideHead = pages.AddRow(lval, ChainRow(wideTail, lval, Slice(wide, 0, 3)));
    ExpectText(Memo(pages, FieldHeader(6, 0x00, wideHead, lval)), "abc");
}

TEST(MemoChain, IsCutToTheDeclaredLength) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    const auto tail = pages.AddRow(lval, ChainRow(0, 0, Join(Ucs2("def"), {0x21, 0x00, 0x21, 0x00})));
    const auto head = pages.AddRow(lval, ChainRow(tail, lval, Ucs2("abc")));
    ExpectText(Memo(pages, FieldHeader(12, 0x00, head, lval)), "abcdef");
    // Once the declared length is gathered, later pointers are not needed.
    const auto lone = pages.AddRow(lval, ChainRow(5, 99, Ucs2("xy")));
    ExpectText(Memo(pages, FieldHeader(2, 0x00, lone, lval)), "x");
}

TEST(MemoChain, EndsWithWhatWasGatheredWhenAPointerLeadsNowhere) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    const auto data = pages.AddDataPage(7);
    pages.AddRow(data, Ucs2("not a memo"));
    const auto toData = pages.AddRow(lval, ChainRow(0, data, Ucs2("one")));
    const auto pastMap = pages.AddRow(lval, ChainRow(0, 99, Ucs2("two")));
    const auto noSuchRow = pages.AddRow(lval, ChainRow(50, lval, Ucs2("three")));

    ExpectText(Memo(pages, FieldHeader(1000, 0x00, toData, lval)), "one");
    ExpectText(Memo(pages, FieldHeader(1000, 0x00, pastMap, lval)), "two");
    ExpectText(Memo(pages, FieldHeader(1000, 0x00, noSuchRow, lval)), "three");
    // A chain that leads nowhere from the start has no value.
    ExpectNullCell(Memo(pages, FieldHeader(1000, 0x00, 0, data)), "NULL");
    ExpectNullCell(Memo(pages, FieldHeader(1000, 0x00, 0, 0)), "NULL");
}

TEST(MemoChain, EndsOnDamagedRows) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    const auto other = pages.AddLongValuePage();
    pages.AddRow(other, Ucs2("padding"));
    const auto damaged = pages.AddRow(other, ChainRow(0, 0, Ucs2("lost")));
    // Three bytes: its "pointer" would borrow the next row's first byte and
    // lead back to the start of lval.
    const auto shortRow = pages.AddRow(other, {0x00, static_cast<std::uint8_t>(lval), 0x00});
    const auto beforeDamaged = pages.AddRow(lval, ChainRow(damaged, other, Ucs2("kept")));
    const auto beforeShort = pages.AddRow(lval, ChainRow(shortRow, other, Ucs2("also")));
    ASSERT_EQ(beforeDamaged, 0);

    // A row too small for its pointer contributes nothing and ends the chain.
    ExpectText(Memo(pages, FieldHeader(1000, 0x00, beforeShort, lval)), "also");

    pages.SetSlot(other, damaged, 0x1FF0);
    ExpectText(Memo(pages, FieldHeader(1000, 0x00, beforeDamaged, lval)), "kept");
}

TEST(MemoChain, LoopsEnd) {
    MemoryPages pages;
    const auto lval = pages.AddLongValuePage();
    // Row 0 points to row 1, row 1 back to row 0.
    pages.AddRow(lval, ChainRow(1, lval, Ucs2("one")));
    pages.AddRow(lval, ChainRow(0, lval, Ucs2("two")));
    const auto self = pages.AddRow(lval, ChainRow(2, lval, Ucs2("me")));
    ExpectText(Memo(pages, FieldHeader(1000000, 0x00, 0, lval)), "onetwo");
    ExpectText(Memo(pages, FieldHeader(1000000, 0x00, self, lval)), "me");
    EXPECT_LT(pages.reads, 10);
}

TEST(MemoChain, ValuesOf64KiBAndMoreAreRead) {
    MemoryPages pages;
    const std::string text = Letters(35000);
    const Bytes stored = Ucs2(text);
    ASSERT_EQ(stored.size(), 70000u);  // length bytes 70 11 01: the third byte is not a flag
    constexpr std::size_t kPiece = 4000;
    const std::size_t rows = (stored.size() + kPiece - 1) / kPiece;
    std::vector<std::int32_t> pageOf(rows);
    for (auto& n : pageOf) n = pages.AddLongValuePage();
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t first = i * kPiece;
        const std::size_t count = std::min(kPiece, stored.size() - first);
        const std::int32_t next = i + 1 < rows ? pageOf[i + 1] : 0;
        pages.AddRow(pageOf[i], ChainRow(0, next, Slice(stored, first, count)));
    }
    ExpectText(Memo(pages, FieldHeader(70000, 0x00, 0, pageOf[0])), text);
}

}  // namespace
}  // namespace pw
