#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pw {

inline constexpr std::size_t kColumnNameFieldSize = 260;  // 259 characters and a terminating zero

struct ColumnInfo {
    // Cleaned name (see TableDefinitionParser); at most 259 bytes.
    std::string name;
    std::int32_t typeCode = -1;
    std::int32_t length = 0;
    std::int32_t columnNumber = -1;
    std::int32_t columnIndex = -1;
    std::uint8_t isFixed = 0;
    std::int32_t fixedOffset = -1;
    std::int32_t varIndex = -1;
    std::int32_t precision = 0;
    std::int32_t scale = 0;
};

// A recovered table as its definition describes it. Once the analysis has
// published it, nothing changes it: every walk over its rows keeps its own
// cursor, and every export its own results, so any number of them may run at
// once.
struct TableInfo {
    std::int32_t tdefPage = 0;
    std::int32_t tableType = -1;
    std::int32_t maxColumns = 0;
    std::int32_t columnCount = 0;
    std::int32_t varColumnCount = 0;
    // The row count the definition states (damaged files often state too few).
    std::int32_t rowCount = 0;
    std::int64_t tdefOffset = -1;
    std::string name;
    // True when no catalog row named the table and the name was generated.
    bool generatedName = false;
    // Further pages of the definition, in chain order.
    std::vector<std::int32_t> continuationPages;
    std::vector<std::int32_t> dataPages;
    std::vector<ColumnInfo> columns;
};

}  // namespace pw
