#include "records/StoredFileName.h"

#include <cstring>

#include "pagestore/TextDecoding.h"
#include "records/SafeFileName.h"

namespace pw {
namespace {

constexpr std::size_t kMaxNameBytes = 200;

bool Refused(char32_t c) {
    return c < 0x20 || c == 0x7F || (c < 0x80 && std::strchr("<>:\"/\\|?*", static_cast<int>(c)) != nullptr);
}

// Appends the characters of `text` that are safe, replacing the others, until
// `budget` bytes are used; a character is never cut.
void AppendClean(std::string& out, const std::string& text, std::size_t budget) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(text, i, c);
        std::string piece;
        if (length == 0 || Refused(c)) piece = "_";
        else piece = text.substr(i, length);
        if (out.size() + piece.size() > budget) return;
        out += piece;
        i += length == 0 ? 1 : length;
    }
}

}  // namespace

std::string SafeStoredFileName(std::string_view stored) {
    const std::size_t cut = stored.find_last_of("/\\");
    std::string base(cut == std::string_view::npos ? stored : stored.substr(cut + 1));
    std::size_t start = 0;
    while (start < base.size() && (base[start] == '.' || base[start] == ' ')) ++start;
    base.erase(0, start);
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();

    const std::size_t dot = base.rfind('.');
    std::string stemPart = dot == std::string::npos ? base : base.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : SafeFileExtension(base.substr(dot + 1));

    std::string name;
    const std::size_t room = kMaxNameBytes - (extension.empty() ? 0 : extension.size() + 1);
    AppendClean(name, stemPart, room);
    if (name.empty()) name = "attachment";
    if (!extension.empty()) name += "." + extension;
    return name;
}

}  // namespace pw
