#include "schema/CatalogIndexNames.h"

#include <cstddef>
#include <map>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "schema/IndexKeyText.h"

namespace pw {
namespace {

constexpr std::int32_t kCatalogDefinitionPage = 2;
constexpr std::int32_t kParentOffset = 4;
constexpr std::int32_t kPrefixLengthOffset = 0x14;
constexpr std::int32_t kEntryMaskOffset = 0x1B;
constexpr std::int32_t kFirstEntryOffset = 0x1E0;
constexpr std::int32_t kRowPointerSize = 4;
constexpr std::uint8_t kAscendingKey = 0x7F;
// An Id key: flag, four bytes, row pointer.
constexpr std::size_t kIdEntrySize = 1 + 4 + kRowPointerSize;
// A (ParentId, Name) key: flag, four bytes, flag, the name's key.
constexpr std::size_t kNameKeyStart = 1 + 4 + 1;

// Index keys store a Long big-endian with its sign bit flipped, so that
// bytes sort as numbers do.
std::int32_t KeyLong(const std::vector<std::uint8_t>& entry, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | entry[at + k];
    return static_cast<std::int32_t>(v ^ 0x80000000u);
}

// Page (three bytes, big-endian) and row of the catalog row a key points at.
std::uint32_t RowPointer(const std::vector<std::uint8_t>& entry) {
    std::uint32_t v = 0;
    for (std::size_t k = entry.size() - kRowPointerSize; k < entry.size(); ++k) v = (v << 8) | entry[k];
    return v;
}

// The entries of one leaf page, each whole again: entries after the first
// leave out the leading bytes that all the page's keys share.
std::vector<std::vector<std::uint8_t>> LeafEntries(ByteView page) {
    std::vector<std::vector<std::uint8_t>> entries;
    const std::size_t prefixLength = static_cast<std::size_t>(ReadUInt16(page, kPrefixLengthOffset));
    const std::size_t room = page.size() - kFirstEntryOffset;
    std::size_t start = 0;
    for (std::size_t bit = 1; bit < room; ++bit) {
        const std::uint8_t maskByte = page[kEntryMaskOffset + bit / 8];
        if (((maskByte >> (bit % 8)) & 1) == 0) continue;
        const auto first = page.begin() + static_cast<std::ptrdiff_t>(kFirstEntryOffset + start);
        const auto last = page.begin() + static_cast<std::ptrdiff_t>(kFirstEntryOffset + bit);
        std::vector<std::uint8_t> entry;
        if (!entries.empty()) {
            const std::vector<std::uint8_t>& head = entries.front();
            if (prefixLength > head.size()) return entries;
            entry.assign(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(prefixLength));
        }
        entry.insert(entry.end(), first, last);
        entries.push_back(std::move(entry));
        start = bit;
    }
    return entries;
}

}  // namespace

std::unordered_map<std::int32_t, std::string> ReadCatalogIndexNames(const PageSource& pages) {
    std::map<std::uint32_t, std::int32_t> idAt;
    std::map<std::uint32_t, std::string> nameAt;
    const PageMap& map = pages.Map();
    PageBuffer buffer;
    for (const PageMapEntry& entry : map) {
        if (!IsPageOfType(entry, PageType::LeafIndex)) continue;
        if (!pages.ReadPage(buffer, entry.pageNumber).anyBytes()) continue;
        const ByteView page(buffer);
        if (page[1] != 0x01 || ReadInt32(page, kParentOffset) != kCatalogDefinitionPage) continue;
        for (const std::vector<std::uint8_t>& key : LeafEntries(page)) {
            if (key.size() < kIdEntrySize || key[0] != kAscendingKey) continue;
            if (key.size() == kIdEntrySize) {
                idAt.emplace(RowPointer(key), KeyLong(key, 1));
                continue;
            }
            if (key.size() <= kNameKeyStart + kRowPointerSize || key[kNameKeyStart - 1] != kAscendingKey) continue;
            const ByteView text(key.data() + kNameKeyStart, key.size() - kNameKeyStart - kRowPointerSize);
            if (std::optional<std::string> name = ReadIndexKeyText(text)) nameAt.emplace(RowPointer(key), std::move(*name));
        }
    }
    std::unordered_map<std::int32_t, std::string> names;
    for (auto& [row, name] : nameAt) {
        const auto id = idAt.find(row);
        if (id != idAt.end()) names.emplace(id->second, std::move(name));
    }
    return names;
}

}  // namespace pw
