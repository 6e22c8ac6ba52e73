#include <CLI/CLI.hpp>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{
        "Pagewright: salvages tables and records from damaged Microsoft Access databases (.mdb, .accdb).\n"
        "The database file is only ever read.",
        "pagewright"};
    app.require_subcommand(1);
    int exitCode = 0;
    pw::cli::AddInfoCommand(app, exitCode);
    pw::cli::AddTablesCommand(app, exitCode);
    pw::cli::AddSchemaCommand(app, exitCode);
    pw::cli::AddDumpCommand(app, exitCode);
    pw::cli::AddPreviewCommand(app, exitCode);
    pw::cli::AddExportCommand(app, exitCode);
    CLI11_PARSE(app, argc, argv);
    return exitCode;
}
