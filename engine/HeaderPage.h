#pragma once

#include <cstdint>
#include <string>

#include "engine/StoredBytes.h"

namespace pw {

// What the engine's Create reads from its locale string
// (";LANGID=0x0409;CP=1252;COUNTRY=0"). Missing or unreadable parts keep
// their defaults.
struct DatabaseLocale {
    std::uint16_t languageId = 0x0409;
    std::uint16_t codePage = 1252;
};
DatabaseLocale ParseLocale(const std::string& locale);

// Page 0 of a Jet 4 database: the format title, version 1 (Access 2000 to
// 2003), and the masked area holding the code page, the database key (0: the
// pages are stored plain), an empty password, the sort order and the
// creation date (days since 1899-12-30).
StoredBytes BuildHeaderPage(const DatabaseLocale& locale, double creationDate);

}  // namespace pw
