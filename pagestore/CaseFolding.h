#pragma once

#include <string>

namespace pw {

// Access tells names apart without regard to case, for every letter and not
// only the ASCII ones; whatever compares or shows names that way (a table
// named on the command line, a linked column, the CSV header, a name given
// twice to the writer) folds them with this one rule, so that they agree.
// Lower case per character of UTF-8 text; bytes that are not valid UTF-8 are
// kept as they are.
std::string CaseFolded(const std::string& utf8);

}  // namespace pw
