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
    // An expression column (Access 2010 on): each row keeps the computed
    // value in a wrapper (see records/CalculatedValue.h).
    bool calculated = false;
    // The definition held no name for it (its name was made up).
    bool nameLost = false;
};

// Where a table's name came from, so that a damage report can say how far a
// name may be trusted.
enum class NameSource {
    Catalog,          // a catalog row (MSysObjects) names the definition page
    NavigationPane,   // a row of the navigation-pane table names it (catalog lost)
    CatalogIndex,     // a Name key of the catalog's index names it (catalog rows lost)
    Generated,        // nothing named it: "Recovered Table NN"
    SystemSignature,  // its column set is that of one of Access's own tables
    SystemPage,       // definition lost; its page is where Access keeps one of its own tables
    SystemRows,       // definition lost; its rows are those of one of Access's own tables
};

// Stable machine names: "catalog", "navigation-pane", "catalog-index",
// "generated", "system-signature", "system-page", "system-rows".
constexpr const char* NameSourceName(NameSource source) {
    switch (source) {
        case NameSource::Catalog: return "catalog";
        case NameSource::NavigationPane: return "navigation-pane";
        case NameSource::CatalogIndex: return "catalog-index";
        case NameSource::Generated: return "generated";
        case NameSource::SystemSignature: return "system-signature";
        case NameSource::SystemPage: return "system-page";
        case NameSource::SystemRows: return "system-rows";
    }
    return "unknown";
}

// What the table's usage map said about its data pages.
enum class UsageMapState {
    NotRead,       // no definition to read it from (columns inferred), or not looked at
    Listed,        // readable and consistent: only the pages it lists hold the table's rows
    Unreadable,    // the map row or one of its pages cannot be read
    Inconsistent,  // it lists a page outside the file, not a data page, or owned by another table
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
    NameSource nameSource = NameSource::Catalog;
    // True when the definition was lost and the columns were inferred from
    // the rows themselves (see schema/InferredColumns.h).
    bool columnsInferred = false;
    // Further pages of the definition, in chain order.
    std::vector<std::int32_t> continuationPages;
    // A lost definition's pages that outlived it (or old copies of them), and
    // the names of its last columns read there, in stored order: told beside the inferred
    // columns, not put on them (see schema/SurvivingDefinitionPages.h).
    std::vector<std::int32_t> survivingDefinitionPages;
    std::vector<std::string> survivingColumnNames;
    std::vector<std::int32_t> dataPages;
    // Pages the table owns that its usage map no longer lists (released by
    // Access): their rows are the file's history, walked only on request.
    std::vector<std::int32_t> stalePages;
    // Pages the usage map lists that hold no page of the table any more
    // (wiped, cut off, overwritten): the rows they held are lost.
    std::vector<std::int32_t> lostPages;
    UsageMapState usageMap = UsageMapState::NotRead;
    std::vector<ColumnInfo> columns;
};

}  // namespace pw
