#pragma once

#include <cstdint>
#include <vector>

namespace pw::testing {

// Turns the bytes of an intact Jet 4 file into the file Access writes with
// page encoding on: `databaseKey` is written into the header at its place in
// the masked area (the mask kept as Access keeps it), and every page from 1 to
// the end (a cut last page as far as it goes) is enciphered under that key.
// Returns false, changing nothing, when the bytes do not start with a Jet 4
// header or the key is 0.
bool EncipherJet4Pages(std::vector<std::uint8_t>& file, std::uint32_t databaseKey);

}  // namespace pw::testing
