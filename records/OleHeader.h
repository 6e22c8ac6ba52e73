#pragma once

#include <string>

namespace pw {

// Recognises the object kind from the OLE wrapper at the start of
// `objectBytes` and cuts the payload out of it in place.
//
// Wrapper (little-endian): 16-bit signature 0x1C15 at 0, header length H at 2,
// object name at 20, class-name length A at H + 8, native data size N at
// A + H + 20, native data from q = A + H + 24.
//   "Bitmap..."  -> extension "bmp", payload = N bytes from q
//   "Acrobat..." -> extension "pdf", payload = everything from q (N is not trusted)
//   "Package..." -> extension of the package's label (after its last '.', the
//                   whole label without one), payload = the embedded file
//   other names  -> extension empty, payload = N bytes from q
// When N is negative or more than remains, everything from q is kept.
//
// Returns 1 when it cut the bytes, -1 when it did not (the bytes are left
// whole). `extension` is cleared first and may be set even when a damaged
// package returns -1. The extension is taken from the file as it is: it must
// be made safe before it becomes part of a path (SafeFileExtension).
int ParseOleHeader(std::string& objectBytes, std::string& extension);

}  // namespace pw
