// The search for the page grid of a file whose start cannot be trusted, over
// a few pages (cut, shifted, with junk in front), and the scan along the grid
// it finds. The grid search reads a file, so the input goes through the
// scratch file; nothing else of the analysis runs.

#include <cstdint>

#include "fuzz/FuzzInput.h"
#include "pagestore/DatabaseFile.h"
#include "pagestore/DbReader.h"
#include "pagestore/PageGrid.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pw::fuzz::InitializeFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!pw::fuzz::WriteScratch(data, size)) return 0;
    const pw::RunControl run;
    pw::DatabaseFile file;
    if (!file.Open(pw::fuzz::ScratchPath())) return 0;
    const pw::PageGrid grid = pw::FindPageGrid(file, run);
    if (grid.found && (grid.phase < 0 || grid.phase >= pw::kPageSize)) __builtin_trap();

    pw::CDbReader reader;
    if (!reader.OpenDatabaseFile(pw::fuzz::ScratchPath())) return 0;
    std::int64_t seen = 0;
    if (grid.found && !grid.halfPageGrid) {
        seen += reader.ScanGridPages(grid, run);
        // The map is numbered from page 0 without gaps, whatever the grid said.
        const pw::PageMap& map = reader.Map();
        for (std::size_t n = 0; n < map.size(); ++n)
            if (map[n].pageNumber != static_cast<std::int32_t>(n)) __builtin_trap();
    }
    return seen == -2;
}
