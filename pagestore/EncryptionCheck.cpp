#include <algorithm>
#include <cstring>
#include <string_view>

#include "pagestore/DbReader.h"

namespace pw {
namespace {

bool Contains(const std::vector<std::uint8_t>& bytes, std::string_view text, bool utf16) {
    std::string needle;
    for (char c : text) {
        needle.push_back(c);
        if (utf16) needle.push_back('\0');
    }
    return std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end();
}

}  // namespace

bool CDbReader::HeaderNamesEncryption() const {
    if (!file_.IsOpen()) return false;
    std::vector<std::uint8_t> header(kPageSize, 0);
    if (file_.ReadAt(0, header.data(), header.size()) < 64) return false;
    // Only a header that is still a database header can speak for the file.
    static constexpr char kAce[] = "Standard ACE DB";
    static constexpr char kJet[] = "Standard Jet DB";
    const bool isHeader = std::memcmp(header.data() + 4, kAce, sizeof kAce - 1) == 0 ||
                          std::memcmp(header.data() + 4, kJet, sizeof kJet - 1) == 0;
    if (!isHeader) return false;
    // An encrypted file names its cryptographic provider (UTF-16), or carries
    // the XML description of its cipher.
    return Contains(header, "Cryptographic Provider", true) || Contains(header, "cipherAlgorithm", false);
}

}  // namespace pw
