#include "schema/IndexKeyText.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

struct Weight {
    std::uint8_t lead;    // first byte; for one-byte weights the whole weight
    std::uint8_t second;  // second byte of a two-byte weight, else 0
    char32_t character;
};

// Access 2000-2007: letters and digits one byte each; punctuation 0x2B xx,
// Cyrillic 0x79 xx. Only weights seen in files written by Access are listed.
constexpr Weight kLegacyWeights[] = {
    {0x07, 0, U' '},    {0x24, 0, U'?'},    {0x36, 0, U'0'},    {0x38, 0, U'1'},    {0x3A, 0, U'2'},
    {0x3C, 0, U'3'},    {0x3E, 0, U'4'},    {0x40, 0, U'5'},    {0x42, 0, U'6'},    {0x44, 0, U'7'},
    {0x46, 0, U'8'},    {0x48, 0, U'9'},    {0x4A, 0, U'a'},    {0x4C, 0, U'b'},    {0x4D, 0, U'c'},
    {0x4F, 0, U'd'},    {0x51, 0, U'e'},    {0x53, 0, U'f'},    {0x55, 0, U'g'},    {0x57, 0, U'h'},
    {0x59, 0, U'i'},    {0x5B, 0, U'j'},    {0x5C, 0, U'k'},    {0x5E, 0, U'l'},    {0x60, 0, U'm'},
    {0x62, 0, U'n'},    {0x64, 0, U'o'},    {0x66, 0, U'p'},    {0x68, 0, U'q'},    {0x69, 0, U'r'},
    {0x6B, 0, U's'},    {0x6D, 0, U't'},    {0x6F, 0, U'u'},    {0x71, 0, U'v'},    {0x73, 0, U'w'},
    {0x75, 0, U'x'},    {0x76, 0, U'y'},    {0x78, 0, U'z'},    {0x2B, 0x03, U'_'}, {0x2B, 0x09, U'{'},
    {0x2B, 0x0D, U'}'}, {0x2B, 0x0F, U'~'}, {0x79, 0x2F, U'а'}, {0x79, 0x30, U'б'}, {0x79, 0x31, U'в'},
    {0x79, 0x32, U'г'}, {0x79, 0x33, U'д'}, {0x79, 0x36, U'е'}, {0x79, 0x38, U'ж'}, {0x79, 0x39, U'з'},
    {0x79, 0x3B, U'и'}, {0x79, 0x3E, U'й'}, {0x79, 0x40, U'к'}, {0x79, 0x41, U'л'}, {0x79, 0x43, U'м'},
    {0x79, 0x44, U'н'}, {0x79, 0x46, U'о'}, {0x79, 0x47, U'п'}, {0x79, 0x48, U'р'}, {0x79, 0x49, U'с'},
    {0x79, 0x4A, U'т'}, {0x79, 0x4D, U'у'}, {0x79, 0x52, U'ц'}, {0x79, 0x53, U'ч'}, {0x79, 0x56, U'щ'},
    {0x79, 0x58, U'ы'}, {0x79, 0x59, U'ь'}, {0x79, 0x5B, U'ю'}, {0x79, 0x5C, U'я'},
};

