#pragma once

#include <cctype>
#include <string>

namespace pw {

// Access compares object names without regard to case (ASCII letters).
inline std::string FoldedName(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace pw
