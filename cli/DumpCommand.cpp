#include <iostream>
#include <memory>

#include "export/DamageSummary.h"
#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "export/DumpJson.h"
#include "salvage/TableDamage.h"

namespace pw::cli {
namespace {

struct DumpOptions {
    std::string file;
    std::vector<std::string> tables;
    bool includeDeleted = false;
};

int RunDump(const DumpOptions& options) {
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = true});
    if (rc != kExitOk) return rc;
    std::vector<TableInfo> chosen;
    if (!ChooseTables(run.tables(), options.tables, chosen)) return kExitErrors;

    // The document is written while the rows are walked; OLE objects are
    // hashed from their stored bytes, nothing is extracted to files.
    const RunControl control = run.control();
    DumpWriter writer(std::cout, options.file, run.analysis().storageFormat());
    for (const TableInfo& table : chosen) {
        TableTally tally;
        const WalkOutcome outcome = writer.WriteTable(run.pages(), table, control, &tally, options.includeDeleted);
        TallyTableWalk(run.pages(), run.damage(), table, tally, options.includeDeleted);
        if (outcome == WalkOutcome::Stopped || WasInterrupted()) {
            // What was written stays a whole document.
            writer.Finish(DamageSummaryJson(run.damage()));
            return run.FinishWithDamage(kExitInterrupted);
        }
    }
    writer.Finish(DamageSummaryJson(run.damage()));
    return run.FinishWithDamage(kExitOk);
}

}  // namespace

void AddDumpCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<DumpOptions>();
    CLI::App* cmd = app.add_subcommand("dump", "Print every recovered table and its records as one JSON document");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_option("--table", options->tables, "Only this table (may be given more than once)");
    cmd->add_flag("--include-deleted", options->includeDeleted,
                  "Also give deleted rows and rows of pages no longer in use, marked, in each table's withheldRows");
    cmd->callback([options, &exitCode] { exitCode = RunDump(*options); });
}

}  // namespace pw::cli
