#pragma once

#include <string>
#include <string_view>

namespace pw {

// A file-name extension taken from file content, made safe to append to a
// name in a chosen folder: kept when it is 1 to 8 ASCII letters and digits,
// otherwise "ole". No separator, dot or control character can pass.
std::string SafeFileExtension(std::string_view extension);

}  // namespace pw
