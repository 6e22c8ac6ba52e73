#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/AnalysisRun.h"
#include "cli/Commands.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 success; 1 errors (a file that cannot be opened, a table not found, an export with errors);\n"
    "2 the file was refused (not an Access database, Access 97, encrypted, too damaged);\n"
    "3 done, but the file is damaged and something was lost (the damage report says what);\n"
    "64 a call the command line does not understand; 130 interrupted (Ctrl-C).";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Pagewright: salvages tables and records from damaged Microsoft Access databases (.mdb, .accdb).\n"
        "The database file is only ever read.",
        "pagewright"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("pagewright ") + PAGEWRIGHT_VERSION);
    app.footer(kExitCodes);
    int exitCode = pw::cli::kExitOk;
    pw::cli::AddInfoCommand(app, exitCode);
    pw::cli::AddTablesCommand(app, exitCode);
    pw::cli::AddSchemaCommand(app, exitCode);
    pw::cli::AddDumpCommand(app, exitCode);
    pw::cli::AddPreviewCommand(app, exitCode);
    pw::cli::AddExportCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        std::cerr << "Usage: pagewright {info|tables|schema|dump|preview|export} FILE [options]" << std::endl;
        return pw::cli::kExitUsage;
    }
    return exitCode;
}
