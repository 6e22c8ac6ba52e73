#include "pagestore/TextDecoding.h"

#include <algorithm>
#include <vector>

namespace pw {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Range {
    std::size_t first = 0;
    std::size_t last = 0;
};

Range Clamp(ByteView buffer, std::int64_t start, std::int64_t count) {
    if (count <= 0) return {};
    const std::int64_t size = static_cast<std::int64_t>(buffer.size());
    std::int64_t first = std::max<std::int64_t>(start, 0);
    std::int64_t last = start > size - count ? size : start + count;
    if (first >= last) return {};
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

// Joins UTF-16 code units into code points.
class Utf16Joiner {
public:
    explicit Utf16Joiner(std::string& out) : out_(out) {}
    void Add(std::uint16_t unit) {
        // Most stored text is ASCII; it skips the surrogate and width checks.
        if (unit < 0x80 && pendingHigh_ == 0) {
            out_.push_back(static_cast<char>(unit));
            return;
        }
        if (pendingHigh_ != 0) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                AppendUtf8(out_, 0x10000 + ((static_cast<char32_t>(pendingHigh_) - 0xD800) << 10) + (unit - 0xDC00));
                pendingHigh_ = 0;
                return;
            }
            AppendUtf8(out_, kReplacement);
            pendingHigh_ = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHigh_ = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out_, kReplacement);
        } else {
            AppendUtf8(out_, unit);
        }
    }
    // Units 0x01-0x7F in one piece; false (nothing taken) after a high
    // surrogate, which the first of them must replace.
    bool AddAscii(const std::uint8_t* units, std::size_t count) {
        if (pendingHigh_ != 0) return false;
        out_.append(reinterpret_cast<const char*>(units), count);
        return true;
    }
    void Finish() {
        if (pendingHigh_ != 0) AppendUtf8(out_, kReplacement);
        pendingHigh_ = 0;
    }

private:
    std::string& out_;
    std::uint16_t pendingHigh_ = 0;
};

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {

void DecodeUcs2Into(ByteView buffer, std::int64_t start, std::int64_t count, std::string& out) {
    out.clear();
    Range r = Clamp(buffer, start, count);
    // Pairs are counted from the value's own start, even when its head lies
    // outside the buffer.
    std::size_t first = r.first;
    if (start < 0 && start % 2 != 0) ++first;
    out.reserve((r.last - std::min(first, r.last)) / 2);
    Utf16Joiner joiner(out);
    for (std::size_t i = first; i + 1 < r.last; i += 2)
        joiner.Add(static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8)));
    joiner.Finish();
}

void DecodeCompressedTextInto(ByteView buffer, std::int64_t start, std::int64_t count, std::string& out) {
    out.clear();
    Range r = Clamp(buffer, start, count);
    out.reserve(r.last - r.first);
    Utf16Joiner joiner(out);
    bool compressed = true;
    std::size_t i = r.first;
    while (i < r.last) {
        if (buffer[i] == 0) {
            compressed = !compressed;
            ++i;
            continue;
        }
        if (compressed) {
            // Most compressed text is ASCII, taken a run at a time.
            std::size_t end = i;
            while (end < r.last && buffer[end] != 0 && buffer[end] < 0x80) ++end;
            if (end > i && joiner.AddAscii(buffer.data() + i, end - i)) {
                i = end;
                continue;
            }
            joiner.Add(buffer[i]);
            ++i;
        } else {
            if (i + 1 >= r.last) break;
            joiner.Add(static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8)));
            i += 2;
        }
    }
    joiner.Finish();
}

}  // namespace

std::string DecodeUcs2(ByteView buffer, std::int64_t start, std::int64_t count) {
    std::string out;
    DecodeUcs2Into(buffer, start, count, out);
    return out;
}

std::string DecodeCompressedText(ByteView buffer, std::int64_t start, std::int64_t count) {
    std::string out;
    DecodeCompressedTextInto(buffer, start, count, out);
    return out;
}

std::size_t Utf8SequenceAt(const std::string& text, std::size_t i, char32_t& codePoint) {
    if (i >= text.size()) return 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

std::u32string Utf8CodePoints(const std::string& utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = Utf8SequenceAt(utf8, i, cp);
        out.push_back(length == 0 ? kReplacement : cp);
        i += length == 0 ? 1 : length;
    }
    return out;
}

bool HasCompressedTextMarker(ByteView buffer, std::int64_t start, std::int64_t count) {
    if (count < 2 || start < 0 || start > static_cast<std::int64_t>(buffer.size()) - 2) return false;
    return buffer[static_cast<std::size_t>(start)] == 0xFF && buffer[static_cast<std::size_t>(start) + 1] == 0xFE;
}

std::string DecodeJetText(ByteView buffer, std::int64_t start, std::int64_t count) {
    std::string out;
    DecodeJetTextInto(buffer, start, count, out);
    return out;
}

void DecodeJetTextInto(ByteView buffer, std::int64_t start, std::int64_t count, std::string& out) {
    if (HasCompressedTextMarker(buffer, start, count))
        DecodeCompressedTextInto(buffer, start + 2, count - 2, out);
    else
        DecodeUcs2Into(buffer, start, count, out);
}

}  // namespace pw
