#include "tests/support/ValueEncoding.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "pagestore/TextDecoding.h"

namespace pw::testing {
namespace {

void Grow(Bytes& bytes, std::size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
}

template <typename T>
Bytes LittleEndian(T value) {
    Bytes out(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(out.begin(), out.end());
    return out;
}

void AppendUnit(Bytes& out, char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

void AppendUtf16(Bytes& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendUnit(out, 0xD800 + (cp >> 10));
        AppendUnit(out, 0xDC00 + (cp & 0x3FF));
    } else {
        AppendUnit(out, cp);
    }
}

}  // namespace

void PutU16(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Grow(bytes, offset + 2);
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutU24(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Grow(bytes, offset + 3);
    for (std::size_t i = 0; i < 3; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Grow(bytes, offset + 4);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void AppendU16(Bytes& bytes, std::uint32_t value) { PutU16(bytes, bytes.size(), value); }

Bytes Ucs2(const std::string& utf8) {
    Bytes out;
    for (char32_t cp : Utf8CodePoints(utf8)) AppendUtf16(out, cp);
    return out;
}

Bytes CompressedText(const std::string& utf8) {
    const std::u32string points = Utf8CodePoints(utf8);
    for (char32_t cp : points) {
        // A zero byte is the mode switch, so neither form can carry one.
        if (cp == 0 || cp >= 0x10000 || (cp > 0xFF && (cp & 0xFF) == 0)) return Ucs2(utf8);
    }
    Bytes out{0xFF, 0xFE};
    bool compressed = true;
    for (char32_t cp : points) {
        const bool fits = cp <= 0xFF;
        if (fits != compressed) {
            out.push_back(0x00);
            compressed = fits;
        }
        if (compressed) {
            out.push_back(static_cast<std::uint8_t>(cp));
        } else {
            AppendUnit(out, cp);
        }
    }
    return out;
}

Cell Byte(std::uint8_t value) { return Bytes{value}; }
Cell Int(std::int16_t value) { return LittleEndian(value); }
Cell Long(std::int32_t value) { return LittleEndian(value); }
Cell BigInt(std::int64_t value) { return LittleEndian(value); }
Cell Currency(std::int64_t tenThousandths) { return LittleEndian(tenThousandths); }
Cell Single(float value) { return LittleEndian(value); }
Cell Double(double value) { return LittleEndian(value); }
Cell Date(double serial) { return LittleEndian(serial); }

Cell Guid(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) hex.push_back(c);
    }
    if (hex.size() != 32) throw std::invalid_argument("a GUID needs 32 hexadecimal digits: " + text);
    std::array<std::uint8_t, 16> b{};
    for (std::size_t i = 0; i < 16; ++i)
        b[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    // The first three groups are numbers and are stored low byte first.
    Bytes out{b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
    out.insert(out.end(), b.begin() + 8, b.end());
    return out;
}

Cell Text(const std::string& utf8) { return Ucs2(utf8); }
Cell TextCompressed(const std::string& utf8) { return CompressedText(utf8); }

Cell Numeric(bool negative, unsigned __int128 magnitude) {
    Bytes out(17, 0);
    out[0] = negative ? 0x80 : 0x00;
    for (std::size_t group = 0; group < 4; ++group) {
        const auto part = static_cast<std::uint32_t>(magnitude >> (32 * (3 - group)));
        PutU32(out, 1 + 4 * group, part);
    }
    return out;
}

Cell Numeric(std::int64_t unscaled) {
    const bool negative = unscaled < 0;
    // Negate in 128 bits so that the smallest int64 keeps its magnitude.
    const unsigned __int128 magnitude = negative
                                            ? static_cast<unsigned __int128>(-static_cast<__int128>(unscaled))
                                            : static_cast<unsigned __int128>(unscaled);
    return Numeric(negative, magnitude);
}

Cell Bit(bool value) { return Bytes{static_cast<std::uint8_t>(value ? 1 : 0)}; }
Cell Binary(Bytes bytes) { return bytes; }

}  // namespace pw::testing
