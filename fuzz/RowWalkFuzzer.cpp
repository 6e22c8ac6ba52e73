// Every row of every table of an input, with every value decoded.

#include "fuzz/FuzzInput.h"
#include "records/RowWalk.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pw::fuzz::InitializeFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pw::fuzz::FuzzAnalysis input(data, size);
    if (!input.completed) return 0;
    std::size_t cells = 0;
    for (const pw::TableInfo& table : input.analysis.tables()) {
        pw::ForEachRow(input.analysis.pages(), table, input.control(), [&cells](const pw::WalkedRow& row) {
            for (const pw::CellValue& cell : row.cells) cells += cell.text.size();
            return true;
        });
    }
    return cells == static_cast<std::size_t>(-1);
}
