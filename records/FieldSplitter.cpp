#include "records/FieldSplitter.h"

namespace pw {

std::vector<std::string> SplitRowText(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string::npos) break;
        pieces.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    if (from < text.size()) pieces.push_back(text.substr(from));
    return pieces;
}

}  // namespace pw
