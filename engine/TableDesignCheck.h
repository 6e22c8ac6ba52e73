#pragma once

#include <string>

#include "engine/TableDesign.h"

namespace pw {

// Largest sizes a Jet 4 table takes.
inline constexpr std::int32_t kMaxTextCharacters = 255;
inline constexpr std::int32_t kMaxBinaryBytes = 255;
inline constexpr std::int32_t kMaxDecimalPrecision = 28;
inline constexpr std::size_t kMaxTableColumns = 255;

// What makes a design one the format cannot hold, for the refusal's message:
// empty when it can. Names must be present and used once (Access compares
// them without regard to case), types known, sizes in range.
std::string DesignProblem(const TableDesign& design);

}  // namespace pw
