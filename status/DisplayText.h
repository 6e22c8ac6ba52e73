#pragma once

#include <string>
#include <string_view>

namespace pw {

// Text read out of a damaged file (table names, reasons) made fit to show.

// Valid UTF-8: each broken sequence (overlong forms, surrogates, code points
// past U+10FFFF, stray bytes) becomes one U+FFFD.
std::string ValidUtf8(std::string_view text);

// For a terminal or a log a person reads: valid UTF-8 with control
// characters (below 0x20, 0x7F and U+0080 to U+009F) shown as \xNN, so a
// stored name cannot clear a screen or fake a line.
std::string ForTerminal(std::string_view text);

}  // namespace pw
