#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>

#include "export/DamageSummary.h"
#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "export/AccessExport.h"
#include "export/CsvFolder.h"
#include "export/DamageReportFiles.h"
#include "export/ExportJob.h"
#include "export/StatisticsLog.h"
#include "salvage/TableDamage.h"
#include "status/Logging.h"

namespace pw::cli {
namespace {

struct ExportOptions {
    std::string file;
    std::string destination;
    std::string mdbDestination;
    std::vector<std::string> tables;
    bool schemaOnly = false;
    std::string delimiter = ",";
    bool noHeader = false;
    std::string dateFormat;
    bool includeDeleted = false;
};

// `--csv -`: the one chosen table's CSV on standard output, which then carries
// nothing else; the damage summary still goes to stderr.
int ExportToStandardOutput(AnalysisRun& run, const ExportOptions& options, const CsvFormat& format) {
    std::vector<TableInfo> chosen;
    if (options.tables.size() != 1) {
        std::cerr << "pagewright: --csv - writes one table; name it with --table" << std::endl;
        return kExitUsage;
    }
    if (!ChooseTables(run.tables(), options.tables, chosen)) return kExitErrors;
    CsvExporter exporter(run.pages(), CsvExportSettings{{}, ExportContent::SchemaAndData, format});
    const TableExportResult result = exporter.ExportTableTo(stdout, chosen[0], run.control());
    TallyTableWalk(run.pages(), run.damage(), chosen[0], result.walk, options.includeDeleted);
    switch (result.outcome) {
        case TableExportOutcome::Completed:
        case TableExportOutcome::NoDataPages: return run.FinishWithDamage(kExitOk);
        case TableExportOutcome::Stopped: return run.FinishWithDamage(kExitInterrupted);
        case TableExportOutcome::Failed: break;
    }
    std::cerr << "pagewright: writing to standard output failed" << std::endl;
    return run.FinishWithDamage(kExitErrors);
}

// The export folder keeps its own account of what was exported and what
// damage was met, beside the files.
void WriteExportReports(const std::filesystem::path& folder, const ExportJob& job, const DamageReport& damage) {
    WriteStatisticsFile(folder / "Export Statistics.log", FormatStatistics(folder.string(), job.statistics()));
    WriteDamageReportFiles(folder, "", damage, nullptr);
}

void PrintStatistics(const ExportJob& job) {
    std::cout << kStatisticsHeader << '\n';
    for (const StatisticsRow& row : job.statistics()) {
        // Without the file's CR LF.
        const auto plain = [](std::string line) { return line.substr(0, line.size() - 2); };
        std::cout << plain(FormatStatisticsLine(row.tableName, row.exportedRows)) << '\n';
        if (row.rejectedValues > 0) std::cout << plain(FormatRejectedLine(row.rejectedValues)) << '\n';
    }
    std::cout << std::flush;
}

int ExitFor(AnalysisRun& run, ExportOutcome outcome) {
    switch (outcome) {
        case ExportOutcome::Succeeded: return run.FinishWithDamage(kExitOk);
        case ExportOutcome::Aborted: return run.FinishWithDamage(kExitInterrupted);
        case ExportOutcome::Failed: break;
    }
    return run.FinishWithDamage(kExitErrors);
}

// Runs the job with its lines on standard output; the walks of a data export
// counted what each table held, for the damage summary.
void RunJob(AnalysisRun& run, ExportJob& job, bool includeDeleted) {
    ExportCallbacks callbacks;
    callbacks.onLine = [&](const std::string& line) { std::cout << line << std::endl; };
    job.Run(callbacks, StatisticsFilePath(), run.control());
    run.StopWatching();
    if (job.settings().content != ExportContent::SchemaAndData) return;
    const std::vector<TableExportResult>& results = job.results();
    for (std::size_t k = 0; k < results.size(); ++k)
        TallyTableWalk(run.pages(), run.damage(), job.settings().tables[k], results[k].walk, includeDeleted);
}

// `--mdb DEST`: the chosen tables written into one new Access database in DEST.
int ExportToAccess(AnalysisRun& run, const ExportOptions& options) {
    ExportSettings settings;
    settings.target = ExportTarget::Access;
    settings.content = options.schemaOnly ? ExportContent::SchemaOnly : ExportContent::SchemaAndData;
    if (!ChooseTables(run.tables(), options.tables, settings.tables)) return kExitErrors;
    settings.folder = options.mdbDestination;
    std::error_code ec;
    std::filesystem::create_directories(settings.folder, ec);

    WriteLogHeader();
    AccessExport access(run.pages(), std::filesystem::path(options.file).stem().string(), settings.content,
                        [](const std::string& text) { std::cerr << "pagewright: " << text << std::endl; });
    ExportJob job(run.pages(), settings, &access);
    RunJob(run, job, options.includeDeleted);
    if (!access.closedCleanly()) {
        std::cerr << "pagewright: the database " << access.outputPath().string() << " could not be completed" << std::endl;
        return run.FinishWithDamage(kExitErrors);
    }
    // Beside the database, named after it: DEST may hold many exports.
    WriteDamageReportFiles(settings.folder, access.outputPath().stem().string() + " - ", run.damage(), &access.rejects());
    std::cout << "Access database: " << access.outputPath().string() << '\n' << '\n';
    PrintStatistics(job);
    const std::int64_t refused = access.rejects().Total();
    if (refused > 0)
        std::cerr << "pagewright: the new database refused " << refused
                  << " values; their records were written with those fields empty (see "
                  << access.outputPath().stem().string() << " - Damage Report.txt)" << std::endl;
    const int code = ExitFor(run, job.outcome());
    return code == kExitOk && refused > 0 ? kExitLosses : code;
}

int RunExport(const ExportOptions& options) {
    if (options.destination.empty() == options.mdbDestination.empty()) {
        std::cerr << "pagewright: export needs exactly one of --csv DEST and --mdb DEST" << std::endl;
        return kExitUsage;
    }
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = true});
    if (rc != kExitOk) return rc;
    if (!options.mdbDestination.empty()) return ExportToAccess(run, options);

