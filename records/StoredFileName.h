#pragma once

#include <string>
#include <string_view>

namespace pw {

// A file name stored in the database (an attachment's FileName), made safe to
// create inside a chosen folder: only the part after the last "/" or "\" is
// kept, control characters, characters Windows refuses and bytes that are not
// UTF-8 become "_", leading dots and spaces go (no ".", "..", or hidden
// file), the name is held to 200 bytes, and the extension passes
// SafeFileExtension. An empty result becomes "attachment". The result is
// never a path: it can only name a file of the folder it is joined to.
std::string SafeStoredFileName(std::string_view stored);

}  // namespace pw
