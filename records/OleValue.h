#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/LongValueGather.h"
#include "records/TypedValue.h"

namespace pw {

// The OLE value (type code 11) whose 12-byte field header is at `position` in
// `page` and whose field is `length` bytes long. Decoding only reads: the
// stored object comes back as the typed value, and whoever exports it decides
// whether and where a file is written (UnwrapOleObject gives its content).
//
// Cells:
//   "OLEOBJECT", typed Bytes = the whole      an object was found
//   stored object
//   "NULL" (typed Null)                       no bytes, or the single-row pointer names
//                                             a page that is not a long-value page
//   "OLEOBJECT" (typed Null)                  a field shorter than its header or
//                                             reaching past the page end, a pointer
//                                             outside the page map, a row outside the
//                                             slot count or the page
//   "Unhandled OLE field flag = %04x\n"       an unknown flag byte; the number is the
//   (typed Null)                              16-bit word at header offset 2
// Every failure cell carries its problem (cut-short, pointer-broken,
// unknown-flags); an object whose chain broke or looped keeps the bytes read
// before, with the problem.
// `issue`, when given, tells whether a pointer of the value led nowhere.
DecodedCell DecodeOleValue(const PageSource& pages, ByteView page, std::int64_t position, std::int64_t length,
                           LongValueIssue* issue = nullptr);

// What an OLE object holds: the payload cut out of its wrapper (the whole
// object when the wrapper is not recognised) and the extension its kind
// suggests, made safe for a file name.
struct OleContent {
    std::string payload;
    std::string extension;
};
OleContent UnwrapOleObject(const std::string& objectBytes);

}  // namespace pw
