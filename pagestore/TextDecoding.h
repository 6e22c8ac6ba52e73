#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"

namespace pw {

// Stored text to UTF-8. Nothing here drops characters: every UCS-2 unit or
// compressed byte becomes its own code point.

void AppendUtf8(std::string& out, char32_t codePoint);

// UCS-2 little-endian (surrogate pairs joined; a lone surrogate becomes U+FFFD;
// an odd last byte is ignored). Bytes outside the buffer contribute nothing.
std::string DecodeUcs2(ByteView buffer, std::int64_t start, std::int64_t count);

// Jet text value: when it begins with 0xFF 0xFE the rest is compressed text
// (each byte one character U+0000-U+00FF; a 0x00 byte toggles between that
// mode and plain UCS-2 pairs); otherwise the whole value is UCS-2.
std::string DecodeJetText(ByteView buffer, std::int64_t start, std::int64_t count);
// DecodeJetText into `out`, whose room is kept: a walk reuses one string per
// cell rather than allocating one per value.
void DecodeJetTextInto(ByteView buffer, std::int64_t start, std::int64_t count, std::string& out);

// Compressed text as it follows the 0xFF 0xFE marker.
std::string DecodeCompressedText(ByteView buffer, std::int64_t start, std::int64_t count);

// Length of the valid UTF-8 sequence at text[i] (its code point in
// codePoint), or 0 for a malformed, overlong or cut sequence.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t i, char32_t& codePoint);

// The code points of a UTF-8 string; malformed sequences become U+FFFD.
std::u32string Utf8CodePoints(const std::string& utf8);

bool HasCompressedTextMarker(ByteView buffer, std::int64_t start, std::int64_t count);

}  // namespace pw
