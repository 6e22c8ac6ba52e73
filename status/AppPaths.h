#pragma once

#include <filesystem>

namespace pw {

// The folder where the program keeps its own files ("Log Files",
// "Export Statistics.log"). In order of precedence: the folder
// given to SetAppDirectory, $PAGEWRIGHT_STATE_DIR, the executable's folder
// when it is writable, $XDG_STATE_HOME/pagewright, ~/.local/state/pagewright.
// A folder found by the automatic search is created when first asked for; a
// folder given to SetAppDirectory is taken as it is.
std::filesystem::path AppDirectory();

void SetAppDirectory(const std::filesystem::path& directory);

// Drops a folder given to SetAppDirectory and searches again on the next call.
void ResetAppDirectory();

}  // namespace pw
