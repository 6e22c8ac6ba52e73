#pragma once

#include <string>

#include "pagestore/CaseFolding.h"

namespace pw {

// Access compares object names without regard to case: CaseFolded.
inline std::string FoldedName(const std::string& name) { return CaseFolded(name); }

}  // namespace pw
