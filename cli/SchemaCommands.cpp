#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "export/SqlBuilder.h"
#include "salvage/TableDamage.h"
#include "schema/ColumnTypes.h"
#include "status/DisplayText.h"

namespace pw::cli {
namespace {

struct SchemaOptions {
    std::string file;
    bool json = false;
    bool sql = false;
    bool quiet = false;
    std::vector<std::string> tables;
};

// The schema's own view of a column: its stored codes as well as its type.
nlohmann::ordered_json SchemaColumnJson(const ColumnInfo& column) {
    nlohmann::ordered_json out;
    out["name"] = column.name;
    out["type"] = ColumnTypeName(column);
    out["typeCode"] = column.typeCode;
    out["length"] = column.length;
    out["columnNumber"] = column.columnNumber;
    out["fixed"] = column.isFixed != 0;
    out["precision"] = column.precision;
    out["scale"] = column.scale;
    return out;
}

// What a lost definition left on pages that outlived it.
void AddSurvivingDefinition(nlohmann::ordered_json& j, const TableInfo& t) {
    if (t.survivingDefinitionPages.empty()) return;
    j["survivingDefinitionPages"] = t.survivingDefinitionPages;
    j["survivingColumnNames"] = t.survivingColumnNames;
}

// Analyses the file, then prints every table as JSON (one document) or as text.
// With `survey`, the rows of the tables are walked for their layout first, so
// that the printers can give the rows found beside the rows stated.
using TableJson = std::function<nlohmann::ordered_json(const TableInfo&, const TableTally&)>;
using TableText = std::function<void(const TableInfo&, const TableTally&)>;

int PrintTables(const SchemaOptions& options, bool survey, const TableJson& json, const TableText& text) {
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = options.quiet || options.json});
    if (rc != kExitOk) return rc;
    std::vector<TableInfo> chosen;
    if (!ChooseTables(run.tables(), options.tables, chosen)) return kExitErrors;
    if (survey && !SurveyTables(run.pages(), chosen, run.control(), run.damage())) return kExitInterrupted;
    run.StopWatching();
    if (options.json) {
        nlohmann::ordered_json out;
        out["file"] = options.file;
        out["tables"] = nlohmann::ordered_json::array();
        for (const TableInfo& t : chosen) out["tables"].push_back(json(t, run.damage().Tally(t.name)));
        std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
    } else {
        for (const TableInfo& t : chosen) text(t, run.damage().Tally(t.name));
    }
    return kExitOk;
}

int RunTables(const SchemaOptions& options) {
    return PrintTables(
        options, true,
        [](const TableInfo& t, const TableTally& tally) {
            nlohmann::ordered_json j;
            j["name"] = t.name;
            j["columns"] = t.columns.size();
            j["dataPages"] = t.dataPages.size();
            j["rowCount"] = t.rowCount;
            j["rowsFound"] = tally.rowsFound;
            j["generatedName"] = t.generatedName;
            j["nameSource"] = NameSourceName(t.nameSource);
            j["columnsInferred"] = t.columnsInferred;
            j["tdefPage"] = t.tdefPage;
            AddSurvivingDefinition(j, t);
            return j;
        },
        [](const TableInfo& t, const TableTally& tally) {
            std::cout << ForTerminal(t.name) << '\t' << t.columns.size() << " columns\t" << t.dataPages.size()
                      << " data pages\t" << t.rowCount << (t.columnsInferred ? " rows (read)\t" : " rows (definition)\t")
                      << tally.rowsFound << " rows found\t" << NameSourceName(t.nameSource) << " name"
                      << (t.columnsInferred ? "\tdefinition lost: columns inferred from the rows" : "") << '\n';
        });
}

int RunSchema(const SchemaOptions& options) {
    return PrintTables(
        options, false,
        [&options](const TableInfo& t, const TableTally&) {
            nlohmann::ordered_json j;
            j["name"] = t.name;
            j["generatedName"] = t.generatedName;
            j["nameSource"] = NameSourceName(t.nameSource);
            j["columnsInferred"] = t.columnsInferred;
            j["tdefPage"] = t.tdefPage;
            AddSurvivingDefinition(j, t);
            j["columns"] = nlohmann::ordered_json::array();
            for (const ColumnInfo& c : t.columns) j["columns"].push_back(SchemaColumnJson(c));
            if (options.sql) {
                const TableSql sql = BuildTableSql(t);
                j["createSql"] = sql.createSql;
                j["insertSql"] = sql.insertSql;
            }
            return j;
        },
        [&options](const TableInfo& t, const TableTally&) {
            if (options.sql) {
                const TableSql sql = BuildTableSql(t);
                std::cout << sql.createSql << "\n" << sql.insertSql << "\n\n";
                return;
            }
            std::cout << ForTerminal(t.name) << (t.generatedName ? "  (generated name)" : "")
                      << (t.columnsInferred ? "  (definition lost: columns inferred from the rows)" : "") << '\n';
            if (!t.survivingColumnNames.empty()) {
                std::cout << "  names of its last columns, on a page of the definition that survived (in stored "
                             "order, not placed):";
                for (const std::string& name : t.survivingColumnNames) std::cout << ' ' << ForTerminal(name) << ';';
                std::cout << '\n';
            }
            for (const ColumnInfo& c : t.columns) {
                std::cout << "  " << c.name << '\t' << ColumnTypeName(c) << '\t' << "length " << c.length << '\t'
                          << "column " << c.columnNumber << '\t' << (c.isFixed ? "fixed" : "variable");
                if (c.precision != 0 || c.scale != 0)
                    std::cout << '\t' << "precision " << c.precision << " scale " << c.scale;
                std::cout << '\n';
            }
        });
}

void AddFileAndCommonFlags(CLI::App* cmd, SchemaOptions& options) {
    cmd->add_option("FILE", options.file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_flag("--json", options.json, "Print the result as JSON on stdout");
    cmd->add_flag("-q,--quiet", options.quiet, "No status lines on stderr");
    cmd->add_option("--table", options.tables, "Only this table (may be given more than once; case is ignored "
                                               "when that names one table)");
}

}  // namespace

void AddTablesCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<SchemaOptions>();
    CLI::App* cmd = app.add_subcommand("tables", "List the recovered tables");
    AddFileAndCommonFlags(cmd, *options);
    cmd->callback([options, &exitCode] { exitCode = RunTables(*options); });
}

void AddSchemaCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<SchemaOptions>();
    CLI::App* cmd = app.add_subcommand("schema", "Show the columns of every recovered table");
    AddFileAndCommonFlags(cmd, *options);
    cmd->add_flag("--sql", options->sql, "Print each table's CREATE TABLE and INSERT INTO text");
    cmd->callback([options, &exitCode] { exitCode = RunSchema(*options); });
}

}  // namespace pw::cli
