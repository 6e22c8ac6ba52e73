#include "records/RecordsetExport.h"

#include <algorithm>
#include <string>

#include "records/OleValue.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "status/Logging.h"

namespace pw {
namespace {

// Fills the pending record from a row; the number of fields set (an empty
// row counts as one, so that it is stored).
int FillRecord(const TableInfo& table, const WalkedRow& row, Recordset& recordset) {
    if (!row.HasCells()) return 1;
    const bool anyValue =
        std::any_of(row.cells.begin(), row.cells.end(), [](const CellValue& cell) { return cell.present; });
    if (table.maxColumns == 0 || !anyValue) return 1;

    int fieldsSet = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const ColumnInfo& column = table.columns[i];
        const CellValue& cell = row.cells[i];
        if (column.typeCode != ColumnType::Bit && !cell.present) continue;
        std::string shown = cell.text;
        SanitizeCellText(shown);
        // A text that reads "NULL" is a value like any other; only a value
        // that is not there is left unset.
        if (cell.value.kind == TypedValue::Kind::Null && (shown == kNullCell || shown.empty())) continue;
        try {
            if (column.typeCode == ColumnType::OleObject) {
                const std::string content =
                    cell.value.kind == TypedValue::Kind::Bytes ? UnwrapOleObject(cell.value.text).payload : std::string();
                recordset.SetFieldValue(column.name, shown, TypedValue::Bytes(content));
            } else {
                recordset.SetFieldValue(column.name, shown, cell.value);
            }
            ++fieldsSet;
        } catch (const std::exception&) {
            // A field the output refuses is left empty; the row goes on.
        }
    }
    return fieldsSet;
}

}  // namespace

RecordsetResult ExportRowsToRecordset(const PageSource& pages, const TableInfo& table, const RunControl& run,
                                      Recordset& recordset) {
    RecordsetResult result;
    if (table.dataPages.empty()) {
        result.outcome = RecordsetOutcome::NoDataPages;
        return result;
    }
    RowWalker walker(pages, table, run);
    bool newRecordNeeded = true;
    while (walker.Next()) {
        const WalkedRow& row = walker.row();
        if (newRecordNeeded) {
            try {
                recordset.AddNew();
            } catch (const std::exception&) {
                WriteLog(0, 0, "Error adding Row=" + std::to_string(row.slot), true);
                continue;
            }
        }
        if (row.kind == SlotKind::Deleted || FillRecord(table, row, recordset) == 0) {
            newRecordNeeded = false;
            continue;
        }
        newRecordNeeded = true;
        try {
            recordset.Update();
            ++result.storedRows;
        } catch (const std::exception&) {
            WriteLog(0, 0, "Update record failed for Row=" + std::to_string(row.slot + 1), true);
        }
    }
    if (walker.stopped()) result.outcome = RecordsetOutcome::Stopped;
    result.walk = walker.tally();
    return result;
}

}  // namespace pw