    CsvFormat format;
    format.delimiter = options.delimiter[0];
    format.header = !options.noHeader;
    format.dateFormat = options.dateFormat;
    format.includeDeleted = options.includeDeleted;
    if (options.destination == "-") return ExportToStandardOutput(run, options, format);

    ExportSettings settings;
    settings.format = format;
    settings.target = ExportTarget::Csv;
    settings.content = options.schemaOnly ? ExportContent::SchemaOnly : ExportContent::SchemaAndData;
    if (!ChooseTables(run.tables(), options.tables, settings.tables)) return kExitErrors;
    settings.folder = MakeCsvFolder(options.destination);
    if (settings.folder.empty()) {
        std::cerr << "pagewright: cannot create a folder under '" << options.destination << "'" << std::endl;
        return kExitErrors;
    }

    WriteLogHeader();
    ExportJob job(run.pages(), settings);
    RunJob(run, job, options.includeDeleted);
    WriteExportReports(settings.folder, job, run.damage());
    std::cout << "CSV folder: " << settings.folder.string() << '\n' << '\n';
    PrintStatistics(job);
    return ExitFor(run, job.outcome());
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export",
        "Export recovered tables as CSV files into a new time-stamped folder under DEST, or into a new Access database in DEST");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_option("--mdb", options->mdbDestination,
                    "Folder in which a new Access database (Recovered_<name>_On_<date>.mdb) is made")
        ->check([](const std::string& value) {
            return value.empty() ? std::string("the destination folder must be named") : std::string();
        });
    cmd->add_option("--csv", options->destination, "Folder under which the CSV folder is made; - writes the one --table to standard output")
        ->check([](const std::string& value) {
            // An empty name would put the export wherever the program happens to run.
            return value.empty() ? std::string("the destination folder must be named") : std::string();
        });
    cmd->add_flag("--schema-only", options->schemaOnly, "Write each table's columns and types, no records");
    cmd->add_option("--delimiter", options->delimiter, "The field delimiter (one character; default ,)")
        ->check([](const std::string& value) {
            const bool usable = value.size() == 1 && value[0] != '"' && value[0] != '\r' && value[0] != '\n';
            return usable ? std::string() : std::string("the delimiter is one character other than \" CR LF");
        });
    cmd->add_flag("--no-header", options->noHeader, "Leave out the line of column names");
    cmd->add_flag("--include-deleted", options->includeDeleted,
                  "Also write deleted rows and rows of pages no longer in use, marked in a last column _row");
    cmd->add_option("--date-format", options->dateFormat,
                    "strftime form of dates (default %m/%d/%Y %H:%M:%S)");
    cmd->add_option("--table", options->tables, "Only this table (may be given more than once)");
    cmd->callback([options, &exitCode] { exitCode = RunExport(*options); });
}

}  // namespace pw::cli
