#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "export/DumpJson.h"
#include "records/RecordReader.h"

namespace pw::cli {
namespace {

struct DumpOptions {
    std::string file;
    std::vector<std::string> tables;
};

int RunDump(const DumpOptions& options) {
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = true});
    if (rc != kExitOk) return rc;
    CDbReader& reader = run.reader();
    std::vector<TableInfo*> chosen;
    if (!ChooseTables(reader, options.tables, chosen)) return kExitErrors;
    // OLE objects are hashed from the stored bytes; nothing is extracted to files.
    RecordReader records(reader, reader.status(), nullptr);
    nlohmann::ordered_json out;
    out["file"] = options.file;
    out["format"] = reader.status().storageFormat();
    out["tables"] = nlohmann::ordered_json::array();
    for (TableInfo* chosenTable : chosen) {
        TableInfo& table = *chosenTable;
        nlohmann::ordered_json t;
        t["name"] = table.name;
        t["columns"] = nlohmann::ordered_json::array();
        for (const ColumnInfo& column : table.columns) t["columns"].push_back(ColumnJson(column));
        t["rows"] = TableRowsJson(records, table);
        out["tables"].push_back(std::move(t));
        if (WasInterrupted()) return kExitInterrupted;
    }
    std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
    return kExitOk;
}

}  // namespace

void AddDumpCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<DumpOptions>();
    CLI::App* cmd = app.add_subcommand("dump", "Print every recovered table and its records as one JSON document");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_option("--table", options->tables, "Only this table (may be given more than once)");
    cmd->callback([options, &exitCode] { exitCode = RunDump(*options); });
}

}  // namespace pw::cli
