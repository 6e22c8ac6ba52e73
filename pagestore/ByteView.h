#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pw {

// Every parser reads through a view that knows its own length, so a damaged
// offset can never reach past the bytes it was given.
using ByteView = std::span<const std::uint8_t>;

inline constexpr int kPageSize = 4096;
using PageBuffer = std::array<std::uint8_t, kPageSize>;

}  // namespace pw