// Access 2010 and later: a script byte (0x0E Latin letters, 0x0D digits,
// 0x07 punctuation) and a weight within it.
constexpr Weight kWeights2010[] = {
    {0x07, 0x44, U'_'}, {0x0D, 0x17, U'0'}, {0x0D, 0x19, U'1'}, {0x0D, 0x1A, U'2'}, {0x0D, 0x1B, U'3'},
    {0x0D, 0x1C, U'4'}, {0x0D, 0x1D, U'5'}, {0x0D, 0x1E, U'6'}, {0x0D, 0x1F, U'7'}, {0x0D, 0x20, U'8'},
    {0x0D, 0x21, U'9'}, {0x0E, 0x02, U'a'}, {0x0E, 0x09, U'b'}, {0x0E, 0x0A, U'c'}, {0x0E, 0x1A, U'd'},
    {0x0E, 0x21, U'e'}, {0x0E, 0x23, U'f'}, {0x0E, 0x25, U'g'}, {0x0E, 0x2C, U'h'}, {0x0E, 0x32, U'i'},
    {0x0E, 0x35, U'j'}, {0x0E, 0x36, U'k'}, {0x0E, 0x48, U'l'}, {0x0E, 0x51, U'm'}, {0x0E, 0x70, U'n'},
    {0x0E, 0x7C, U'o'}, {0x0E, 0x7E, U'p'}, {0x0E, 0x89, U'q'}, {0x0E, 0x8A, U'r'}, {0x0E, 0x91, U's'},
    {0x0E, 0x99, U't'}, {0x0E, 0x9F, U'u'}, {0x0E, 0xA2, U'v'}, {0x0E, 0xA4, U'w'}, {0x0E, 0xA6, U'x'},
    {0x0E, 0xA7, U'y'}, {0x0E, 0xA9, U'z'},
};

constexpr std::uint8_t kSectionEnd = 0x01;
constexpr std::uint8_t kKeyEnd = 0x00;
constexpr std::uint8_t kNoMark = 0x02;
constexpr std::uint8_t kAcute = 0x0E;
constexpr std::uint8_t kDiaeresis = 0x13;

bool TwoByteLead(std::uint8_t lead, bool modern) {
    if (modern) return true;
    return lead == 0x2B || lead == 0x79;
}

std::optional<char32_t> Lookup(std::uint8_t lead, std::uint8_t second, bool modern) {
    const std::span<const Weight> table = modern ? std::span<const Weight>(kWeights2010) : std::span<const Weight>(kLegacyWeights);
    for (const Weight& w : table)
        if (w.lead == lead && w.second == second) return w.character;
    return std::nullopt;
}

std::optional<char32_t> Marked(char32_t base, std::uint8_t mark) {
    if (mark == kNoMark) return base;
    constexpr std::u32string_view plain = U"aeiouy";
    constexpr std::u32string_view acute = U"áéíóúý";
    constexpr std::u32string_view diaeresis = U"äëïöüÿ";
    const std::size_t at = plain.find(base);
    if (at == std::u32string_view::npos) return std::nullopt;
    if (mark == kAcute) return acute[at];
    if (mark == kDiaeresis) return diaeresis[at];
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadIndexKeyText(ByteView key) {
    if (key.empty()) return std::nullopt;
    // A name cannot start with a space, so a leading 0x07 is the later
    // table's punctuation script.
    const bool modern = key[0] == 0x0D || key[0] == 0x0E || key[0] == 0x07;
    std::vector<char32_t> characters;
    std::size_t i = 0;
    while (i < key.size() && key[i] != kSectionEnd) {
        const std::uint8_t lead = key[i];
        std::uint8_t second = 0;
        if (TwoByteLead(lead, modern)) {
            if (i + 1 >= key.size()) return std::nullopt;
            second = key[i + 1];
            i += 2;
        } else {
            i += 1;
        }
        const std::optional<char32_t> c = Lookup(lead, second, modern);
        if (!c) return std::nullopt;
        characters.push_back(*c);
    }
    if (characters.empty() || i >= key.size()) return std::nullopt;
    ++i;  // past the end of the weights
    // Accent marks, one for each character from the first, the trailing
    // unmarked ones left out.
    for (std::size_t position = 0; i < key.size() && key[i] != kKeyEnd; ++i, ++position) {
        if (position >= characters.size()) return std::nullopt;
        const std::optional<char32_t> marked = Marked(characters[position], key[i]);
        if (!marked) return std::nullopt;
        characters[position] = *marked;
    }
    if (i + 1 != key.size()) return std::nullopt;  // case and other sections: not read back
    std::string name;
    for (char32_t c : characters) AppendUtf8(name, c);
    return name;
}

}  // namespace pw
