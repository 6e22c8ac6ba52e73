// The JSON dump of an input, every table, with the damage summary.

#include <sstream>

#include "export/DamageSummary.h"
#include "export/DumpJson.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pw::fuzz::InitializeFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pw::fuzz::FuzzAnalysis input(data, size);
    if (!input.completed) return 0;
    std::ostringstream out;
    pw::DumpWriter writer(out, pw::fuzz::ScratchPath(), input.analysis.storageFormat());
    for (const pw::TableInfo& table : input.analysis.tables())
        writer.WriteTable(input.analysis.pages(), table, input.control());
    writer.Finish(DamageSummaryJson(input.damage));
    // What the dump writes must be a JSON document.
    if (!nlohmann::json::accept(out.str())) __builtin_trap();
    return 0;
}
