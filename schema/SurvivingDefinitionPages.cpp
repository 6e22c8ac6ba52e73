#include "schema/SurvivingDefinitionPages.h"

#include <algorithm>
#include <unordered_map>

#include "pagestore/FieldReaders.h"
#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

constexpr std::size_t kContinuationHeader = 8;
// The index records that follow the column names are 52 bytes each, with the
// index's root page at byte 38.
constexpr std::int64_t kIndexRecordSize = 52;
constexpr std::int64_t kIndexRootOffset = 38;
constexpr std::size_t kMaxNameCharacters = 64;  // Access's limit for a column name
constexpr std::int32_t kMaxNameBytes = 2 * kMaxNameCharacters;
constexpr std::int32_t kFirstDefinitionPage = 2;
// More than any definition Access writes (255 columns and their indexes).
constexpr std::size_t kMaxChainPages = 32;

struct IndexPointer {
    std::int64_t at = 0;       // position in the chain's bytes
    std::int32_t owner = -1;   // definition page the index page names
};

// The definition pages of a chain without their headers, one after another.
std::vector<std::uint8_t> ChainBytes(const PageSource& pages, const std::vector<std::int32_t>& chain) {
    std::vector<std::uint8_t> bytes;
    PageBuffer page;
    for (std::int32_t number : chain) {
        pages.ReadPage(page, number);
        bytes.insert(bytes.end(), page.begin() + kContinuationHeader, page.end());
    }
    return bytes;
}

class IndexOwners {
public:
    explicit IndexOwners(const PageSource& pages) : pages_(pages) {}

    // The definition page an index page names, or -1 when `number` is no
    // readable index page.
    std::int32_t OwnerOf(std::int32_t number) {
        const PageMap& map = pages_.Map();
        if (number <= kFirstDefinitionPage || static_cast<std::size_t>(number) >= map.size()) return -1;
        const PageMapEntry& entry = map[static_cast<std::size_t>(number)];
        if (entry.fileOffset < 0 ||
            !(IsPageOfType(entry, PageType::IntermediateIndex) || IsPageOfType(entry, PageType::LeafIndex)))
            return -1;
        auto known = owners_.find(number);
        if (known != owners_.end()) return known->second;
        PageBuffer page;
        std::int32_t owner = -1;
        if (pages_.ReadPage(page, number).whole() && page[1] == 0x01) owner = ReadInt32(ByteView(page), 4);
        owners_.emplace(number, owner);
        return owner;
    }

private:
    const PageSource& pages_;
    std::unordered_map<std::int32_t, std::int32_t> owners_;
};

std::vector<IndexPointer> FindIndexPointers(ByteView bytes, IndexOwners& owners) {
    std::vector<IndexPointer> found;
    for (std::int64_t at = 0; at + 4 <= static_cast<std::int64_t>(bytes.size()); ++at) {
        const std::int32_t owner = owners.OwnerOf(ReadInt32(bytes, at));
        if (owner >= kFirstDefinitionPage) found.push_back({at, owner});
    }
    return found;
}

bool IsNameCharacter(char32_t cp) {
    // Access refuses these in a column name; text and record bytes are full
    // of them.
    switch (cp) {
        case U'.': case U'!': case U'`': case U'[': case U']': case 0x7F: case 0xFFFD: case 0xFFFE: case 0xFFFF:
            return false;
        default: return cp >= 0x20;
    }
}

// The bytes of the stored name at `at` (its length word and its text), or
// 0 when they cannot be a name Access would accept.
std::int64_t StoredNameSize(ByteView bytes, std::int64_t at, std::int64_t end, std::string& name) {
    if (at + 2 > end) return 0;
    const std::int32_t length = ReadUInt16(bytes, at);
    if (length < 2 || length > kMaxNameBytes + 2 || at + 2 + length > end) return 0;
    if (!HasCompressedTextMarker(bytes, at + 2, length) && (length % 2 != 0 || length > kMaxNameBytes)) return 0;
    name = DecodeJetText(bytes, at + 2, length);
    const std::u32string characters = Utf8CodePoints(name);
    if (characters.empty() || characters.size() > kMaxNameCharacters || characters.front() == U' ') return 0;
    for (char32_t cp : characters)
        if (!IsNameCharacter(cp)) return 0;
    return 2 + length;
}

// Whether the bytes before `start` can be the end of a name the page break
// cut: its text, and maybe the high byte of its length word (zero, as no
// name is longer than 255 bytes). The text is taken unit by unit, since the
// break may fall inside a surrogate pair.
bool IsCutName(ByteView bytes, std::int64_t start) {
    std::int64_t at = start % 2;
    if (at == 1 && bytes[0] != 0) return false;
    for (; at + 2 <= start; at += 2)
        if (!IsNameCharacter(static_cast<char32_t>(ReadUInt16(bytes, at)))) return false;
    return true;
}

