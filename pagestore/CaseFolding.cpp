#include "pagestore/CaseFolding.h"

#include <locale.h>
#include <wctype.h>

#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

// Used only when the system lacks a UTF-8 locale: ASCII, Latin-1, Greek and
// Cyrillic capitals.
char32_t FallbackLower(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    return c;
}

// A locale of its own, so that the rule does not follow the locale the
// process was started in.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return locale;
}

char32_t LowerCodePoint(char32_t c) {
    const locale_t locale = Utf8Locale();
    if (locale == static_cast<locale_t>(nullptr)) return FallbackLower(c);
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

}  // namespace

std::string CaseFolded(const std::string& utf8) {
    std::string lower;
    lower.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(utf8, i, c);
        if (length == 0) {
            lower.push_back(utf8[i]);
            ++i;
            continue;
        }
        AppendUtf8(lower, LowerCodePoint(c));
        i += length;
    }
    return lower;
}

}  // namespace pw
