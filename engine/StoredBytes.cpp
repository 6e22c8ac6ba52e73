#include "engine/StoredBytes.h"

#include "pagestore/TextDecoding.h"

namespace pw {

StoredBytes EncodeUtf16(const std::string& utf8) {
    StoredBytes out;
    out.reserve(utf8.size() * 2);
    for (char32_t c : Utf8CodePoints(utf8)) {
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            AppendU16(out, 0xD800 + (v >> 10));
            AppendU16(out, 0xDC00 + (v & 0x3FF));
        } else {
            AppendU16(out, c);
        }
    }
    return out;
}

StoredBytes EncodeJetText(const std::string& utf8) {
    const std::u32string points = Utf8CodePoints(utf8);
    bool compressible = !points.empty();
    for (char32_t c : points)
        if (c == 0 || c > 0xFF) {
            compressible = false;
            break;
        }
    if (!compressible) return EncodeUtf16(utf8);
    StoredBytes out;
    out.reserve(points.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (char32_t c : points) out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

}  // namespace pw
