#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/TypedValue.h"

namespace pw {

// Decodes OLE object cells (type code 11) by writing each object's payload to
// a file of its own and making the file's path the cell text.
//
// The counter lives as long as the extractor and is never reset: every decode
// of a cell, even of the same cell again, writes a new file "Ole<n>.<ext>"
// with the next number, starting at Ole1. The extension comes from the
// object's wrapper (ParseOleHeader) and is made safe (SafeFileExtension), so
// every file stays inside the folder. Files are never deleted.
//
// Meant for one decoding thread at a time; a mutex still keeps the counter
// and the writes consistent if that rule is broken.
class OleExtractor {
public:
    // `folder` is where the files go (the "TempOLeFiles" folder beside the
    // program); it is created on first use when missing.
    explicit OleExtractor(std::filesystem::path folder);

    // The OLE value whose 12-byte field header is at `position` in `page` and
    // whose field is `length` bytes long.
    //
    // Cells:
    //   the path of the written file (UTF-8),   an object was found; the file holds
    //   typed Bytes = the whole stored object   the payload (the whole object when its
    //                                           wrapper is not recognised). A file that
    //                                           cannot be written still gives the path.
    //   "NULL" (typed Null)                     no bytes, or the single-row pointer names
    //                                           a page that is not a long-value page
    //   "OLEOBJECT" (typed Null)                a field shorter than its header or
    //                                           reaching past the page end, a pointer
    //                                           outside the page map, a row outside the
    //                                           slot count or the page
    //   "Unhandled OLE field flag = %04x\n"     an unknown flag byte; the number is the
    //   (typed Null)                            16-bit word at header offset 2
    DecodedCell Decode(const PageSource& pages, ByteView page, std::int64_t position, std::int64_t length);

    // Number of objects written so far (the number of the last file).
    int oleFileCount() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::string WriteObject(const std::string& objectBytes);

    std::filesystem::path folder_;
    mutable std::mutex mutex_;
    int oleFileCount_ = 0;
};

}  // namespace pw
