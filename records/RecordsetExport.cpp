#include "records/RecordReader.h"
#include "status/Logging.h"

namespace pw {

int RecordReader::ExportRowsToRecordset(TableInfo& table, Recordset& recordset) {
    std::lock_guard lock(mutex_);
    table.exportedRows = 0;
    table.recordCursor = 0;
    table.slotCursor = 0;
    table.pageCursor = 0;
    PrepareRowValues(table);
    if (table.dataPages.empty()) return -1;

    std::int32_t slots = LoadDataPage(table, 0);
    std::int32_t n = 0;
    bool newRecordNeeded = true;
    for (;; ++n) {
        if (status_.StopRequested()) return -1;
        bool walkOver = false;
        while (n >= slots) {
            if (table.pageCursor >= static_cast<std::int32_t>(table.dataPages.size()) - 1) {
                walkOver = true;
                break;
            }
            ++table.pageCursor;
            slots = LoadDataPage(table, static_cast<std::size_t>(table.pageCursor));
            n = 0;
        }
        if (walkOver) break;
        if (status_.StopRequested()) return -1;
        if (newRecordNeeded) {
            try {
                recordset.AddNew();
            } catch (const std::exception&) {
                WriteLog(0, 0, "Error adding Row=" + std::to_string(n), true);
                continue;
            }
        }
        const int rc = ReadRowToRecordset(table, n, recordset);
        if (rc == 0) {
            newRecordNeeded = false;
            continue;
        }
        if (rc < 0) return -1;
        newRecordNeeded = true;
        try {
            recordset.Update();
            ++table.exportedRows;
        } catch (const std::exception&) {
            WriteLog(0, 0, "Update record failed for Row=" + std::to_string(n + 1), true);
        }
    }
    return status_.StopRequested() ? -1 : 1;
}

}  // namespace pw
