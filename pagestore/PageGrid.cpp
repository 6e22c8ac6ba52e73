#include "pagestore/PageGrid.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "pagestore/PageLayout.h"
#include "pagestore/PageMap.h"

namespace pw {
namespace {

constexpr std::int64_t kGrid = 4096;
// Bytes of a page start the checks look at.
constexpr std::int64_t kStartBytes = 16;
constexpr std::int64_t kChunk = 8 << 20;
// Enough owners and definitions to number any real file; beyond that the
// votes only grow in cost, not in certainty.
constexpr std::size_t kMostOwners = 4096;
constexpr std::size_t kMostDefinitions = 4096;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int32_t I32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

bool IsHeaderStart(const std::uint8_t* p) {
    return p[0] == 0 && p[1] == 1 && p[2] == 0 && p[3] == 0 &&
           (std::memcmp(p + 4, "Standard Jet", 12) == 0 || std::memcmp(p + 4, "Standard ACE", 12) == 0);
}

// The page types Jet 4 and ACE files hold, each followed by 0x01. A data page
// must also keep its slot table inside the page, which random bytes rarely do.
bool PlausiblePageStart(const std::uint8_t* p) {
    if (p[1] != 0x01) return false;
    switch (p[0]) {
        case 0x00: return IsHeaderStart(p);
        case 0x01: {
            if (U16(p + 2) > kGrid) return false;
            if (I32(p + 4) < 0) return false;
            const std::uint16_t rows = U16(p + 12);
            if (rows > 2040) return false;
            if (rows == 0) return true;
            const std::int64_t first = U16(p + 14) & 0x1FFF;
            return first >= 14 + 2 * rows && first < kGrid;
        }
        case 0x02: return I32(p + 4) >= 0;
        // Index and other page types keep a free-space count and a link as
        // data pages do; usage-map pages keep those two bytes zero. Without
        // these checks the last byte of a row standing before a page start
        // would pass for a page type, one byte early.
        case 0x03:
        case 0x04:
        case 0x08:
        case 0x09: return U16(p + 2) <= kGrid && I32(p + 4) >= 0;
        case 0x05: return U16(p + 2) == 0;
        default: return false;
    }
}

struct Slot {
    std::int64_t index = 0;  // grid slot: file position = phase + index * 4096
    std::uint8_t type = 0;
    std::int32_t link = 0;
    std::uint16_t word2 = 0;
    bool header = false;
    std::int32_t systemPage = -1;  // 2 to 5 for a definition known as one of Access's first tables
};

// Access writes the definitions of its first tables (pages 2 to 5: the
// catalog, MSysACEs, MSysQueries, MSysRelationships) alike in every file:
// the same free-space word, and a column name no user table has.
constexpr std::uint16_t kSystemWords[4] = {0x0BDE, 0x0EA9, 0x0DEB, 0x0CCB};
constexpr const char* kSystemColumns[4] = {"RmtInfoShort", "FInheritable", "Expression", "szRelationship"};
constexpr std::int32_t kFirstSystemPage = 2;

bool HoldsUcs2(const std::uint8_t* page, std::size_t size, const char* ascii) {
    std::vector<std::uint8_t> wanted;
    for (const char* c = ascii; *c != 0; ++c) {
        wanted.push_back(static_cast<std::uint8_t>(*c));
        wanted.push_back(0);
    }
    return std::search(page, page + size, wanted.begin(), wanted.end()) != page + size;
}

std::int32_t SystemPageOf(const std::uint8_t* page, std::size_t size) {
    if (page[0] != 0x02) return -1;
    for (std::int32_t k = 0; k < 4; ++k)
        if (U16(page + 2) == kSystemWords[k] && HoldsUcs2(page, size, kSystemColumns[k])) return kFirstSystemPage + k;
    return -1;
}

// Reads the file once and counts page starts at every position modulo 4096.
bool CountStarts(const DatabaseFile& file, const RunControl& run, std::array<std::int64_t, kGrid>& votes) {
    const std::int64_t size = file.Size();
    // No bigger than the file: a small one is looked at often (each damaged
    // copy, each fuzzing input), and clearing megabytes for it costs more
    // than reading it.
    const std::int64_t windowSize = std::min<std::int64_t>(kChunk, size) + kStartBytes;
    std::vector<std::uint8_t> window(static_cast<std::size_t>(std::max<std::int64_t>(windowSize, kStartBytes)));
    for (std::int64_t chunkStart = 0; chunkStart < size; chunkStart += kChunk) {
        if (run.StopRequested()) return false;
        std::fill(window.begin(), window.end(), std::uint8_t{0});
        const std::int64_t got = file.ReadAt(chunkStart, window.data(), window.size());
        if (got <= 0) break;
        const std::uint8_t* w = window.data();
        // A page start needs its first 16 bytes inside the file.
        const std::int64_t end = std::min<std::int64_t>(kChunk, got - kStartBytes + 1);
        for (std::int64_t i = 0; i < end; ++i) {
            // Every page start has 0x01 as its second byte.
            if (w[i + 1] != 0x01) {
                const void* hit = std::memchr(w + i + 1, 0x01, static_cast<std::size_t>(end - i));
                if (hit == nullptr) break;
                i = static_cast<const std::uint8_t*>(hit) - w - 1;
                if (i >= end) break;
            }
            if (PlausiblePageStart(w + i)) ++votes[static_cast<std::size_t>((chunkStart + i) % kGrid)];
        }
        run.Progress(ProgressStage::Pages, std::min(chunkStart + kChunk, size) / kGrid, size / kGrid);
    }
    return true;
}

std::vector<Slot> ReadSlots(const DatabaseFile& file, std::int64_t phase, std::int64_t* total) {
    std::vector<Slot> slots;
    const std::int64_t size = file.Size();
    constexpr std::int64_t kPagesPerRead = 256;
    std::vector<std::uint8_t> block(
        static_cast<std::size_t>(std::min<std::int64_t>(kPagesPerRead * kGrid, std::max<std::int64_t>(size, kGrid))));
    std::int64_t index = 0;
    for (std::int64_t at = phase; at + kStartBytes <= size; at += kPagesPerRead * kGrid) {
        std::fill(block.begin(), block.end(), std::uint8_t{0});
        const std::int64_t got = file.ReadAt(at, block.data(), block.size());
        if (got <= 0) break;
        for (std::int64_t k = 0; k * kGrid + kStartBytes <= got; ++k, ++index) {
            const std::uint8_t* p = block.data() + k * kGrid;
            if (!PlausiblePageStart(p)) continue;
            const auto pageBytes = static_cast<std::size_t>(std::min<std::int64_t>(kGrid, got - k * kGrid));
            slots.push_back({index, p[0], I32(p + 4), U16(p + 2), IsHeaderStart(p), SystemPageOf(p, pageBytes)});
        }
        if (got < static_cast<std::int64_t>(block.size())) break;
    }
    *total = index;
    return slots;
}

// Page 0 by its text, or page 1 followed by the system definitions that
// always come after it.
bool NumberFromSystemPages(const std::vector<Slot>& slots, std::int32_t* first) {
    std::unordered_map<std::int64_t, const Slot*> byIndex;
    for (const Slot& slot : slots) byIndex.emplace(slot.index, &slot);
    for (const Slot& slot : slots) {
        if (slot.header) {
            *first = static_cast<std::int32_t>(-slot.index);
            return true;
        }
        if (slot.type != 0x01) continue;
        int matching = 0;
        for (int k = 0; k < 4; ++k) {
            auto found = byIndex.find(slot.index + 1 + k);
            if (found != byIndex.end() && found->second->type == 0x02 && found->second->word2 == kSystemWords[k])
                ++matching;
        }
        if (matching >= 3) {
            *first = static_cast<std::int32_t>(1 - slot.index);
            return true;
        }
    }
    return false;
}

// Without page 1, a system definition still names its own page: the
// numbering most of them agree on (the lower number between equals).
bool NumberFromSystemDefinitions(const std::vector<Slot>& slots, std::int32_t* first) {
    std::unordered_map<std::int64_t, int> agreeing;
    for (const Slot& slot : slots)
        if (slot.systemPage >= 0) ++agreeing[slot.systemPage - slot.index];
    const std::int64_t firstSlot = slots.empty() ? 0 : slots.front().index;
    std::int64_t best = 0;
    int bestCount = 0;
    for (const auto& [shift, count] : agreeing) {
        if (shift + firstSlot < 0) continue;
        if (count > bestCount || (count == bestCount && shift < best)) {
            best = shift;
            bestCount = count;
        }
    }
    if (bestCount == 0) return false;
    *first = static_cast<std::int32_t>(best);
    return true;
}

// Every link to a definition votes for each numbering under which it lands on
// a definition slot; of the numberings with the most votes, the one under
// which links land on definitions most and on other pages least wins.
std::int64_t NumberFromLinks(const std::vector<Slot>& slots, std::int32_t* first, std::int32_t* highest) {
    std::unordered_map<std::int32_t, std::int64_t> owners;
    std::vector<std::int32_t> continuations;
    std::vector<std::int64_t> definitions;
    for (const Slot& slot : slots) {
        if (slot.type == 0x01 && slot.link != kLongValueLink && slot.link > 0) ++owners[slot.link];
        if (slot.type == 0x02) {
            definitions.push_back(slot.index);
            if (slot.link > 0) continuations.push_back(slot.link);
        }
    }
    std::vector<std::pair<std::int32_t, std::int64_t>> byCount(owners.begin(), owners.end());
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (byCount.size() > kMostOwners) byCount.resize(kMostOwners);
    if (definitions.size() > kMostDefinitions) definitions.resize(kMostDefinitions);
    if (continuations.size() > kMostDefinitions) continuations.resize(kMostDefinitions);
    for (const auto& [owner, count] : byCount)
        if (count >= 2) *highest = std::max(*highest, owner);

    std::unordered_map<std::int64_t, std::int64_t> votes;
    for (const auto& entry : byCount)
        for (std::int64_t definition : definitions) ++votes[entry.first - definition];
    for (std::int32_t link : continuations)
        for (std::int64_t definition : definitions) ++votes[link - definition];
    // A numbering that the most links land on a definition under can still
    // send other links onto data pages; in a small file the two differ. So
    // the candidates are scored again: links that land on a definition, less
    // links that land on a page no such link names.
    std::vector<std::pair<std::int64_t, std::int64_t>> candidates(votes.begin(), votes.end());
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    constexpr std::size_t kMostCandidates = 32;
    if (candidates.size() > kMostCandidates) candidates.resize(kMostCandidates);
    std::unordered_map<std::int64_t, std::uint8_t> typeAt;
    for (const Slot& slot : slots) typeAt.emplace(slot.index, slot.type);
    auto landing = [&](std::int64_t link, std::int64_t shift) {
        auto found = typeAt.find(link - shift);
        if (found == typeAt.end()) return 0;  // outside the file or no page there: says nothing
        switch (found->second) {
            case 0x02: return 1;
            // Data, index and usage-map pages are never what a row's owner or
            // a definition's continuation names; the other types are seen
            // there in intact files.
            case 0x01:
            case 0x03:
            case 0x04:
            case 0x05: return -1;
            default: return 0;
        }
    };

    std::int64_t best = 0;
    std::int64_t bestScore = 0;
    std::int64_t bestShift = 0;
    // No page found may come before page 0.
    const std::int64_t firstSlot = slots.empty() ? 0 : slots.front().index;
    for (const auto& [shift, count] : candidates) {
        if (count < 2 || shift + firstSlot < 0) continue;
        std::int64_t score = 0;
        for (const auto& entry : byCount) score += landing(entry.first, shift);
        for (std::int32_t link : continuations) score += landing(link, shift);
        // Ties go to more agreeing links, then to the smaller loss at the head,
        // then to the lower number.
        const bool better =
            best == 0 || score > bestScore ||
            (score == bestScore &&
             (count > best || (count == best && std::llabs(shift) < std::llabs(bestShift)) ||
              (count == best && std::llabs(shift) == std::llabs(bestShift) && shift < bestShift)));
        if (better) {
            best = count;
            bestScore = score;
            bestShift = shift;
        }
    }
    if (best < 2 || bestScore < 1) return 0;
    *first = static_cast<std::int32_t>(bestShift);
    return best;
}

}  // namespace

bool LooksLikePageStart(const std::uint8_t* start) { return PlausiblePageStart(start); }

PageGrid FindPageGrid(const DatabaseFile& file, const RunControl& run) {
    PageGrid grid;
    if (!file.IsOpen() || file.Size() < kStartBytes) return grid;
    std::array<std::int64_t, kGrid> votes{};
    if (!CountStarts(file, run, votes)) return grid;

    std::int64_t phase = 0;
    for (std::int64_t p = 1; p < kGrid; ++p)
        if (votes[static_cast<std::size_t>(p)] > votes[static_cast<std::size_t>(phase)]) phase = p;
    std::int64_t second = 0;
    for (std::int64_t p = 0; p < kGrid; ++p)
        if (p != phase) second = std::max(second, votes[static_cast<std::size_t>(p)]);
    const std::int64_t best = votes[static_cast<std::size_t>(phase)];
    const std::int64_t half = votes[static_cast<std::size_t>((phase + kGrid / 2) % kGrid)];
    grid.phase = phase;
    grid.pagesWithSignature = best;
    if (best >= 4 && half * 2 >= best) {
        // Pages at every 2048 bytes: no Jet 4 grid to number.
        grid.found = true;
        grid.halfPageGrid = true;
        return grid;
    }
    // Random bytes make a page start now and then at any position; a grid is
    // where they pile up far above every other position.
    if (best < 2 || best < 2 * (second + 1)) return grid;
    grid.found = true;

    std::int64_t slotCount = 0;
    const std::vector<Slot> slots = ReadSlots(file, phase, &slotCount);
    std::int32_t first = phase > 0 ? 1 : 0;
    std::int32_t fromLinks = first;
    grid.agreeingLinks = NumberFromLinks(slots, &fromLinks, &grid.highestLinkedPage);
    if (NumberFromSystemPages(slots, &first)) {
        grid.numbering = GridNumbering::PageOne;
    } else if (NumberFromSystemDefinitions(slots, &first)) {
        // Links can agree on a wrong numbering where definitions come at a
        // steady stride; a system definition cannot be elsewhere.
        grid.numbering = GridNumbering::SystemDefinitions;
    } else if (grid.agreeingLinks > 0) {
        first = fromLinks;
        grid.numbering = GridNumbering::Links;
    }
    grid.firstPageNumber = first;
    return grid;
}

}  // namespace pw
