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
    bool includeDeleted = false;
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

// The rows a preview page shows and, with deleted rows asked for, what each one is.
struct PreviewRow {
    const char* mark = "";
    WalkedRow row;
};

// With deleted rows asked for, the preview walks the whole table in store
// order: live rows, the deleted rows whose bytes still read as rows, and the
// rows of pages the table no longer uses, each marked in a last column.
std::vector<PreviewRow> ReadWithWithheld(const PageSource& pages, const TableInfo& table, const RunControl& run,
                                         int page) {
    std::vector<PreviewRow> shown;
    const std::size_t skip = static_cast<std::size_t>(page - 1) * kWindow;
    std::size_t seen = 0;
    RowWalker walker(pages, table, run, WalkOptions{.decodeValues = true, .includeDeleted = true});
    while (shown.size() < kWindow && walker.Next()) {
        const WalkedRow& row = walker.row();
        const char* mark = row.IsRecord()          ? kLiveRowMark
                           : row.IsDeletedRecord() ? kDeletedRowLabel
                           : row.IsStaleRecord()   ? kStaleRowLabel
                                                   : nullptr;
        if (mark == nullptr) continue;
        if (seen++ < skip) continue;
        shown.push_back({mark, row});
    }
    return shown;
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
    std::vector<PreviewRow> records;
    if (options.includeDeleted) {
        records = ReadWithWithheld(run.pages(), *table, run.control(), options.page);
        if (WasInterrupted()) return run.FinishWithDamage(kExitInterrupted);
    } else {
        RecordWindow window(run.pages(), *table, run.control());
        std::vector<WalkedRow> windowRows;
        for (int page = 1; page <= options.page; ++page) {
            const RecordWindow::Outcome outcome = window.ReadNext(windowRows);
            if (WasInterrupted()) return run.FinishWithDamage(kExitInterrupted);
            if (outcome != RecordWindow::Outcome::Read || window.exhausted()) {
                windowRows.clear();
                break;
            }
        }
        for (WalkedRow& row : windowRows) records.push_back({"", std::move(row)});
    }
    run.StopWatching();

    std::string header;
    for (const ColumnInfo& column : table->columns) header += (header.empty() ? "" : "\t") + ForTabSeparated(column.name);
    if (options.includeDeleted) header += (header.empty() ? "" : "\t") + std::string(kRowKindColumn);
    std::cout << header << '\n';
    int shown = 0;
    for (const auto& [mark, row] : records) {
        const bool anyCell =
            std::any_of(row.cells.begin(), row.cells.end(), [](const CellValue& c) { return !c.text.empty(); });
        if (!anyCell) continue;
        std::string line;
        for (std::size_t k = 0; k < table->columns.size(); ++k) {
            if (k > 0) line += '\t';
            const std::string cell = k < row.cells.size() ? row.cells[k].text : std::string();
            line += ForTabSeparated(DisplayCell(cell, table->columns[k]));
        }
        if (options.includeDeleted) line += (table->columns.empty() ? "" : "\t") + std::string(mark);
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
    cmd->add_flag("--include-deleted", options->includeDeleted,
                  "Also show deleted rows whose bytes survive and rows of pages the table no longer uses, "
                  "marked in a last column _row (live, deleted, stale)");
    cmd->callback([options, &exitCode] { exitCode = RunPreview(*options); });
}

}  // namespace pw::cli
