#pragma once

#include <CLI/CLI.hpp>

namespace pw::cli {

// Each command adds its subcommand to the application and returns the exit
// code through the value it is given once the command has run.
void AddInfoCommand(CLI::App& app, int& exitCode);
void AddTablesCommand(CLI::App& app, int& exitCode);
void AddSchemaCommand(CLI::App& app, int& exitCode);
void AddDumpCommand(CLI::App& app, int& exitCode);
void AddPreviewCommand(CLI::App& app, int& exitCode);
void AddExportCommand(CLI::App& app, int& exitCode);

}  // namespace pw::cli
