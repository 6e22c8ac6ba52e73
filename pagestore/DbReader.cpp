#include "pagestore/DbReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>

#include "pagestore/FieldReaders.h"

namespace pw {
namespace {

constexpr std::uint16_t kAnyWord = 0x0FFF;

struct SignatureRow {
    std::uint16_t word0;
    std::uint16_t word2;
};

constexpr SignatureRow kSignature2048[6] = {{0x0100, 0x0000}, {0x0101, kAnyWord}, {0x0102, 0x4356},
                                            {0x0102, 0x4356}, {0x0102, 0x4356}, {0x0102, 0x4356}};
constexpr SignatureRow kSignature4096[6] = {{0x0100, 0x0000}, {0x0101, kAnyWord}, {0x0102, 0x0BDE},
                                            {0x0102, 0x0EA9}, {0x0102, 0x0DEB}, {0x0102, 0x0CCB}};

constexpr int kPagesThatMustMatch = 4;  // of pages 1 to 5

}  // namespace

std::string StorageFormatLabel(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.size() >= 4) {
        std::size_t from = lower.size() - 4;
        std::size_t found = lower.find(".mdb", from);
        if (found != std::string::npos && found > 0) return kLabelAccess2000;
    }
    return kLabelAccess2007;
}


CDbReader::~CDbReader() { CloseDatabaseFile(); }

bool CDbReader::OpenDatabaseFile(const std::string& path) {
    CloseDatabaseFile();
    pageMap_.clear();
    openError_.clear();
    pageOneOffset_ = -1;
    scanKind_ = ScanKind::None;
    path_ = path;
    if (path.empty()) return false;
    errno = 0;
    if (!file_.Open(path)) {
        openError_ = errno != 0 ? std::strerror(errno) : "not a readable file";
        return false;
    }
    std::vector<std::uint8_t> header(kPageSize, 0);
    const std::int64_t got = file_.ReadAt(0, header.data(), header.size());
    cipher_ = PageCipher::FromHeader(ByteView(header.data(), static_cast<std::size_t>(std::max<std::int64_t>(got, 0))));
    if (cipher_.active() && !PagesReadBetterDeciphered()) cipher_ = PageCipher();
    return true;
}

// A damaged header can hold any key. Deciphering every page under a wrong
// one would turn the whole file into noise, so the key is used only when the
// pages it deciphers look like pages more often than the pages as stored.
bool CDbReader::PagesReadBetterDeciphered() const {
    constexpr std::int64_t kPagesSampled = 64;
    const std::int64_t pages = std::min<std::int64_t>(file_.Size() / kPageSize, kPagesSampled + 1);
    std::vector<std::uint8_t> page(kPageSize);
    int asStored = 0;
    int deciphered = 0;
    for (std::int64_t n = 1; n < pages; ++n) {
        if (file_.ReadAt(n * kPageSize, page.data(), page.size()) < 16) break;
        asStored += LooksLikePageStart(page.data()) ? 1 : 0;
        cipher_.Decode(page.data(), 16, static_cast<std::int32_t>(n));
        deciphered += LooksLikePageStart(page.data()) ? 1 : 0;
    }
    return deciphered > asStored;
}

void CDbReader::CloseDatabaseFile() {
    file_.Close();
    cipher_ = PageCipher();
}

int CDbReader::ReadAt(PageBuffer& buffer, std::int64_t position) const {
    buffer.fill(0);
    if (!file_.IsOpen()) return -1;
    return static_cast<int>(file_.ReadAt(position, buffer.data(), buffer.size()));
}

bool CDbReader::MatchSignature(int pageSize) const {
    if (!file_.IsOpen() || (pageSize != 2048 && pageSize != 4096)) return false;
    const SignatureRow* rows = pageSize == 2048 ? kSignature2048 : kSignature4096;
    std::vector<std::uint8_t> page(static_cast<std::size_t>(pageSize));
    int mismatches = 0;
    for (int k = 0; k < 6; ++k) {
        std::fill(page.begin(), page.end(), 0);
        file_.ReadAt(static_cast<std::int64_t>(k) * pageSize, page.data(), page.size());
        if (pageSize == kPageSize) cipher_.Decode(page.data(), page.size(), k);
        ByteView view(page);
        if (static_cast<std::uint16_t>(ReadUInt16(view, 0)) != rows[k].word0) {
            ++mismatches;
        } else if (rows[k].word2 != kAnyWord && static_cast<std::uint16_t>(ReadUInt16(view, 2)) != rows[k].word2) {
            ++mismatches;
        }
    }
    return mismatches == 0;
}

FormatCheck CDbReader::CheckFileFormat() const {
    if (MatchSignature(2048)) return FormatCheck::Pages2048;
    if (MatchSignature(4096)) return FormatCheck::Jet4;
    return FormatCheck::NotRecognised;
}

std::int64_t CDbReader::LocatePageOne() const {
    if (!file_.IsOpen()) return -1;
    const std::int64_t size = file_.Size();
    if (size <= 0) return -1;

    // The file is read once, block by block, with enough of what follows kept
    // in memory to compare a candidate's five pages without reading again.
    constexpr std::int64_t kChunk = 8 << 20;
    constexpr std::int64_t kLookahead = 4 * kPageSize + 4;
    std::vector<std::uint8_t> window(static_cast<std::size_t>(kChunk + kLookahead));

    for (std::int64_t chunkStart = 0; chunkStart < size; chunkStart += kChunk) {
        std::fill(window.begin(), window.end(), 0);
        std::int64_t got = file_.ReadAt(chunkStart, window.data(), window.size());
        if (got <= 0) break;
        const std::uint8_t* w = window.data();
        const std::int64_t chunkEnd = std::min<std::int64_t>(kChunk, got);
        for (std::int64_t i = 0; i < chunkEnd; ++i) {
            // A candidate word starts with 0x01 and must be 0x0101 to pass.
            if (w[i] != 0x01) {
                const void* hit = std::memchr(w + i, 0x01, static_cast<std::size_t>(chunkEnd - i));
                if (hit == nullptr) break;
                i = static_cast<const std::uint8_t*>(hit) - w;
            }
            const std::int64_t position = chunkStart + i;
            if (position % kPageSize == kPageSize - 1) continue;
            if (w[i + 1] != 0x01) continue;
            // Page 1 itself must be there; of the four system pages after it
            // one may be damaged without the file being given up.
            int matching = 1;
            for (int k = 2; k <= 5; ++k) {
                const std::int64_t at = i + static_cast<std::int64_t>(k - 1) * kPageSize;
                const std::uint16_t word0 = static_cast<std::uint16_t>(w[at] | (w[at + 1] << 8));
                const std::uint16_t word2 = static_cast<std::uint16_t>(w[at + 2] | (w[at + 3] << 8));
                if (word0 == kSignature4096[k].word0 && word2 == kSignature4096[k].word2) ++matching;
                if (matching + (5 - k) < kPagesThatMustMatch) break;
            }
            const bool passes = matching >= kPagesThatMustMatch;
            if (passes) return position;
        }
    }
    return -1;
}

}  // namespace pw
