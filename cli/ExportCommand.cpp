#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>

#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"
#include "export/CsvFolder.h"
#include "export/ExportJob.h"
#include "export/StatisticsLog.h"
#include "records/OleExtraction.h"
#include "records/RecordReader.h"
#include "status/AppPaths.h"
#include "status/Logging.h"

namespace pw::cli {
namespace {

struct ExportOptions {
    std::string file;
    std::string destination;
    std::vector<std::string> tables;
    bool schemaOnly = false;
};

int RunExport(const ExportOptions& options) {
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = true});
    if (rc != kExitOk) return rc;
    CDbReader& reader = run.reader();

    ExportSettings settings;
    settings.target = kTargetCsv;
    settings.content = options.schemaOnly ? kContentSchemaOnly : kContentSchemaAndData;
    if (!ChooseTables(reader, options.tables, settings.tables)) return kExitErrors;
    settings.folder = MakeCsvFolder(options.destination);
    if (settings.folder.empty()) {
        std::cerr << "pagewright: cannot create a folder under '" << options.destination << "'" << std::endl;
        return kExitErrors;
    }

    WriteLogHeader();
    OleExtractor ole(AppDirectory() / "TempOLeFiles");
    RecordReader records(reader, reader.status(), &ole);
    ExportJob job(records, settings);

    const bool showBar = ::isatty(STDERR_FILENO) != 0;
    ProgressBar bar(std::cerr, showBar);
    ExportCallbacks callbacks;
    callbacks.onLine = [&](const std::string& line) {
        bar.Clear();
        std::cout << line << std::endl;
    };
    if (showBar) {
        callbacks.onRow = [&](const TableInfo& table, std::int32_t rows) {
            bar.Update("rows of " + table.name, rows, std::max(rows, table.rowCount));
        };
    }
    job.Run(callbacks, StatisticsFilePath());
    bar.Clear();

    std::cout << "CSV folder: " << settings.folder.string() << '\n' << '\n';
    std::cout << kStatisticsHeader << '\n';
    for (const StatisticsRow& row : job.statistics()) {
        std::string line = FormatStatisticsLine(row.tableName, row.exportedRows);
        line.resize(line.size() - 2);  // the file's CR LF
        std::cout << line << '\n';
    }
    std::cout << std::flush;
    switch (job.outcome()) {
        case ExportOutcome::Succeeded:
            return kExitOk;
        case ExportOutcome::Aborted:
            return kExitInterrupted;
        case ExportOutcome::Failed:
            break;
    }
    return kExitErrors;
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export", "Export recovered tables as CSV files into a new time-stamped folder under DEST");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_option("--csv", options->destination, "Folder under which the CSV folder is made")->required();
    cmd->add_flag("--schema-only", options->schemaOnly, "Write each table's columns and types, no records");
    cmd->add_option("--table", options->tables, "Only this table (may be given more than once)");
    cmd->callback([options, &exitCode] { exitCode = RunExport(*options); });
}

}  // namespace pw::cli
