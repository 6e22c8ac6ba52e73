#include <algorithm>
#include <iostream>
#include <memory>

#include "cli/AnalysisRun.h"
#include "cli/Commands.h"
#include "records/RecordWindow.h"
#include "schema/ColumnTypes.h"

namespace pw::cli {
namespace {

constexpr std::size_t kWindow = 100;

struct PreviewOptions {
    std::string file;
    std::string table;
    int page = 1;
};

// What the record preview shows for a cell.
std::string DisplayCell(const std::string& cell, const ColumnInfo& column) {
    if (cell == kNullCell) return " ";
    if (column.typeCode == ColumnType::Binary) return "#BINARY-OBJECT";
    if (column.typeCode == ColumnType::OleObject) return "#OLE-OBJECT";
    return cell;
}

// Tabs and line breaks inside a cell would break the tab-separated lines.
std::string ForTabSeparated(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

int RunPreview(const PreviewOptions& options) {
    if (options.page < 1) {
        std::cerr << "pagewright: --page counts from 1" << std::endl;
        return kExitErrors;
    }
    AnalysisRun run;
    const int rc = run.Run(options.file, AnalysisOptions{.quiet = true});
    if (rc != kExitOk) return rc;
    const TableInfo* table = ResolveTable(run.tables(), options.table);
    if (table == nullptr) return kExitErrors;

    // The preview pages forward from the start of the table, as the window
    // does: each page continues where the one before it stopped. Once a page
    // reads nothing new, every later page is empty too.
    RecordWindow window(run.pages(), *table, run.control());
    std::vector<WalkedRow> records;
    for (int page = 1; page <= options.page; ++page) {
        const RecordWindow::Outcome outcome = window.ReadNext(records);
        if (WasInterrupted()) return run.FinishWithDamage(kExitInterrupted);
        if (outcome != RecordWindow::Outcome::Read || window.exhausted()) {
            records.clear();
            break;
        }
    }
    run.StopWatching();

    std::string header;
    for (const ColumnInfo& column : table->columns) header += (header.empty() ? "" : "\t") + ForTabSeparated(column.name);
    std::cout << header << '\n';
    int shown = 0;
    for (const WalkedRow& row : records) {
        const bool anyCell =
            std::any_of(row.cells.begin(), row.cells.end(), [](const CellValue& c) { return !c.text.empty(); });
        if (!anyCell) continue;
        std::string line;
        for (std::size_t k = 0; k < table->columns.size(); ++k) {
            if (k > 0) line += '\t';
            const std::string cell = k < row.cells.size() ? row.cells[k].text : std::string();
            line += ForTabSeparated(DisplayCell(cell, table->columns[k]));
        }
        std::cout << line << '\n';
        ++shown;
    }
    std::cerr << shown << " records on page " << options.page << std::endl;
    return kExitOk;
}

}  // namespace

void AddPreviewCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<PreviewOptions>();
    CLI::App* cmd = app.add_subcommand("preview", "Show one page (100 records) of a recovered table, tab-separated");
    cmd->add_option("FILE", options->file, "The Access database (.mdb or .accdb) to read")->required();
    cmd->add_option("TABLE", options->table, "The recovered table's name")->required();
    cmd->add_option("--page", options->page, "Page number, from 1")->default_val(1);
    cmd->callback([options, &exitCode] { exitCode = RunPreview(*options); });
}

}  // namespace pw::cli
