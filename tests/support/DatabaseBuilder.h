#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RowEncoder.h"
#include "tests/support/ValueEncoding.h"

namespace pw::testing {

inline constexpr std::int32_t kBuilderPageSize = 4096;

// How a table appears in the catalog.
enum class CatalogEntryKind { Normal, Omitted, Deleted };

struct TableOptions {
    CatalogEntryKind catalog = CatalogEntryKind::Normal;
    int catalogType = 1;                     // object type of the catalog row
    std::optional<std::string> catalogName;  // default: the table's name
    int tableType = 0x4E;                    // byte 40 of the definition
    int realIndexCount = 0;                  // zeroed 12-byte entries before the column records
    std::optional<int> maxColumns;           // default: max(column count, highest column number + 1)
    std::optional<std::int32_t> rowCount;    // default: the rows added and not deleted
    // The definition takes at least this many pages; missing content is
    // zero padding at its end.
    int minDefinitionPages = 1;
    // Page numbers for the definition, first page first: the definition
    // takes all of them (padded as above), and more are allocated if it
    // needs them. Pages 0 to 5 cannot be given.
    std::vector<std::int32_t> definitionPages;
    // Next-page link of the last definition page. 0 ends the chain; the
    // table's own first page makes a loop.
    std::int32_t lastDefinitionLink = 0;
};

struct RowOptions {
    bool deleted = false;                  // slot flag 0x4000
    bool lookup = false;                   // slot flag 0x8000
    bool newPage = false;                  // start a new data page for this row
    std::optional<int> storedColumnCount;  // see EncodeRow
};

// One catalog row beyond those AddTable writes.
struct CatalogEntry {
    std::int32_t id = 0;  // for a table: its first definition page
    int type = 1;         // 1 table, 5 query, 6 linked table, ...
    std::string name;
    bool deleted = false;
    std::int32_t flags = 0;
};

enum class LongValueForm {
    Inline,     // flag 0x80: the data follows the 12-byte header in the row
    SingleRow,  // flag 0x40: the data is one row of a long-value page
    Chain,      // flag 0x00: rows of long-value pages, each led by a pointer to the next
};

enum class TextStorage { Ucs2, Compressed };

struct LongValueOptions {
    LongValueForm form = LongValueForm::Inline;
    // Chain form: data bytes per row (rounded up to an even count).
    std::size_t pieceSize = 2000;
    // Put every long-value row on a fresh long-value page.
    bool pagePerRow = false;
};

// Assembles a Jet 4 database file page by page.
//
// A new builder already holds page 0 (file header), page 1 (an empty data
// page owned by page 3), the system table definitions on pages 2 to 5 with
// the signature words at offset 2 (page 2 is the catalog "MSysObjects"; 3 to
// 5 are "MSysACEs", "MSysQueries" and "MSysRelationships"), and catalog rows
// naming those four on the first catalog data page (page 6).
//
// Pages are numbered as things are added, so every page number is known as
// soon as the call that allocated it returns: definition pages at AddTable,
// data pages at AddRow, long-value pages at Memo/LongBinary. Build()
// renders the file; pages never allocated are zero.
//
// Misuse (a page number given twice, a system page requested, a row longer
// than a page) throws std::logic_error: it is a fault in the test.
class DatabaseBuilder {
public:
    // Tables are numbered in the order they were added; 0 to 3 are the
    // system tables of pages 2 to 5, 0 being the catalog.
    using TableId = int;
    static constexpr TableId kCatalogTable = 0;

    DatabaseBuilder();

    // A user table (type 0x4E unless options say otherwise) and, unless
    // omitted, its catalog row (Id = first definition page, Type 1).
    TableId AddTable(const std::string& name, const std::vector<ColumnSpec>& columns,
                     TableOptions options = {});

    // A row on the table's current data page, or on a new one when it does
    // not fit or options.newPage is set. Cells in definition order.
    void AddRow(TableId table, const std::vector<Cell>& cells, RowOptions options = {});
    // Exactly these bytes as the row.
    void AddRawRow(TableId table, const Bytes& row, RowOptions options = {});

    void AddCatalogRow(const CatalogEntry& entry);

    // The stored value of a MEMO or OLE column: the 12-byte header (3-byte
    // total length, flag byte, row byte, 3-byte page, 4 zero bytes) and, for
    // the inline form, the data. The other forms place their rows on
    // long-value pages now (rows are padded to an even length).
    Cell Memo(const std::string& utf8, TextStorage storage, LongValueOptions options = {});
    Cell LongBinary(const Bytes& data, LongValueOptions options = {});

    // The whole file: PageCount() pages of 4096 bytes.
    std::vector<std::uint8_t> Build() const;

    std::int32_t PageCount() const { return static_cast<std::int32_t>(pages_.size()); }
    std::int32_t DefinitionPage(TableId table) const;
    const std::vector<std::int32_t>& DefinitionPages(TableId table) const;
    const std::vector<std::int32_t>& DataPages(TableId table) const;
    const std::vector<std::int32_t>& CatalogPages() const { return DataPages(kCatalogTable); }
    const std::vector<std::int32_t>& LongValuePages() const { return longValuePages_; }
    const TableLayout& Layout(TableId table) const;

private:
    struct StoredRow {
        Bytes bytes;
        std::uint16_t flags = 0;
    };
    struct DataPage {
        std::int32_t link = 0;
        std::vector<StoredRow> rows;
        std::size_t used = 0;  // row bytes
    };
    struct Table {
        std::string name;
        TableLayout layout;
        TableOptions options;
        Bytes definition;  // without row count and page headers
        std::vector<std::int32_t> definitionPages;
        std::vector<std::int32_t> dataPages;
        std::int32_t liveRows = 0;
        std::optional<std::uint16_t> signatureWord;
    };
    enum class PageKind { Free, Header, Definition, Data };
    struct Page {
        PageKind kind = PageKind::Free;
        int table = -1;  // Definition
        int piece = 0;   // Definition: position in the chain
        int data = -1;   // Data: index into dataPages_
    };
    struct RowPlace {
        std::int32_t page = 0;
        int row = 0;
    };

    TableId AddTableAt(const std::string& name, const std::vector<ColumnSpec>& columns, TableOptions options,
                       std::optional<std::int32_t> page, std::optional<std::uint16_t> signatureWord);
    void AddCatalogRowFor(TableId table);
    std::int32_t AllocatePage();
    void Claim(std::int32_t page, Page what);
    std::int32_t NewDataPage(std::int32_t link);
    RowPlace PlaceRow(std::int32_t& currentPage, std::int32_t link, const Bytes& row, std::uint16_t flags,
                      bool newPage, std::vector<std::int32_t>* pageList);
    Cell LongValue(const Bytes& data, LongValueOptions options);
    std::vector<std::uint8_t> RenderDefinition(const Table& table, int piece) const;
    std::vector<std::uint8_t> RenderDataPage(const DataPage& page) const;

    std::vector<Page> pages_;
    std::vector<Table> tables_;
    std::vector<DataPage> dataPages_;
    std::vector<std::int32_t> currentDataPage_;  // per table, -1 none
    std::vector<std::int32_t> longValuePages_;
    std::int32_t currentLongValuePage_ = -1;
    std::int32_t nextFree_ = 0;
};

}  // namespace pw::testing
