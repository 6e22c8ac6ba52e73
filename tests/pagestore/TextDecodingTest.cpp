#include "pagestore/TextDecoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian UCS-2 units as stored on a page.
Bytes Units(std::initializer_list<std::uint16_t> units) {
    Bytes b;
    for (std::uint16_t u : units) {
        b.push_back(static_cast<std::uint8_t>(u & 0xFF));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}

std::string Ucs2(const Bytes& b) { return DecodeUcs2(ByteView(b), 0, static_cast<std::int64_t>(b.size())); }
std::string Jet(const Bytes& b) { return DecodeJetText(ByteView(b), 0, static_cast<std::int64_t>(b.size())); }

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

TEST(TextDecodingUtf8, EncodesEveryLengthClassAtItsBorders) {
    struct Case {
        char32_t cp;
        std::string utf8;
    };
    const Case cases[] = {
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        // Not characters: a surrogate on its own and anything past U+10FFFF.
        {0xD800, kReplacementUtf8},
        {0xDFFF, kReplacementUtf8},
        {0x110000, kReplacementUtf8},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendUtf8(out, c.cp);
        EXPECT_EQ(out, c.utf8) << "U+" << std::hex << static_cast<std::uint32_t>(c.cp);
    }
}

TEST(TextDecodingUcs2, CharactersAboveLatin1KeepTheirIdentity) {
    EXPECT_EQ(Ucs2(Units({'A', 'b', 0xE9})), "Ab\xC3\xA9");
    // "Привет": a byte-dropping reduction would turn this into control bytes.
    EXPECT_EQ(Ucs2(Units({0x041F, 0x0440, 0x0438, 0x0432, 0x0435, 0x0442})), "Привет");
    EXPECT_EQ(Ucs2(Units({0x4E2D, 0x6587})), "中文");
    // Units whose low byte is zero are whole characters too.
    EXPECT_EQ(Ucs2(Units({0x0100, 0x4E00})), "\xC4\x80\xE4\xB8\x80");
}

TEST(TextDecodingUcs2, SurrogatePairsJoinAndLoneSurrogatesBecomeReplacement) {
    EXPECT_EQ(Ucs2(Units({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Ucs2(Units({'a', 0xD83D, 0xDE00, 'b'})), "a\xF0\x9F\x98\x80" "b");
    // A high surrogate at the very end, one followed by an ordinary character,
    // a low surrogate on its own and a pair in the wrong order.
    EXPECT_EQ(Ucs2(Units({'a', 0xD83D})), "a" + kReplacementUtf8);
    EXPECT_EQ(Ucs2(Units({0xD83D, 'b'})), kReplacementUtf8 + "b");
    EXPECT_EQ(Ucs2(Units({0xDE00, 'b'})), kReplacementUtf8 + "b");
    EXPECT_EQ(Ucs2(Units({0xDE00, 0xD83D})), kReplacementUtf8 + kReplacementUtf8);
    // Two high surrogates: the first is lost, the second still pairs.
    EXPECT_EQ(Ucs2(Units({0xD83D, 0xD83D, 0xDE00})), kReplacementUtf8 + "\xF0\x9F\x98\x80");
}

TEST(TextDecodingUcs2, OddLengthsAndRangesOutsideTheBuffer) {
    const Bytes abc = {0x41, 0x00, 0x42, 0x00, 0x43};
    const ByteView v(abc);
    EXPECT_EQ(DecodeUcs2(v, 0, 5), "AB");  // the odd last byte is no character
    EXPECT_EQ(DecodeUcs2(v, 0, 3), "A");
    EXPECT_EQ(DecodeUcs2(v, 0, 1), "");
    EXPECT_EQ(DecodeUcs2(v, 0, 100), "AB");
    EXPECT_EQ(DecodeUcs2(v, 2, 100), "B");
    // The value's head lies before the buffer: only its pairs inside count,
    // still aligned to the value's own start.
    EXPECT_EQ(DecodeUcs2(v, -2, 6), "AB");
    EXPECT_EQ(DecodeUcs2(v, 5, 4), "");
    EXPECT_EQ(DecodeUcs2(v, 100, 4), "");
    EXPECT_EQ(DecodeUcs2(v, 0, 0), "");
    EXPECT_EQ(DecodeUcs2(v, 0, -2), "");
    EXPECT_EQ(DecodeUcs2(v, INT64_MAX - 1, INT64_MAX), "");
    EXPECT_EQ(DecodeUcs2(v, INT64_MIN, 4), "");
    EXPECT_EQ(DecodeUcs2(ByteView(), 0, 4), "");
}

TEST(TextDecodingCompressed, BytesAfterTheMarkerAreLatin1Characters) {
    EXPECT_EQ(Jet({0xFF, 0xFE, 'A', 0xE9, 'B'}), "A\xC3\xA9" "B");
    EXPECT_EQ(Jet({0xFF, 0xFE, 0xFC, 0xDF}), "\xC3\xBC\xC3\x9F");  // "üß"
    EXPECT_EQ(Jet({0xFF, 0xFE}), "");
    EXPECT_EQ(DecodeCompressedText(ByteView(), 0, 3), "");
}

TEST(TextDecodingCompressed, AZeroByteTogglesIntoUcs2PairsAndBack) {
    // "A", toggle, "П" and "中" as pairs, toggle, "B".
    EXPECT_EQ(Jet({0xFF, 0xFE, 'A', 0x00, 0x1F, 0x04, 0x2D, 0x4E, 0x00, 'B'}), "AП中B");
    // Text may begin in the pair mode, and may end in it.
    EXPECT_EQ(Jet({0xFF, 0xFE, 0x00, 0x1F, 0x04}), "П");
    // An odd byte left in the pair mode is no character.
    EXPECT_EQ(Jet({0xFF, 0xFE, 'A', 0x00, 0x1F}), "A");
    // A surrogate pair inside the pair mode is joined.
    EXPECT_EQ(Jet({0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x01, 0xDC}), "\xF0\x9F\x90\x81");
}

TEST(TextDecodingCompressed, OnlyTheValuesOwnBytesInsideTheBufferAreRead) {
    const Bytes page = {'x', 0xFF, 0xFE, 'A', 'B', 'C'};
    const ByteView v(page);
    EXPECT_EQ(DecodeJetText(v, 1, 4), "AB");  // 'C' belongs to the next value
    EXPECT_EQ(DecodeJetText(v, 1, 100), "ABC");
    EXPECT_EQ(DecodeCompressedText(v, 3, 100), "ABC");
    EXPECT_EQ(DecodeCompressedText(v, -2, 5), "x\xC3\xBF\xC3\xBE");
    EXPECT_EQ(DecodeCompressedText(v, 6, 5), "");
}

TEST(TextDecodingJetText, TheMarkerDecidesTheForm) {
    // Without the marker the value is UCS-2, even if it looks like single bytes.
    EXPECT_EQ(Jet(Units({'A', 0xE9})), "A\xC3\xA9");
    EXPECT_EQ(Jet({0xFE, 0xFF, 'A', 0x00}), "\xEF\xBF\xBE" "A");
    // A marker cut by the count is no marker.
    const Bytes cut = {0xFF, 0xFE, 'A'};
    EXPECT_FALSE(HasCompressedTextMarker(ByteView(cut), 0, 1));
    EXPECT_TRUE(HasCompressedTextMarker(ByteView(cut), 0, 2));
    EXPECT_FALSE(HasCompressedTextMarker(ByteView(cut), 1, 2));
    EXPECT_FALSE(HasCompressedTextMarker(ByteView(cut), 2, 2));  // second byte outside
    EXPECT_FALSE(HasCompressedTextMarker(ByteView(cut), -1, 3));
    EXPECT_EQ(DecodeJetText(ByteView(cut), 0, 1), "");
}

}  // namespace
}  // namespace pw
