#include "status/DisplayText.h"

namespace pw {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

// Names and reasons are read out of a damaged file, so they can hold any bytes at all.
// nlohmann::json throws on dump when a string is not UTF-8, and a terminal may act on
// stray high bytes, so everything that leaves the report goes through here first.
// Overlong forms, surrogates and code points past U+10FFFF are rejected by narrowing the
// range allowed for the second byte; each maximal broken prefix becomes one U+FFFD, which
// is the usual substitution practice and keeps the output from growing wildly.
std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) secondLow = 0xA0;   // below is overlong
            if (lead == 0xED) secondHigh = 0x9F;  // above is a UTF-16 surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) secondLow = 0x90;   // below is overlong
            if (lead == 0xF4) secondHigh = 0x8F;  // above is past U+10FFFF
        } else {
            // A lone continuation byte, C0/C1 (always overlong) or F5 and up.
            out.append(kReplacement);
            ++i;
            continue;
        }
        std::size_t taken = 1;
        while (taken < length && i + taken < text.size()) {
            const auto byte = static_cast<unsigned char>(text[i + taken]);
            const bool fits = taken == 1 ? (byte >= secondLow && byte <= secondHigh)
                                         : IsContinuation(byte);
            if (!fits) break;
            ++taken;
        }
        if (taken == length) {
            out.append(text.substr(i, length));
        } else {
            out.append(kReplacement);
        }
        i += taken;
    }
    return out;
}

namespace {

void AppendHexEscape(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out.push_back(kDigits[(value >> 4) & 0xF]);
    out.push_back(kDigits[value & 0xF]);
}

}  // namespace

// A stored table name is free to contain ESC sequences or newlines; printed raw it could
// clear the screen or forge extra report lines. C1 controls (U+0080..U+009F) are included
// because some terminals treat them like their ESC-prefixed twins. The input is made valid
// UTF-8 first so that a bare 0x9B byte cannot slip through as a one-byte CSI.
std::string ForTerminal(std::string_view text) {
    const std::string valid = ValidUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto byte = static_cast<unsigned char>(valid[i]);
        if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, byte);
        } else if (byte == 0xC2 && i + 1 < valid.size() &&
                   static_cast<unsigned char>(valid[i + 1]) <= 0x9F) {
            // Valid UTF-8 guarantees the next byte is a continuation, so <= 0x9F means C1.
            AppendHexEscape(out, static_cast<unsigned char>(valid[i + 1]));
            ++i;
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

}  // namespace pw
