#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/LongValueGather.h"
#include "records/TypedValue.h"

namespace pw {

// A memo value (type code 12) whose 12-byte field header is at `position` in
// `page` and whose field is `length` bytes long, as text. The stored bytes
// (inline, one long-value row or a chain, see GatherLongValue) are decoded
// as one Jet text: compressed when the whole value starts with 0xFF 0xFE,
// UCS-2 otherwise.
//
// Cells:
//   the text (typed Text, UTF-8)              a value with text
//   "NULL" (typed Null)                       empty, or the pointer leads to no row
//   "MEMO" (typed Null)                       a field shorter than its header, or a
//                                             row that the slot table puts outside its page
//   "Unhandled memo field flags = %04x\n"     an unknown flag byte; the number is the
//   (typed Null)                              16-bit word at header offset 2
// Every cell but a whole value or an empty one carries the problem that made
// it (cut-short, pointer-broken, unknown-flags); a chain that broke or looped
// after some rows keeps their text with pointer-broken or chain-loop.
// Long-value pages are read into a buffer of the decoder's own.
// `issue`, when given, tells whether a pointer of the value led nowhere.
DecodedCell DecodeMemoValue(const PageSource& pages, ByteView page, std::int64_t position,
                            std::int64_t length, LongValueIssue* issue = nullptr);

}  // namespace pw
