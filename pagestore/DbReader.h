#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/DatabaseFile.h"
#include "pagestore/PageCipher.h"
#include "pagestore/PageGrid.h"
#include "pagestore/PageLayout.h"
#include "pagestore/PageMap.h"
#include "pagestore/PageSource.h"
#include "status/RunControl.h"

namespace pw {

inline constexpr const char* kLabelAccess2000 = "MS-Access 2003/2000";
inline constexpr const char* kLabelAccess2007 = "MS-Access 2007";

// Which page scan the last analysis ran.
enum class ScanKind { None, Standard, Shifted };

// What the first pages of a file say about its layout.
enum class FormatCheck {
    Jet4,            // the 4096-byte signature from the start of the file
    Pages2048,       // the 2048-byte signature: an Access 97 file
    NotRecognised,   // neither: the start is damaged or it is no Access file
};

// The label shown for a file: by its extension, ".mdb" for the 2003/2000
// format and everything else for 2007.
std::string StorageFormatLabel(const std::string& path);

// An opened database file: read-only file access, recognition of its layout,
// the page scan and the page map through which every page is read.
class CDbReader : public PageSource {
public:
    CDbReader() = default;
    ~CDbReader() override;
    CDbReader(const CDbReader&) = delete;
    CDbReader& operator=(const CDbReader&) = delete;

    // File access. Opening empties the map.
    bool OpenDatabaseFile(const std::string& path);
    void CloseDatabaseFile();
    bool IsOpen() const { return file_.IsOpen(); }
    std::int64_t FileSize() const { return file_.Size(); }
    // Why the last OpenDatabaseFile failed (empty after a success).
    const std::string& openError() const { return openError_; }

    // Recognition.
    bool MatchSignature(int pageSize) const;
    FormatCheck CheckFileFormat() const;
    // The first file position at which page 1 of the 4096-byte signature is
    // followed by at least three of the signature pages 2 to 5, or -1.
    // Candidates are the positions of the words 0x0101 and 0x0102 inside each
    // 4096-byte block (the last byte of a block starts none); only a 0x0101
    // word can be page 1, so only those are tested.
    std::int64_t LocatePageOne() const;
    // True when page 0 is still a database header and says that the pages
    // after it are enciphered with a password.
    bool HeaderNamesEncryption() const;

    // Page scan: the pages from the start of the file, or from page 1 at a
    // shifted position (page 0 is then absent). Returns the pages mapped.
    // Progress goes to the run control per block of pages; a stop ends the
    // scan with the map complete up to the page where it was seen.
    std::int64_t ScanPages(const RunControl& run);
    std::int64_t ScanShiftedPages(std::int64_t position, const RunControl& run);
    // The grid of a file whose start does not say where its pages lie.
    PageGrid LocateGrid(const RunControl& run) const { return FindPageGrid(file_, run); }
    // Page scan along a grid: the pages before its first page number are
    // absent from the map, slots before page 0 are left out.
    std::int64_t ScanGridPages(const PageGrid& grid, const RunControl& run);

    // PageSource.
    const PageMap& Map() const override { return pageMap_; }
    PageRead ReadPage(PageBuffer& buffer, std::int32_t n) const override;
    int ReadAt(PageBuffer& buffer, std::int64_t position) const override;
    // Pages that lie one after another in the file are read with one read.
    void ReadPageRun(std::int32_t first, std::int32_t count, std::uint8_t* out, PageRead* got) const override;

    const std::string& path() const { return path_; }
    std::int64_t pageOneOffset() const { return pageOneOffset_; }
    void setPageOneOffset(std::int64_t offset) { pageOneOffset_ = offset; }
    ScanKind scanKind() const { return scanKind_; }
    const PageLayout& layout() const { return layout_; }
    // Pages written with page encoding are deciphered as they are read: in
    // the scan, by ReadPage and ReadPageRun (not by ReadAt, which gives the
    // bytes as stored).
    bool pagesEncoded() const { return cipher_.active(); }

private:
    bool PagesReadBetterDeciphered() const;
    void AppendScannedPage(ByteView page, std::int32_t number, std::int64_t offset);
    std::int64_t ScanFrom(std::int64_t position, std::int32_t firstNumber, const RunControl& run);

    std::string path_;
    std::string openError_;
    DatabaseFile file_;
    std::int64_t pageOneOffset_ = -1;
    ScanKind scanKind_ = ScanKind::None;
    PageLayout layout_ = PageLayout::Jet4();
    PageCipher cipher_;
    PageMap pageMap_;
};

}  // namespace pw
