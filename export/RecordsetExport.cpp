#include "export/RecordsetExport.h"

#include <string>

#include "export/CsvExport.h"
#include "records/OleValue.h"
#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "status/Logging.h"

namespace pw {
namespace {

bool HoldsText(const ColumnDesign& column) {
    return column.typeCode == ColumnType::Text || column.typeCode == ColumnType::Memo;
}

std::string RefusedValueText(const CellValue& cell) {
    std::string shown = cell.text;
    SanitizeCellText(shown);
    return shown;
}

}  // namespace

TypedValue OutputValue(const ColumnDesign& column, std::int32_t sourceType, const CellValue& cell) {
    using Kind = TypedValue::Kind;
    // A BIT cell is its mask bit, present or not.
    if (sourceType == ColumnType::Bit) return cell.value;
    if (!cell.present || cell.value.kind == Kind::Null) return TypedValue::Null();
    if (sourceType == ColumnType::OleObject && cell.value.kind == Kind::Bytes)
        return TypedValue::Bytes(UnwrapOleObject(cell.value.text).payload);
    if (HoldsText(column) && cell.value.kind != Kind::Text) return TypedValue::Text(CsvFieldText(cell, CsvFormat{}));
    return cell.value;
}

RecordsetResult ExportRowsToRecordset(const PageSource& pages, const TableInfo& table, const OutputColumns& output,
                                      const RunControl& run, RecordSink& sink, RejectLog& rejects) {
    RecordsetResult result;
    if (table.dataPages.empty()) {
        result.outcome = WalkOutcome::NoDataPages;
        return result;
    }
    const std::vector<ColumnDesign>& columns = *output.columns;
    const std::vector<std::size_t>& sources = *output.sources;
    std::vector<TypedValue> values(columns.size());
    RowWalker walker(pages, table, run);
    while (walker.Next()) {
        const WalkedRow& row = walker.row();
        if (row.kind == SlotKind::Deleted) continue;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::size_t source = sources[i];
            values[i] = row.HasCells() && source < row.cells.size() && source < table.columns.size()
                            ? OutputValue(columns[i], table.columns[source].typeCode, row.cells[source])
                            : TypedValue::Null();
        }
        AppendResult appended;
        try {
            appended = sink.Append(values);
        } catch (const std::exception&) {
            WriteLog(LogFile::Error, "Error adding Row=" + std::to_string(row.slot));
            continue;
        }
        const std::int64_t record = result.storedRows + 1;
        for (const FieldRefusal& refusal : appended.refused) {
            RejectRecord reject{table.name, record, row.page, row.slot, {}, {}, refusal.reason};
            if (refusal.column != FieldRefusal::kWholeRecord && refusal.column < columns.size()) {
                reject.column = columns[refusal.column].name;
                const std::size_t source = sources[refusal.column];
                if (source < row.cells.size()) reject.value = RefusedValueText(row.cells[source]);
            }
            rejects.Add(std::move(reject));
            ++result.rejectedValues;
        }
        if (!appended.stored) {
            WriteLog(LogFile::Error, "Update record failed for Row=" + std::to_string(row.slot + 1));
            continue;
        }
        ++result.storedRows;
    }
    if (walker.stopped()) result.outcome = WalkOutcome::Stopped;
    result.walk = walker.tally();
    return result;
}

}  // namespace pw
