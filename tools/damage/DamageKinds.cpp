#include "tools/damage/DamageKinds.h"

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>

namespace pw::damage {
namespace {

constexpr std::size_t kPage = 4096;
constexpr std::uint8_t kDataPageType = 1;
constexpr std::uint8_t kDefinitionPageType = 2;
constexpr std::uint8_t kUsageMapPageType = 5;
constexpr std::size_t kDataOwnerOffset = 4;
constexpr std::size_t kDataRowCountOffset = 12;
constexpr std::size_t kDataSlotTableOffset = 14;
constexpr std::int32_t kCatalogDefinitionPage = 2;

using Bytes = std::vector<std::uint8_t>;
using Random = std::mt19937_64;

std::size_t PageCount(const Bytes& bytes) { return bytes.size() / kPage; }

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t Le16(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool IsDataPage(const Bytes& bytes, std::size_t page) { return bytes[page * kPage] == kDataPageType; }

void ZeroPage(Bytes& bytes, std::size_t page) {
    const std::size_t begin = page * kPage;
    if (begin >= bytes.size()) return;
    std::fill(bytes.begin() + begin, bytes.begin() + std::min(bytes.size(), begin + kPage), 0);
}

void RandomPage(Bytes& bytes, std::size_t page, Random& random) {
    const std::size_t end = std::min(bytes.size(), (page + 1) * kPage);
    for (std::size_t i = page * kPage; i < end; ++i) bytes[i] = static_cast<std::uint8_t>(random());
}

std::size_t Below(Random& random, std::size_t bound) { return bound == 0 ? 0 : random() % bound; }

// A share of the pages, drawn without repeats; at least one page.
std::vector<std::size_t> PickPages(std::size_t pages, double share, Random& random) {
    std::vector<std::size_t> all(pages);
    for (std::size_t i = 0; i < pages; ++i) all[i] = i;
    for (std::size_t i = pages; i > 1; --i) std::swap(all[i - 1], all[Below(random, i)]);
    const std::size_t wanted = std::clamp<std::size_t>(static_cast<std::size_t>(pages * share + 0.5), 1, pages);
    all.resize(wanted);
    return all;
}

void CutStart(Bytes& bytes, std::size_t n) { bytes.erase(bytes.begin(), bytes.begin() + std::min(n, bytes.size())); }

void PrependJunk(Bytes& bytes, std::size_t n, Random& random) {
    Bytes junk(n);
    for (std::uint8_t& b : junk) b = static_cast<std::uint8_t>(random());
    bytes.insert(bytes.begin(), junk.begin(), junk.end());
}

void CutTail(Bytes& bytes, double share) {
    bytes.resize(bytes.size() - static_cast<std::size_t>(bytes.size() * share));
}

// Flips one random bit in `perMiB` random bytes per MiB (at least one).
void FlipBits(Bytes& bytes, double perMiB, Random& random) {
    const auto flips = std::max<std::size_t>(1, static_cast<std::size_t>(bytes.size() * perMiB / (1 << 20) + 0.5));
    for (std::size_t i = 0; i < flips && !bytes.empty(); ++i)
        bytes[Below(random, bytes.size())] ^= static_cast<std::uint8_t>(1u << Below(random, 8));
}

void ZeroCatalogData(Bytes& bytes) {
    for (std::size_t page = 0; page < PageCount(bytes); ++page)
        if (IsDataPage(bytes, page) && Le32(bytes, page * kPage + kDataOwnerOffset) == kCatalogDefinitionPage)
            ZeroPage(bytes, page);
}

// Usage maps live on pages of their own (type 5) and as rows of data pages
// that each table definition points to (its used-page and free-page maps at
// bytes 55 and 59: a row byte and a three-byte page number). Both go.
void ZeroUsageMaps(Bytes& bytes) {
    const std::size_t pages = PageCount(bytes);
    std::set<std::size_t> continuations;
    for (std::size_t page = 0; page < pages; ++page)
        if (bytes[page * kPage] == kDefinitionPageType) continuations.insert(Le32(bytes, page * kPage + 4));
    std::set<std::size_t> doomed;
    for (std::size_t page = 0; page < pages; ++page) {
        const std::size_t base = page * kPage;
        if (bytes[base] == kUsageMapPageType) doomed.insert(page);
        if (bytes[base] != kDefinitionPageType || continuations.count(page) != 0) continue;
        for (std::size_t at : {base + 55, base + 59}) {
            const std::size_t target = Le32(bytes, at) >> 8;
            if (target > 0 && target < pages && IsDataPage(bytes, target)) doomed.insert(target);
        }
    }
    for (std::size_t page : doomed) ZeroPage(bytes, page);
}

// Random bytes over a tenth of the slot entries of the data pages: rows then
// point anywhere in (or outside) their page, or overlap.
void SlotNoise(Bytes& bytes, Random& random) {
    for (std::size_t page = 0; page < PageCount(bytes); ++page) {
        if (!IsDataPage(bytes, page)) continue;
        const std::size_t base = page * kPage;
        const std::size_t slots = std::min<std::size_t>(Le16(bytes, base + kDataRowCountOffset),
                                                        (kPage - kDataSlotTableOffset) / 2);
        for (std::size_t s = 0; s < slots; ++s) {
            if (Below(random, 10) != 0) continue;
            const std::size_t at = base + kDataSlotTableOffset + 2 * s;
            bytes[at] = static_cast<std::uint8_t>(random());
            bytes[at + 1] = static_cast<std::uint8_t>(random());
        }
    }
}

using Mutation = std::function<void(Bytes&, Random&, const DamageTarget&)>;

struct KindEntry {
    DamageKind kind;
    Mutation apply;
};

const std::vector<KindEntry>& Entries() {
    static const std::vector<KindEntry> entries = [] {
        std::vector<KindEntry> e;
        auto add = [&e](std::string name, std::string description, bool seeded, Mutation apply) {
            e.push_back({{std::move(name), std::move(description), seeded}, std::move(apply)});
        };
        add("intact", "the file as it is (control)", false, [](Bytes&, Random&, const DamageTarget&) {});
        for (std::size_t n : {1000, 3096, 4096, 4608, 8292, 20000})
            add("cut-start-" + std::to_string(n), "the first " + std::to_string(n) + " bytes cut off", false,
                [n](Bytes& b, Random&, const DamageTarget&) { CutStart(b, n); });
        for (std::size_t n : {512, 4096, 9000})
            add("junk-start-" + std::to_string(n), std::to_string(n) + " random bytes put before the file", true,
                [n](Bytes& b, Random& r, const DamageTarget&) { PrependJunk(b, n, r); });
        add("zero-header", "page 0 (the header) zeroed", false,
            [](Bytes& b, Random&, const DamageTarget&) { ZeroPage(b, 0); });
        add("zero-page1", "page 1 zeroed", false, [](Bytes& b, Random&, const DamageTarget&) { ZeroPage(b, 1); });
        add("zero-catalog-definition", "page 2 (the catalog's definition) zeroed", false,
            [](Bytes& b, Random&, const DamageTarget&) { ZeroPage(b, kCatalogDefinitionPage); });
        add("zero-catalog-data", "every data page the catalog owns zeroed", false,
            [](Bytes& b, Random&, const DamageTarget&) { ZeroCatalogData(b); });
        for (int percent : {1, 5, 20})
            add("zero-pages-" + std::to_string(percent) + "pct", std::to_string(percent) + "% of the pages zeroed",
                true, [percent](Bytes& b, Random& r, const DamageTarget&) {
                    for (std::size_t page : PickPages(PageCount(b), percent / 100.0, r)) ZeroPage(b, page);
                });
        for (int rate : {10, 100, 1000})
            add("flip-" + std::to_string(rate) + "-per-mib", std::to_string(rate) + " bit flips per MiB", true,
                [rate](Bytes& b, Random& r, const DamageTarget&) { FlipBits(b, rate, r); });
        for (int percent : {5, 25})
            add("cut-tail-" + std::to_string(percent) + "pct", "the last " + std::to_string(percent) + "% cut off",
                false, [percent](Bytes& b, Random&, const DamageTarget&) { CutTail(b, percent / 100.0); });
        add("random-pages-5pct", "5% of the pages overwritten with random bytes", true,
            [](Bytes& b, Random& r, const DamageTarget&) {
                for (std::size_t page : PickPages(PageCount(b), 0.05, r)) RandomPage(b, page, r);
            });
        add("zero-usage-maps", "usage-map pages (type 5) and the data pages holding the tables' usage-map rows zeroed", false,
            [](Bytes& b, Random&, const DamageTarget&) { ZeroUsageMaps(b); });
        add("slot-noise", "random bytes over a tenth of the slot entries of the data pages", true,
            [](Bytes& b, Random& r, const DamageTarget&) { SlotNoise(b, r); });
        add("zero-one-definition", "the definition page of one user table zeroed", true,
            [](Bytes& b, Random&, const DamageTarget& t) {
                if (t.userTableDefinition >= 0) ZeroPage(b, static_cast<std::size_t>(t.userTableDefinition));
            });
        return e;
    }();
    return entries;
}

}  // namespace

const std::vector<DamageKind>& AllDamageKinds() {
    static const std::vector<DamageKind> kinds = [] {
        std::vector<DamageKind> k;
        for (const KindEntry& e : Entries()) k.push_back(e.kind);
        return k;
    }();
    return kinds;
}

const DamageKind* FindDamageKind(const std::string& name) {
    for (const DamageKind& kind : AllDamageKinds())
        if (kind.name == name) return &kind;
    return nullptr;
}

std::uint64_t MixSeed(std::uint64_t seed, const std::string& kind, const std::string& file) {
    // FNV-1a over the three: stable across runs and builds, unlike std::hash.
    std::uint64_t h = 1469598103934665603ull ^ seed;
    auto mix = [&h](const std::string& text) {
        for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    mix(kind);
    mix(file);
    return h;
}

bool ApplyDamage(const std::string& kind, Bytes& bytes, std::uint64_t seed, const DamageTarget& target) {
    for (const KindEntry& e : Entries()) {
        if (e.kind.name != kind) continue;
        Random random(seed);
        e.apply(bytes, random, target);
        return true;
    }
    return false;
}

}  // namespace pw::damage
