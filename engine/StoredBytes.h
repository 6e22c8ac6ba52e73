#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pw {

using StoredBytes = std::vector<std::uint8_t>;

inline void PutU16(StoredBytes& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU24(StoredBytes& out, std::size_t at, std::uint32_t v) {
    PutU16(out, at, v);
    out[at + 2] = static_cast<std::uint8_t>(v >> 16);
}
inline void PutU32(StoredBytes& out, std::size_t at, std::uint32_t v) {
    PutU16(out, at, v);
    PutU16(out, at + 2, v >> 16);
}
inline void AppendU16(StoredBytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendU32(StoredBytes& out, std::uint32_t v) {
    AppendU16(out, v);
    AppendU16(out, v >> 16);
}

// UTF-8 to UTF-16 little-endian code units (malformed sequences become U+FFFD).
StoredBytes EncodeUtf16(const std::string& utf8);

// A text value as Jet stores it: compressed (0xFF 0xFE and one byte a
// character) when every character is U+0001-U+00FF, else UTF-16. Both halve
// nothing: the compressed form is chosen only where it is exact.
StoredBytes EncodeJetText(const std::string& utf8);

}  // namespace pw
