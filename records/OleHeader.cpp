#include "records/OleHeader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "pagestore/ByteView.h"
#include "pagestore/FieldReaders.h"

namespace pw {
namespace {

constexpr std::int32_t kOleSignature = 0x1C15;
constexpr std::int64_t kMaxHeaderLength = 276;
constexpr std::int64_t kMaxClassNameLength = 256;
constexpr std::int64_t kObjectNameOffset = 20;
constexpr std::int64_t kMaxLabelLength = 257;
constexpr std::int64_t kMaxLabelAndSourceLength = 512;

ByteView AsBytes(const std::string& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool NameIs(const std::string& bytes, std::string_view prefix) {
    return std::string_view(bytes)
        .substr(std::min<std::size_t>(kObjectNameOffset, bytes.size()))
        .starts_with(prefix);
}

// Reads a zero-terminated text of at most `maxLength` characters starting at
// `position`; on success `position` is moved past its zero.
bool ReadZeroTerminated(const std::string& bytes, std::int64_t& position, std::int64_t maxLength,
                        std::string& text) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    for (std::int64_t i = position; i < size && i - position <= maxLength; ++i) {
        if (bytes[static_cast<std::size_t>(i)] != '\0') continue;
        text.assign(bytes, static_cast<std::size_t>(position), static_cast<std::size_t>(i - position));
        position = i + 1;
        return true;
    }
    return false;
}

// Keeps `count` bytes from `first` on (all that remain when count does not fit).
void Cut(std::string& bytes, std::int64_t first, std::int64_t count) {
    bytes.erase(0, static_cast<std::size_t>(first));
    if (count >= 0 && count < static_cast<std::int64_t>(bytes.size()))
        bytes.resize(static_cast<std::size_t>(count));
}

// Package native data: 2 bytes, label, optional source path, 4 bytes, a
// length-prefixed temporary path, the declared size, the embedded file.
int CutPackage(std::string& bytes, std::int64_t nativeStart, std::string& extension) {
    const ByteView view = AsBytes(bytes);
    const auto size = static_cast<std::int64_t>(bytes.size());
    std::int64_t p = nativeStart + 2;
    std::string label;
    if (!ReadZeroTerminated(bytes, p, kMaxLabelLength, label)) return -1;
    if (ReadInt8(view, p) != 0) {
        std::string source;
        const auto room = kMaxLabelAndSourceLength - static_cast<std::int64_t>(label.size());
        if (!ReadZeroTerminated(bytes, p, room, source)) return -1;
    }

    const std::size_t dot = label.rfind('.');
    if (dot == 0) return -1;
    extension = dot == std::string::npos ? label : label.substr(dot + 1);

    if (p + 8 >= size) return -1;
    const std::int64_t tempPathLength = ReadInt32(view, p + 4);
    p += 8;
    if (tempPathLength < 0 || tempPathLength + p + 4 >= size) return -1;
    p += tempPathLength;
    const std::int64_t embeddedLength = static_cast<std::int64_t>(ReadInt32(view, p)) - 4;
    p += 4;
    if (embeddedLength < 0 || embeddedLength >= size) return -1;
    Cut(bytes, p, embeddedLength);
    return 1;
}

// A picture's native data may carry padding after the bitmap; the file keeps
// the size the bitmap's own header states, so that it is the bitmap exactly.
void TrimToBitmapSize(std::string& payload) {
    const ByteView view = AsBytes(payload);
    if (payload.size() < 14 || payload[0] != 'B' || payload[1] != 'M') return;
    const std::int64_t stated = static_cast<std::uint32_t>(ReadInt32(view, 2));
    if (stated >= 14 && stated < static_cast<std::int64_t>(payload.size())) payload.resize(static_cast<std::size_t>(stated));
}

}  // namespace

int ParseOleHeader(std::string& objectBytes, std::string& extension) {
    extension.clear();
    const ByteView view = AsBytes(objectBytes);
    const auto size = static_cast<std::int64_t>(objectBytes.size());
    if (size < 4 || ReadUInt16(view, 0) != kOleSignature) return -1;
    const std::int64_t headerLength = ReadUInt16(view, 2);
    if (headerLength + 12 >= size || headerLength > kMaxHeaderLength) return -1;
    const std::int64_t classNameLength = ReadInt32(view, headerLength + 8);
    if (classNameLength < 0 || classNameLength > kMaxClassNameLength ||
        classNameLength + headerLength + 24 >= size)
        return -1;
    const std::int64_t nativeLength = ReadInt32(view, classNameLength + headerLength + 20);
    const std::int64_t nativeStart = classNameLength + headerLength + 24;

    if (NameIs(objectBytes, "Package")) return CutPackage(objectBytes, nativeStart, extension);
    const bool acrobat = NameIs(objectBytes, "Acrobat");
    if (NameIs(objectBytes, "Bitmap")) {
        extension = "bmp";
    } else if (acrobat) {
        extension = "pdf";
    }
    Cut(objectBytes, nativeStart, acrobat ? -1 : nativeLength);
    if (extension == "bmp") TrimToBitmapSize(objectBytes);
    return 1;
}

}  // namespace pw
