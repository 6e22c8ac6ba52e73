#include "pagestore/FieldReaders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pw {
namespace {

ByteView View(const std::vector<std::uint8_t>& bytes) { return ByteView(bytes); }

TEST(FieldReaders, NumbersAreLittleEndianWithTheStatedSign) {
    std::vector<std::uint8_t> b{0x80, 0x34, 0x12, 0x01, 0x02, 0x03, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ReadInt8(View(b), 0), -128);
    EXPECT_EQ(ReadUInt16(View(b), 1), 0x1234);
    EXPECT_EQ(ReadUInt24(View(b), 3), 0x030201);
    EXPECT_EQ(ReadInt32(View(b), 6), -1);
    EXPECT_EQ(ReadUInt16(View(b), 6), 65535);  // no sign extension
}

TEST(FieldReaders, ReadsThatLeaveTheBufferYieldZero) {
    std::vector<std::uint8_t> b{0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ReadInt8(View(b), 4), 0);
    EXPECT_EQ(ReadUInt16(View(b), 3), 0);  // partly outside
    EXPECT_EQ(ReadUInt24(View(b), 2), 0);
    EXPECT_EQ(ReadInt32(View(b), 1), 0);
    EXPECT_EQ(ReadInt32(View(b), -1), 0);
    EXPECT_EQ(ReadInt32(View(b), INT64_MAX), 0);
    EXPECT_EQ(ReadInt32(View(b), INT64_MIN), 0);
    EXPECT_EQ(ReadInt32(View(b), 0), -1);
}

TEST(FieldReaders, RawTextKeepsZeroBytes) {
    std::vector<std::uint8_t> b{0x41, 0x00, 0x42};
    std::string raw = ExtractRawText(View(b), 0, 3);
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_EQ(raw[1], '\0');
}

TEST(FieldReaders, TextCountsOfZeroOrLessAndOutsideRangesGiveNothing) {
    std::vector<std::uint8_t> b{0x41, 0x42, 0x43};
    EXPECT_EQ(ExtractRawText(View(b), 0, -1), "");
    EXPECT_EQ(ExtractRawText(View(b), 2, 10), "C");
    EXPECT_EQ(ExtractRawText(View(b), -2, 3), "A");
    EXPECT_EQ(ExtractRawText(View(b), INT64_MAX - 1, INT64_MAX), "");
    EXPECT_EQ(ExtractRawText(View(b), 0, 0), "");
}

}  // namespace
}  // namespace pw