// The column names that end where the index records begin: the longest run
// of whole names that starts after a cut name and stops a whole number of
// index records before `firstRecord`.
std::vector<std::string> NamesBefore(ByteView bytes, std::int64_t firstRecord) {
    // What comes before the first whole name is at most the end of one name.
    const std::int64_t lastStart = std::min<std::int64_t>(firstRecord, kMaxNameBytes + 2);
    for (std::int64_t start = 0; start < lastStart; ++start) {
        if (!IsCutName(bytes, start)) continue;
        std::vector<std::string> names;
        std::int64_t at = start;
        std::string name;
        while (const std::int64_t size = StoredNameSize(bytes, at, firstRecord, name)) {
            names.push_back(name);
            at += size;
        }
        if (!names.empty() && (firstRecord - at) % kIndexRecordSize == 0) return names;
    }
    return {};
}

// Access leaves the old pages behind when it rewrites a definition (to add
// an index, say), so a lost definition may be claimed by several chains that
// name its index pages. Their names are kept when they tell one story: each
// list the end of the longest.
SurvivingDefinition Combined(std::vector<SurvivingDefinition>& tails) {
    SurvivingDefinition combined;
    const SurvivingDefinition* longest = &tails.front();
    for (const SurvivingDefinition& tail : tails) {
        combined.pages.insert(combined.pages.end(), tail.pages.begin(), tail.pages.end());
        if (tail.columnNames.size() > longest->columnNames.size()) longest = &tail;
    }
    std::sort(combined.pages.begin(), combined.pages.end());
    combined.pages.erase(std::unique(combined.pages.begin(), combined.pages.end()), combined.pages.end());
    for (const SurvivingDefinition& tail : tails)
        if (!std::equal(tail.columnNames.rbegin(), tail.columnNames.rend(), longest->columnNames.rbegin()))
            return combined;
    combined.columnNames = longest->columnNames;
    return combined;
}

}  // namespace

std::map<std::int32_t, SurvivingDefinition> FindSurvivingDefinitionPages(
    const PageSource& pages, const std::set<std::int32_t>& lostDefinitions,
    const std::unordered_set<std::int32_t>& readDefinitionPages) {
    std::map<std::int32_t, SurvivingDefinition> found;
    if (lostDefinitions.empty()) return found;
    const PageMap& map = pages.Map();
    std::unordered_set<std::int32_t> ledTo;
    std::unordered_set<std::int32_t> owners;
    for (const PageMapEntry& entry : map) {
        if (IsPageOfType(entry, PageType::TableDefinition) && entry.link > 0) ledTo.insert(entry.link);
        if (IsPageOfType(entry, PageType::Data)) owners.insert(entry.link);
    }

    IndexOwners indexOwners(pages);
    std::map<std::int32_t, std::vector<SurvivingDefinition>> claims;
    // Chains that run into one another are read once, so that damaged links
    // cannot make the search read the same pages over and over.
    std::unordered_set<std::int32_t> chained;
    for (const PageMapEntry& entry : map) {
        const std::int32_t head = entry.pageNumber;
        if (!IsPageOfType(entry, PageType::TableDefinition) || entry.fileOffset < 0 || ledTo.count(head) != 0 ||
            owners.count(head) != 0 || readDefinitionPages.count(head) != 0 || lostDefinitions.count(head) != 0)
            continue;
        SurvivingDefinition tail;
        tail.pages.push_back(head);
        chained.insert(head);
        for (std::int32_t next = entry.link; next > 0 && static_cast<std::size_t>(next) < map.size() &&
                                             tail.pages.size() < kMaxChainPages;
             next = map[static_cast<std::size_t>(next)].link) {
            const PageMapEntry& nextEntry = map[static_cast<std::size_t>(next)];
            if (!IsPageOfType(nextEntry, PageType::TableDefinition) || nextEntry.fileOffset < 0 ||
                readDefinitionPages.count(next) != 0 || !chained.insert(next).second)
                break;
            tail.pages.push_back(next);
        }
        const std::vector<std::uint8_t> bytes = ChainBytes(pages, tail.pages);
        const std::vector<IndexPointer> pointers = FindIndexPointers(ByteView(bytes), indexOwners);
        std::set<std::int32_t> named;
        for (const IndexPointer& pointer : pointers)
            if (lostDefinitions.count(pointer.owner) != 0) named.insert(pointer.owner);
        if (named.size() != 1) continue;
        const std::int32_t owner = *named.begin();
        for (const IndexPointer& pointer : pointers)
            if (pointer.owner == owner && pointer.at >= kIndexRootOffset) {
                tail.columnNames = NamesBefore(ByteView(bytes), pointer.at - kIndexRootOffset);
                break;
            }
        claims[owner].push_back(std::move(tail));
    }
    for (auto& [owner, tails] : claims) found[owner] = Combined(tails);
    return found;
}

}  // namespace pw
