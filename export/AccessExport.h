#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Database.h"
#include "export/CsvExport.h"
#include "export/ExportJob.h"
#include "export/RejectLog.h"
#include "pagestore/PageSource.h"

namespace pw {

inline constexpr const char* kOutputLocale = kDefaultDatabaseLocale;

// "Recovered_<db>_On_<m>-<d>-<yyyy>__<h>hr_<m>m_<s>s.mdb": the date from
// `utc`, the time of day from `local`.
std::string OutputDatabaseName(const std::string& databaseName, const std::tm& utc, const std::tm& local);

// The Access target of the export job: one new database per export, a table
// designed from each recovered table (DesignForAccess) and filled with its
// typed values, every step traced in the error log. Values the new database
// refuses are kept in rejects().
class AccessExport : public AccessTarget {
public:
    // `databaseName`: the damaged file's name without folder and extension.
    // `showMessage` shows a message to the user; it may return at once.
    AccessExport(const PageSource& pages, std::string databaseName, ExportContent content,
                 std::function<void(const std::string&)> showMessage);
    ~AccessExport() override;

    bool CreateOutputDatabase(const std::filesystem::path& folder) override;
    TableExportResult ExportTable(const TableInfo& table, const RunControl& run) override;
    void Close() override;

    // The file the last CreateOutputDatabase made (or tried to make).
    const std::filesystem::path& outputPath() const { return outputPath_; }
    bool IsOpen() const { return database_.IsOpen(); }
    // False when the last Close failed to complete the file.
    bool closedCleanly() const { return closedCleanly_; }
    const RejectLog& rejects() const { return rejects_; }

private:
    bool CloseDatabase();
    std::string UniqueTableName(const std::string& name);
    void Message(const std::string& text);

    const PageSource& pages_;
    std::string databaseName_;
    ExportContent content_;
    std::function<void(const std::string&)> showMessage_;
    Database database_;
    std::filesystem::path outputPath_;
    bool closedCleanly_ = true;
    std::vector<std::string> takenNames_;  // folded
    RejectLog rejects_;
};

}  // namespace pw
