// The CSV export of an input, every table with its data and OLE files, into a
// scratch folder that is removed after each input.

#include "export/CsvExport.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pw::fuzz::InitializeFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pw::fuzz::FuzzAnalysis input(data, size);
    if (!input.completed) return 0;
    const std::filesystem::path folder = pw::fuzz::ScratchPath() + ".csv";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    {
        pw::CsvExportSettings settings;
        settings.folder = folder;
        pw::CsvExporter exporter(input.analysis.pages(), settings);
        for (const pw::TableInfo& table : input.analysis.tables()) exporter.ExportTableToCsv(table, input.control());
    }
    std::filesystem::remove_all(folder, ec);
    return 0;
}
