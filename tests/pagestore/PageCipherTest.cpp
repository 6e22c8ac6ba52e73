#include "pagestore/PageCipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "tests/support/DatabaseBuilder.h"
#include "tests/support/PageEncipher.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The cipher written out from its textbook description, to check the one in
// use against: key scheduling, then the output stream XORed onto the data.
Bytes TextbookRc4(const std::array<std::uint8_t, 4>& key, Bytes data) {
    std::array<std::uint8_t, 256> s{};
    std::iota(s.begin(), s.end(), 0);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    int i = 0, j = 0;
    for (std::uint8_t& byte : data) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        byte ^= s[(s[i] + s[j]) & 0xFF];
    }
    return data;
}

Bytes PatternPage(std::size_t size = kPageSize) {
    Bytes page(size);
    for (std::size_t i = 0; i < size; ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return page;
}

// A Jet 4 header page, masked as stored, holding `key`.
Bytes Jet4Header(std::uint32_t key) {
    Bytes page(kPageSize, 0);
    const char title[] = "Standard Jet DB";
    std::memcpy(page.data() + 4, title, sizeof title - 1);
    page[kHeaderVersionOffset] = kJet4Version;
    for (int i = 0; i < 4; ++i) page[kDatabaseKeyOffset + i] = static_cast<std::uint8_t>(key >> (8 * i));
    ToggleHeaderMask(page.data(), page.size());
    return page;
}

TEST(PageCipher, HeaderMaskIsTheStreamEveryIntactJetFourHeaderCarries) {
    // The last twelve bytes of the masked area are zero in every Jet 4 file
    // seen, so what the files store there is the mask stream itself.
    Bytes header(kPageSize, 0);
    ToggleHeaderMask(header.data(), header.size());
    const Bytes stored = {0x07, 0xC7, 0x46, 0xA1, 0x78, 0x16, 0x0C, 0xED, 0xE9, 0x2D, 0x62, 0xD4};
    EXPECT_EQ(Bytes(header.begin() + 0x8C, header.begin() + 0x98), stored);
    // Nothing before the area or after it changes.
    EXPECT_TRUE(std::all_of(header.begin(), header.begin() + kHeaderMaskOffset, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(header.begin() + kHeaderMaskOffset + kHeaderMaskLength, header.end(),
                            [](auto b) { return b == 0; }));
    ToggleHeaderMask(header.data(), header.size());
    EXPECT_EQ(header, Bytes(kPageSize, 0));
}

TEST(PageCipher, HeaderMaskOfAShortBufferGoesAsFarAsItCan) {
    Bytes full(kPageSize, 0);
    ToggleHeaderMask(full.data(), full.size());
    for (std::size_t size : {std::size_t{0}, std::size_t{0x18}, std::size_t{0x19}, std::size_t{0x40}}) {
        Bytes shortHeader(size, 0);
        ToggleHeaderMask(shortHeader.data(), shortHeader.size());
        EXPECT_EQ(shortHeader, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size))) << size;
    }
    ToggleHeaderMask(nullptr, 100);  // nothing to do, and no crash
}

TEST(PageCipher, DatabaseKeyIsReadFromTheUnmaskedHeader) {
    EXPECT_EQ(ReadDatabaseKey(Jet4Header(0x12345678)), 0x12345678u);
    EXPECT_EQ(ReadDatabaseKey(Jet4Header(0)), 0u);
    const PageCipher cipher = PageCipher::FromHeader(Jet4Header(0xCAFEF00D));
    EXPECT_TRUE(cipher.active());
    EXPECT_EQ(cipher.databaseKey(), 0xCAFEF00Du);
    EXPECT_FALSE(PageCipher::FromHeader(Jet4Header(0)).active());
}

TEST(PageCipher, OnlyAJetFourHeaderSpeaksForTheFile) {
    Bytes ace = Jet4Header(0x11223344);
    std::memcpy(ace.data() + 4, "Standard ACE DB", 15);
    EXPECT_EQ(ReadDatabaseKey(ace), 0u);
    Bytes otherVersion = Jet4Header(0x11223344);
    otherVersion[kHeaderVersionOffset] = 0x02;
    EXPECT_EQ(ReadDatabaseKey(otherVersion), 0u);
    const Bytes header = Jet4Header(0x11223344);
    for (std::size_t size : {std::size_t{0}, std::size_t{0x40}, kHeaderMaskOffset + kHeaderMaskLength - 1})
        EXPECT_EQ(ReadDatabaseKey(ByteView(header.data(), size)), 0u) << size;
    EXPECT_EQ(ReadDatabaseKey(ByteView(header.data(), kHeaderMaskOffset + kHeaderMaskLength)), 0x11223344u);
    EXPECT_FALSE(PageCipher().active());
}

