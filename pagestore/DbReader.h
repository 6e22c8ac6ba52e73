#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/DatabaseFile.h"
#include "pagestore/PageLayout.h"
#include "pagestore/PageMap.h"
#include "pagestore/PageSource.h"
#include "schema/TableInfo.h"
#include "status/RecoveryStatus.h"
#include "status/UserNotifier.h"

namespace pw {

inline constexpr const char* kFormatNotSupported = "File format not Supported.";
inline constexpr const char* kHighlyCorrupted = " This file is highly corrupted and cannot be recovered. ";
inline constexpr const char* kLabelAccess2000 = "MS-Access 2003/2000";
inline constexpr const char* kLabelAccess2007 = "MS-Access 2007";

// Which page scan the last analysis ran.
enum class ScanKind { None, Standard, Shifted };

// The one object that stands for an opened database file: file access,
// recognition, the page map, the table list and the analysis driver.
class CDbReader : public PageSource {
public:
    explicit CDbReader(RecoveryStatus& status = RecoveryStatus::Instance());
    ~CDbReader() override;
    CDbReader(const CDbReader&) = delete;
    CDbReader& operator=(const CDbReader&) = delete;

    void SetNotifier(UserNotifier* notifier) { notifier_ = notifier; }

    // File access.
    bool OpenDatabaseFile(const std::string& path);
    void CloseDatabaseFile();
    bool IsOpen() const { return file_.IsOpen(); }
    std::int64_t FileSize() const { return file_.Size(); }
    // Why the last OpenDatabaseFile failed (empty after a success).
    const std::string& openError() const { return openError_; }

    // Recognition.
    bool MatchSignature(int pageSize);
    int CheckFileFormat();
    // The first file position at which page 1 of the 4096-byte signature is
    // followed by at least three of the signature pages 2 to 5, or -1.
    // Candidates are the positions of the words 0x0101 and 0x0102 inside each
    // 4096-byte block (the last byte of a block starts none); only a 0x0101
    // word can be page 1, so only those are tested.
    std::int64_t LocatePageOne() const;
    void LoadPageLayout() { layout_ = PageLayout::Jet4(); }

    // Page scan.
    int ScanPages();
    int ScanShiftedPages(std::int64_t position);

    // PageSource.
    const PageMap& Map() const override { return pageMap_; }
    int ReadPage(PageBuffer& buffer, std::int32_t n) const override;
    int ReadAt(PageBuffer& buffer, std::int64_t position) const override;

    // The analysis driver: recognition, scan, discovery, column order, SQL.
    bool AnalyseDatabase(const std::string& path);

    // Later stages, run by the driver.
    int DiscoverTables();
    int SortColumns();
    int BuildTableSql();

    const std::string& path() const { return path_; }
    std::int32_t version() const { return version_; }
    std::int64_t pageOneOffset() const { return pageOneOffset_; }
    ScanKind scanKind() const { return scanKind_; }
    const PageLayout& layout() const { return layout_; }
    RecoveryStatus& status() const { return *status_; }
    UserNotifier& notifier() const { return *notifier_; }
    std::vector<TableInfo>& tables() { return tables_; }
    const std::vector<TableInfo>& tables() const { return tables_; }

private:
    void ShowMessage(const std::string& text) const { notifier_->ShowMessage(text); }
    void Refuse(const std::string& message);
    int AppendScannedPage(ByteView page, std::int32_t number, std::int64_t offset);
    int ScanFrom(std::int64_t position, std::int32_t firstNumber);

    std::string path_;
    std::string openError_;
    std::int32_t version_ = 0;
    DatabaseFile file_;
    std::int64_t pageOneOffset_ = -1;
    ScanKind scanKind_ = ScanKind::None;
    PageLayout layout_;
    RecoveryStatus* status_;
    RecordingNotifier defaultNotifier_;
    UserNotifier* notifier_;
    PageMap pageMap_;
    std::vector<TableInfo> tables_;
};

}  // namespace pw
