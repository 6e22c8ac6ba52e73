#pragma once

#include <string>
#include <vector>

namespace pw {

// Cuts a row text at every cell separator. Every piece keeps its place, an
// empty one included, so a cell that decoded to an empty text never moves the
// cells after it into the wrong column. The piece after the last separator
// (normally empty) is not a cell.
std::vector<std::string> SplitRowText(const std::string& text, const std::string& separator);

}  // namespace pw