TEST(PageCipher, PageKeyIsTheDatabaseKeyXorThePageNumberLittleEndian) {
    const std::uint32_t key = 0xA1B2C3D4;
    const PageCipher cipher = PageCipher::FromKey(key);
    for (std::int32_t pageNumber : {1, 2, 255, 256, 70000}) {
        Bytes page = PatternPage();
        cipher.Decode(page.data(), page.size(), pageNumber);
        const std::uint32_t pageKey = key ^ static_cast<std::uint32_t>(pageNumber);
        const std::array<std::uint8_t, 4> keyBytes = {
            static_cast<std::uint8_t>(pageKey), static_cast<std::uint8_t>(pageKey >> 8),
            static_cast<std::uint8_t>(pageKey >> 16), static_cast<std::uint8_t>(pageKey >> 24)};
        EXPECT_EQ(page, TextbookRc4(keyBytes, PatternPage())) << pageNumber;
    }
}

TEST(PageCipher, DecodingTwiceRestoresThePage) {
    const PageCipher cipher = PageCipher::FromKey(0x0BADBEEF);
    Bytes page = PatternPage();
    cipher.Decode(page.data(), page.size(), 17);
    EXPECT_NE(page, PatternPage());
    Bytes other = PatternPage();
    cipher.Decode(other.data(), other.size(), 18);
    EXPECT_NE(page, other);  // every page has its own key
    cipher.Decode(page.data(), page.size(), 17);
    EXPECT_EQ(page, PatternPage());
}

TEST(PageCipher, HeaderPageNegativeNumbersAndAnInactiveCipherChangeNothing) {
    Bytes page = PatternPage();
    PageCipher::FromKey(0x55).Decode(page.data(), page.size(), 0);
    PageCipher::FromKey(0x55).Decode(page.data(), page.size(), -3);
    PageCipher().Decode(page.data(), page.size(), 5);
    PageCipher::FromKey(0).Decode(page.data(), page.size(), 5);
    PageCipher::FromKey(0x55).Decode(nullptr, 100, 5);
    EXPECT_EQ(page, PatternPage());
}

TEST(PageCipher, ACutPageIsDecipheredAsFarAsItGoes) {
    const PageCipher cipher = PageCipher::FromKey(0x01020304);
    Bytes full = PatternPage();
    cipher.Decode(full.data(), full.size(), 9);
    Bytes cut = PatternPage(1000);
    cipher.Decode(cut.data(), cut.size(), 9);
    EXPECT_EQ(cut, Bytes(full.begin(), full.begin() + 1000));
}

TEST(PageEncipher, BuiltFileGetsItsKeyAndEveryPageBack) {
    testing::DatabaseBuilder builder;
    const auto table = builder.AddTable(
        "People", {testing::Column("ID", testing::type::kLong), testing::Column("Name", testing::type::kText, 50)});
    builder.AddRow(table, {testing::Long(1), testing::Text("Ann")});
    const Bytes original = builder.Build();
    ASSERT_GE(original.size(), 3u * kPageSize);

    Bytes file = original;
    ASSERT_TRUE(testing::EncipherJet4Pages(file, 0x5EED1234));
    ASSERT_EQ(file.size(), original.size());
    const PageCipher cipher = PageCipher::FromHeader(ByteView(file.data(), kPageSize));
    ASSERT_TRUE(cipher.active());
    EXPECT_EQ(cipher.databaseKey(), 0x5EED1234u);
    // The header changes only in the four key bytes.
    for (std::size_t i = 0; i < static_cast<std::size_t>(kPageSize); ++i) {
        if (i < kDatabaseKeyOffset || i >= kDatabaseKeyOffset + 4) {
            EXPECT_EQ(file[i], original[i]) << i;
        }
    }
    for (std::size_t page = 1; page * kPageSize < file.size(); ++page) {
        std::uint8_t* at = file.data() + page * kPageSize;
        EXPECT_FALSE(std::equal(at, at + kPageSize, original.begin() + page * kPageSize)) << page;
        cipher.Decode(at, kPageSize, static_cast<std::int32_t>(page));
    }
    EXPECT_TRUE(std::equal(file.begin() + kPageSize, file.end(), original.begin() + kPageSize));
}

TEST(PageEncipher, RefusesKeyZeroAndBytesThatAreNoJetFourFile) {
    testing::DatabaseBuilder builder;
    Bytes file = builder.Build();
    const Bytes original = file;
    EXPECT_FALSE(testing::EncipherJet4Pages(file, 0));
    EXPECT_EQ(file, original);
    file[kHeaderVersionOffset] = 0x03;
    const Bytes ace = file;
    EXPECT_FALSE(testing::EncipherJet4Pages(file, 7));
    EXPECT_EQ(file, ace);
    Bytes tiny(100, 0);
    EXPECT_FALSE(testing::EncipherJet4Pages(tiny, 7));
}

}  // namespace
}  // namespace pw
