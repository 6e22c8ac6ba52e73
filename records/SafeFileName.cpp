#include "records/SafeFileName.h"

#include <algorithm>

namespace pw {
namespace {

constexpr std::size_t kMaxExtensionLength = 8;

bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string SafeFileExtension(std::string_view extension) {
    if (extension.empty() || extension.size() > kMaxExtensionLength ||
        !std::all_of(extension.begin(), extension.end(), IsAsciiLetterOrDigit))
        return "ole";
    return std::string(extension);
}

}  // namespace pw
