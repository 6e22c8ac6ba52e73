#include "export/CsvFileNames.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace pw {
namespace {

bool IsRefused(unsigned char c) { return c < 0x20 || c == 0x7F || std::strchr("/\\<>:\"|?*", c) != nullptr; }

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// True when `longer` is `stem` followed by "_" and one or more digits.
bool IsNumberedPart(std::string_view longer, std::string_view stem) {
    if (longer.size() < stem.size() + 2 || longer.substr(0, stem.size()) != stem ||
        longer[stem.size()] != '_')
        return false;
    const std::string_view digits = longer.substr(stem.size() + 1);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string CutAtCharacter(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

std::string SanitizeCsvStem(std::string_view tableName) {
    if (tableName.empty()) return "_";
    if (tableName == ".") return "_";
    if (tableName == "..") return "__";
    std::string stem;
    stem.reserve(tableName.size());
    for (char c : tableName) stem.push_back(IsRefused(static_cast<unsigned char>(c)) ? '_' : c);
    return CutAtCharacter(std::move(stem), kMaxCsvStemBytes);
}

bool CsvFileNamer::Clashes(const std::string& stem) const {
    const std::string folded = FoldCase(stem);
    return std::any_of(taken_.begin(), taken_.end(), [&](const std::string& other) {
        return other == folded || IsNumberedPart(folded, other) || IsNumberedPart(other, folded);
    });
}

std::string CsvFileNamer::Reserve(std::string_view tableName) {
    const std::string base = SanitizeCsvStem(tableName);
    std::string stem = base;
    // Each attempt differs from every earlier one, so this ends after at most
    // one attempt per stem already taken.
    for (std::size_t n = 2; Clashes(stem); ++n) stem = base + " (" + std::to_string(n) + ")";
    taken_.push_back(FoldCase(stem));
    return stem;
}

}  // namespace pw
