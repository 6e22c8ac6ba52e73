#include "pagestore/PageCipher.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "pagestore/FieldReaders.h"

namespace pw {
namespace {

// The fixed key of the header mask.
constexpr std::array<std::uint8_t, 4> kHeaderMaskKey = {0xC7, 0xDA, 0x39, 0x6B};
constexpr char kJetTitle[] = "Standard Jet DB";
constexpr std::size_t kTitleOffset = 4;

std::array<std::uint8_t, 4> LittleEndian(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

void Rc4InPlace(const std::array<std::uint8_t, 4>& keyBytes, std::uint8_t* data, std::size_t size) {
    RC4_KEY key;
    RC4_set_key(&key, static_cast<int>(keyBytes.size()), keyBytes.data());
    RC4(&key, size, data, data);
}

}  // namespace

bool IsJet4Header(ByteView page) {
    constexpr std::size_t titleLength = sizeof kJetTitle - 1;
    if (page.size() < kHeaderMaskOffset + kHeaderMaskLength) return false;
    return std::memcmp(page.data() + kTitleOffset, kJetTitle, titleLength) == 0 &&
           page[kHeaderVersionOffset] == kJet4Version;
}

void ToggleHeaderMask(std::uint8_t* header, std::size_t size) {
    if (header == nullptr || size <= kHeaderMaskOffset) return;
    const std::size_t length = std::min(kHeaderMaskLength, size - kHeaderMaskOffset);
    Rc4InPlace(kHeaderMaskKey, header + kHeaderMaskOffset, length);
}

std::uint32_t ReadDatabaseKey(ByteView headerPage) {
    if (!IsJet4Header(headerPage)) return 0;
    std::array<std::uint8_t, kHeaderMaskOffset + kHeaderMaskLength> header{};
    std::memcpy(header.data(), headerPage.data(), header.size());
    ToggleHeaderMask(header.data(), header.size());
    return static_cast<std::uint32_t>(ReadInt32(ByteView(header.data(), header.size()), kDatabaseKeyOffset));
}

PageCipher PageCipher::FromHeader(ByteView headerPage) { return PageCipher(ReadDatabaseKey(headerPage)); }

PageCipher PageCipher::FromKey(std::uint32_t databaseKey) { return PageCipher(databaseKey); }

void PageCipher::Decode(std::uint8_t* page, std::size_t size, std::int32_t pageNumber) const {
    if (!active() || page == nullptr || size == 0 || pageNumber <= 0) return;
    Rc4InPlace(LittleEndian(key_ ^ static_cast<std::uint32_t>(pageNumber)), page, size);
}

}  // namespace pw
