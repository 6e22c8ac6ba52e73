#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "export/DamageSummary.h"
#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "salvage/TableDamage.h"

namespace pw::cli {
namespace {

struct InfoOptions {
    std::string file;
    bool json = false;
    bool quiet = false;
};

const char* PageTypeName(int type) {
    switch (type) {
        case 0: return "header or empty";
        case 1: return "data";
        case 2: return "table definition";
        case 3: return "intermediate index";
        case 4: return "leaf index";
        case 5: return "page usage bitmap";
        default: return "unknown";
    }
}

const char* ScanName(ScanKind kind) {
    switch (kind) {
        case ScanKind::Standard: return "standard";
        case ScanKind::Shifted: return "shifted";
        case ScanKind::None: break;
    }
    return "none";
}

int RunInfo(const InfoOptions& options) {
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = options.quiet || options.json});
    if (rc != kExitOk) return rc;

    const CDbReader& reader = run.reader();
    // The rows are walked for their layout only: the damage summary counts
    // what the tables hold without decoding a value.
    if (!SurveyTables(run.pages(), run.tables(), run.control(), run.damage())) return run.FinishWithDamage(kExitInterrupted);
    std::map<int, std::int64_t> pageTypes;
    std::int64_t absent = 0;
    for (const PageMapEntry& e : reader.Map()) {
        if (e.fileOffset < 0) {
            ++absent;
            continue;
        }
        ++pageTypes[e.pageType];
    }
    const std::int64_t pages = static_cast<std::int64_t>(reader.Map().size()) - absent;

    if (options.json) {
        nlohmann::ordered_json out;
        out["file"] = options.file;
        out["format"] = run.analysis().storageFormat();
        out["fileSize"] = reader.FileSize();
        out["pages"] = pages;
        out["pageOneOffset"] = reader.scanKind() == ScanKind::Standard && reader.pageOneOffset() < 0
                                   ? static_cast<std::int64_t>(kPageSize)
                                   : reader.pageOneOffset();
        out["scan"] = ScanName(reader.scanKind());
        nlohmann::ordered_json types = nlohmann::ordered_json::object();
        for (auto [type, count] : pageTypes) types[std::to_string(type)] = count;
        out["pageTypes"] = types;
        out["damage"] = DamageSummaryJson(run.damage());
        std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
        return run.FinishWithDamage(kExitOk);
    }

    const std::int64_t pageOne =
        reader.pageOneOffset() < 0 ? static_cast<std::int64_t>(kPageSize) : reader.pageOneOffset();
    std::cout << "File:           " << options.file << '\n'
              << "Format:         " << run.analysis().storageFormat() << '\n'
              << "File size:      " << reader.FileSize() << " bytes\n"
              << "Pages mapped:   " << pages << '\n'
              << "Page 1 found at " << pageOne << " (" << ScanName(reader.scanKind()) << " scan)\n"
              << "Pages by type:\n";
    for (auto [type, count] : pageTypes)
        std::cout << "  " << type << " (" << PageTypeName(type) << "): " << count << '\n';
    std::cout << std::flush;
    return run.FinishWithDamage(kExitOk);
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Recognise a database file, map its pages and count them by type");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to examine")->required();
    cmd->add_flag("--json", options->json, "Print the result as one JSON object on stdout");
    cmd->add_flag("-q,--quiet", options->quiet, "Print only the summary, no status lines");
    cmd->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

}  // namespace pw::cli
