#include "engine/HeaderPage.h"

#include <cstring>
#include <string_view>

#include "engine/OutputFile.h"
#include "pagestore/PageCipher.h"

namespace pw {
namespace {

constexpr std::size_t kTitleOffset = 4;
constexpr std::string_view kTitle{"Standard Jet DB\0", 16};
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kSortOrderOffset = 0x6E;
constexpr std::size_t kCreationDateOffset = 0x72;

std::uint16_t NumberAfter(const std::string& text, const std::string& key, std::uint16_t fallback) {
    const auto at = text.find(key);
    if (at == std::string::npos) return fallback;
    try {
        const unsigned long v = std::stoul(text.substr(at + key.size()), nullptr, 0);
        return v <= 0xFFFF ? static_cast<std::uint16_t>(v) : fallback;
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace

DatabaseLocale ParseLocale(const std::string& locale) {
    DatabaseLocale l;
    l.languageId = NumberAfter(locale, "LANGID=", l.languageId);
    l.codePage = NumberAfter(locale, "CP=", l.codePage);
    return l;
}

StoredBytes BuildHeaderPage(const DatabaseLocale& locale, double creationDate) {
    StoredBytes page(kEnginePageSize, 0);
    page[1] = 0x01;
    std::copy(kTitle.begin(), kTitle.end(), page.begin() + kTitleOffset);
    page[kHeaderVersionOffset] = kJet4Version;
    // Access writes these words at the start of the masked area in every
    // Jet 4 file.
    const std::uint32_t lead[] = {0x100, 0x101, 2, 3, 4, 5};
    for (std::size_t i = 0; i < 6; ++i) PutU32(page, kHeaderMaskOffset + 4 * i, lead[i]);
    PutU16(page, kCodePageOffset, locale.codePage);
    PutU32(page, kDatabaseKeyOffset, 0);
    PutU16(page, kSortOrderOffset, locale.languageId);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &creationDate, sizeof bits);
    PutU32(page, kCreationDateOffset, static_cast<std::uint32_t>(bits));
    PutU32(page, kCreationDateOffset + 4, static_cast<std::uint32_t>(bits >> 32));
    ToggleHeaderMask(page.data(), page.size());
    return page;
}

}  // namespace pw
