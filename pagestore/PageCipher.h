#pragma once

#include <cstddef>
#include <cstdint>

#include "pagestore/ByteView.h"

namespace pw {

// A Jet 4 file can be written with page encoding: the header then holds a
// non-zero database key, and every page after the header is enciphered with
// RC4 under that key XOR the page number (both as four little-endian bytes).
// The header itself is never enciphered that way, but from byte 0x18 on its
// next 128 bytes are XORed with the RC4 stream of a fixed key, whether the
// pages are encoded or not; the database key lies in that masked area.
inline constexpr std::size_t kHeaderMaskOffset = 0x18;
inline constexpr std::size_t kHeaderMaskLength = 128;
inline constexpr std::size_t kDatabaseKeyOffset = 0x3E;
// Where the version byte and the format title of the header are.
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::uint8_t kJet4Version = 0x01;

// XORs the masked area of a header page with the fixed mask stream, in place:
// once unmasks, twice restores. Bytes past `size` are left alone, and a buffer
// shorter than the area is masked as far as it goes.
void ToggleHeaderMask(std::uint8_t* header, std::size_t size);

// True when the page starts as a Jet 4 header: the "Standard Jet DB" title
// at byte 4, version byte 1, and room for the whole masked area.
bool IsJet4Header(ByteView page);

// The database key of a header page (masked, as stored): 0 when the page is
// not a Jet 4 header ("Standard Jet DB" title and version byte 1) or is too
// short to hold the key.
std::uint32_t ReadDatabaseKey(ByteView headerPage);

// Deciphers (and, RC4 being its own inverse, enciphers) the pages of one file.
// Holds only the database key: copies are cheap, and Decode may be called
// from several threads at once.
class PageCipher {
public:
    // Inactive: Decode changes nothing.
    PageCipher() = default;
    // From the header page as read from the file; inactive when the header is
    // not a Jet 4 header or its key is 0.
    static PageCipher FromHeader(ByteView headerPage);
    // From a known key; inactive for key 0.
    static PageCipher FromKey(std::uint32_t databaseKey);

    bool active() const { return key_ != 0; }
    std::uint32_t databaseKey() const { return key_; }

    // Deciphers `size` bytes of page `pageNumber` in place. Nothing happens
    // when the cipher is inactive, for the header page (0) and for negative
    // page numbers; a short (cut) page is deciphered as far as it goes.
    void Decode(std::uint8_t* page, std::size_t size, std::int32_t pageNumber) const;

private:
    explicit PageCipher(std::uint32_t key) : key_(key) {}
    std::uint32_t key_ = 0;
};

}  // namespace pw
