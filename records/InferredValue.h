#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/LongValueGather.h"
#include "records/TypedValue.h"

namespace pw {

// True when the bytes read as stored text: the compressed form (0xFF 0xFE
// first) or UCS-2 of even length, without control characters other than tab,
// line feed and carriage return, without lone surrogates and without the
// non-characters U+FFFE and U+FFFF. An empty value is text.
bool LooksLikeStoredText(ByteView bytes, std::int64_t position, std::int64_t length);

// A value of a variable column whose definition was lost, told apart by its
// bytes:
//   - a 12-byte memo/OLE pointer (flag 0x40 or 0x00, a length, unused bytes
//     zero, a page the map knows as a long-value page holding the row) or an
//     inline long value (flag 0x80, the length of what follows): the value
//     it leads to, as text when it reads as text, else as bytes;
//   - bytes that read as text: the text (as a TEXT column shows it);
//   - anything else: the bytes.
// `pages` may be null: pointers are then not followed and stay bytes.
DecodedCell DecodeInferredValue(const PageSource* pages, ByteView page, std::int64_t position,
                                std::int64_t length, LongValueIssue* issue = nullptr);

}  // namespace pw
