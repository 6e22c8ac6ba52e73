#include "tests/support/DatabaseBuilder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pw::testing {
namespace {

constexpr std::size_t kPage = kBuilderPageSize;
constexpr std::size_t kDataHeader = 14;               // row slots begin here
constexpr std::size_t kContinuationHeader = 8;        // type, 1, free space, next link
constexpr std::uint32_t kLongValueLink = 0x4C41564C;  // "LVAL"
constexpr std::uint16_t kDeletedFlag = 0x4000;
constexpr std::uint16_t kLookupFlag = 0x8000;
constexpr int kSystemTableType = 0x53;
constexpr std::int32_t kSystemObjectFlags = static_cast<std::int32_t>(0x80000002u);
constexpr double kCatalogDate = 45292.5;  // 2024-01-01 12:00

struct SystemTable {
    const char* name;
    std::uint16_t signatureWord;
    std::vector<ColumnSpec> columns;
};

std::vector<ColumnSpec> CatalogColumns() {
    // Name is the first variable column and the fixed area is 30 bytes, so a
    // name starts at row offset 32; 17 columns give a 3-byte null mask.
    return {Column("Id", type::kLong),
            Column("ParentId", type::kLong),
            Column("Name", type::kText, 510),
            Column("Owner", type::kBinary),
            Column("Type", type::kInt),
            Column("DateCreate", type::kDate),
            Column("DateUpdate", type::kDate),
            Column("Flags", type::kLong),
            Column("ForeignName", type::kText, 510),
            Column("Database", type::kMemo),
            Column("Connect", type::kMemo),
            Column("RmtInfoShort", type::kBinary),
            Column("RmtInfoLong", type::kOle),
            Column("Lv", type::kOle),
            Column("LvProp", type::kOle),
            Column("LvModule", type::kOle),
            Column("LvExtra", type::kOle)};
}

std::vector<SystemTable> SystemTables() {
    return {
        {"MSysObjects", 0x0BDE, CatalogColumns()},
        {"MSysACEs",
         0x0EA9,
         {Column("ACM", type::kLong), Column("FInheritable", type::kBit), Column("ObjectId", type::kLong),
          Column("SID", type::kBinary)}},
        {"MSysQueries",
         0x0DEB,
         {Column("Attribute", type::kByte), Column("Expression", type::kMemo), Column("Flag", type::kInt),
          Column("Name1", type::kMemo), Column("Name2", type::kMemo), Column("ObjectId", type::kLong),
          Column("Order", type::kBinary)}},
        {"MSysRelationships",
         0x0CCB,
         {Column("ccolumn", type::kLong), Column("grbit", type::kLong), Column("icolumn", type::kLong),
          Column("szColumn", type::kText, 510), Column("szObject", type::kText, 510),
          Column("szReferencedColumn", type::kText, 510), Column("szReferencedObject", type::kText, 510),
          Column("szRelationship", type::kText, 510)}},
    };
}

// The definition as one byte stream: header, real-index entries, column
// records, names. Row count and page headers are written when rendering.
Bytes EncodeDefinition(const TableLayout& layout, const TableOptions& options) {
    const auto columnCount = static_cast<std::uint32_t>(layout.columns.size());
    const int maxColumns =
        options.maxColumns.value_or(std::max(static_cast<int>(columnCount), layout.maxColumnNumber + 1));
    Bytes d(63, 0);
    d[40] = static_cast<std::uint8_t>(options.tableType);
    PutU16(d, 41, static_cast<std::uint32_t>(maxColumns));
    PutU16(d, 43, static_cast<std::uint32_t>(layout.variableCount));
    PutU16(d, 45, columnCount);
    PutU32(d, 47, 0);
    PutU32(d, 51, static_cast<std::uint32_t>(options.realIndexCount));
    d.resize(d.size() + 12 * static_cast<std::size_t>(std::max(options.realIndexCount, 0)), 0);
    for (const ColumnLayout& c : layout.columns) {
        const std::size_t at = d.size();
        d.resize(at + 25, 0);
        d[at] = static_cast<std::uint8_t>(c.declared.typeCode);
        PutU16(d, at + 5, static_cast<std::uint32_t>(c.columnNumber));
        PutU16(d, at + 7, static_cast<std::uint32_t>(c.varIndex));
        PutU16(d, at + 9, static_cast<std::uint32_t>(c.columnIndex));
        if (c.declared.typeCode == type::kNumeric) {
            d[at + 11] = static_cast<std::uint8_t>(c.declared.precision);
            d[at + 12] = static_cast<std::uint8_t>(c.declared.scale);
        }
        d[at + 15] = c.flags;
        PutU16(d, at + 21, static_cast<std::uint32_t>(c.fixedOffset));
        PutU16(d, at + 23, static_cast<std::uint32_t>(c.length));
    }
    for (const ColumnLayout& c : layout.columns) {
        const Bytes name = Ucs2(c.declared.name);
        AppendU16(d, static_cast<std::uint32_t>(name.size()));
        d.insert(d.end(), name.begin(), name.end());
    }
    return d;
}

std::size_t PagesFor(std::size_t definitionSize) {
    if (definitionSize <= kPage) return 1;
    const std::size_t rest = definitionSize - kPage;
    const std::size_t perPage = kPage - kContinuationHeader;
    return 1 + (rest + perPage - 1) / perPage;
}

void PadToEven(Bytes& bytes) {
    if (bytes.size() % 2 != 0) bytes.push_back(0);
}

}  // namespace

DatabaseBuilder::DatabaseBuilder() {
    Claim(0, Page{PageKind::Header});
    dataPages_.push_back(DataPage{3, {}, 0});
    Claim(1, Page{PageKind::Data, -1, 0, 0});

    std::int32_t page = 2;
    for (const SystemTable& system : SystemTables()) {
        TableOptions options;
        options.tableType = kSystemTableType;
        options.catalog = CatalogEntryKind::Omitted;
        AddTableAt(system.name, system.columns, options, page++, system.signatureWord);
    }
    for (TableId t = 0; t < static_cast<TableId>(tables_.size()); ++t) {
        AddCatalogRow(CatalogEntry{DefinitionPage(t), 1, tables_[static_cast<std::size_t>(t)].name, false,
                                   kSystemObjectFlags});
    }
}

void DatabaseBuilder::Claim(std::int32_t page, Page what) {
    if (page < 0) throw std::logic_error("negative page number");
    const auto index = static_cast<std::size_t>(page);
    if (index >= pages_.size()) pages_.resize(index + 1);
    if (pages_[index].kind != PageKind::Free) {
        throw std::logic_error("page " + std::to_string(page) + " is already in use");
    }
    pages_[index] = what;
}

std::int32_t DatabaseBuilder::AllocatePage() {
    while (static_cast<std::size_t>(nextFree_) < pages_.size() &&
           pages_[static_cast<std::size_t>(nextFree_)].kind != PageKind::Free) {
        ++nextFree_;
    }
    return nextFree_;
}

DatabaseBuilder::TableId DatabaseBuilder::AddTable(const std::string& name,
                                                   const std::vector<ColumnSpec>& columns,
                                                   TableOptions options) {
    for (std::int32_t page : options.definitionPages) {
        if (page >= 0 && page <= 5)
            throw std::logic_error("pages 0 to 5 belong to the file header and system tables");
    }
    return AddTableAt(name, columns, std::move(options), std::nullopt, std::nullopt);
}

DatabaseBuilder::TableId DatabaseBuilder::AddTableAt(const std::string& name,
                                                     const std::vector<ColumnSpec>& columns,
                                                     TableOptions options, std::optional<std::int32_t> page,
                                                     std::optional<std::uint16_t> signatureWord) {
    const auto id = static_cast<TableId>(tables_.size());
    Table table;
    table.name = name;
    table.layout = LayoutColumns(columns);
    table.options = std::move(options);
    table.definition = EncodeDefinition(table.layout, table.options);
    table.signatureWord = signatureWord;

    std::vector<std::int32_t> wanted = table.options.definitionPages;
    if (page) wanted.insert(wanted.begin(), *page);
    const std::size_t count =
        std::max({PagesFor(table.definition.size()), wanted.size(),
                  static_cast<std::size_t>(std::max(table.options.minDefinitionPages, 1))});
    if (signatureWord && count > 1) throw std::logic_error("a system table definition must fit one page");
    for (std::size_t piece = 0; piece < count; ++piece) {
        const std::int32_t number = piece < wanted.size() ? wanted[piece] : AllocatePage();
        Claim(number, Page{PageKind::Definition, id, static_cast<int>(piece), -1});
        table.definitionPages.push_back(number);
    }
    tables_.push_back(std::move(table));
    currentDataPage_.push_back(-1);
    if (tables_.back().options.catalog != CatalogEntryKind::Omitted) AddCatalogRowFor(id);
    return id;
}

void DatabaseBuilder::AddCatalogRowFor(TableId id) {
    const Table& table = tables_[static_cast<std::size_t>(id)];
    CatalogEntry entry;
    entry.id = table.definitionPages.front();
    entry.type = table.options.catalogType;
    entry.name = table.options.catalogName.value_or(table.name);
    entry.deleted = table.options.catalog == CatalogEntryKind::Deleted;
    AddCatalogRow(entry);
}

void DatabaseBuilder::AddCatalogRow(const CatalogEntry& entry) {
    std::vector<Cell> cells(tables_[kCatalogTable].layout.columns.size());
    cells[0] = Long(entry.id);
    cells[1] = Long(0);
    cells[2] = Text(entry.name);
    cells[4] = Int(static_cast<std::int16_t>(entry.type));
    cells[5] = Date(kCatalogDate);
    cells[6] = Date(kCatalogDate);
    cells[7] = Long(entry.flags);
    RowOptions options;
    options.deleted = entry.deleted;
    AddRow(kCatalogTable, cells, options);
}

std::int32_t DatabaseBuilder::NewDataPage(std::int32_t link) {
    const std::int32_t number = AllocatePage();
    dataPages_.push_back(DataPage{link, {}, 0});
    Claim(number, Page{PageKind::Data, -1, 0, static_cast<int>(dataPages_.size() - 1)});
    return number;
}

DatabaseBuilder::RowPlace DatabaseBuilder::PlaceRow(std::int32_t& currentPage, std::int32_t link,
                                                    const Bytes& row, std::uint16_t flags, bool newPage,
                                                    std::vector<std::int32_t>* pageList) {
    if (row.empty() || kDataHeader + 2 + row.size() > kPage) {
        throw std::logic_error("a row must hold 1 to " + std::to_string(kPage - kDataHeader - 2) + " bytes");
    }
    const auto fits = [&](const DataPage& p) {
        return kDataHeader + 2 * (p.rows.size() + 1) + p.used + row.size() <= kPage;
    };
    if (currentPage < 0 || newPage ||
        !fits(dataPages_[static_cast<std::size_t>(pages_[static_cast<std::size_t>(currentPage)].data)])) {
        currentPage = NewDataPage(link);
        if (pageList != nullptr) pageList->push_back(currentPage);
    }
    DataPage& page = dataPages_[static_cast<std::size_t>(pages_[static_cast<std::size_t>(currentPage)].data)];
    page.rows.push_back(StoredRow{row, flags});
    page.used += row.size();
    return RowPlace{currentPage, static_cast<int>(page.rows.size() - 1)};
}

void DatabaseBuilder::AddRow(TableId table, const std::vector<Cell>& cells, RowOptions options) {
    AddRawRow(table, EncodeRow(Layout(table), cells, options.storedColumnCount), options);
}

void DatabaseBuilder::AddRawRow(TableId id, const Bytes& row, RowOptions options) {
    Table& table = tables_.at(static_cast<std::size_t>(id));
    const std::uint16_t flags =
        static_cast<std::uint16_t>((options.deleted ? kDeletedFlag : 0) | (options.lookup ? kLookupFlag : 0));
    PlaceRow(currentDataPage_[static_cast<std::size_t>(id)], table.definitionPages.front(), row, flags,
             options.newPage, &table.dataPages);
    if (!options.deleted) ++table.liveRows;
}

Cell DatabaseBuilder::Memo(const std::string& utf8, TextStorage storage, LongValueOptions options) {
    return LongValue(storage == TextStorage::Ucs2 ? Ucs2(utf8) : CompressedText(utf8), options);
}

Cell DatabaseBuilder::LongBinary(const Bytes& data, LongValueOptions options) {
    return LongValue(data, options);
}

Cell DatabaseBuilder::LongValue(const Bytes& data, LongValueOptions options) {
    Bytes header(12, 0);
    PutU24(header, 0, static_cast<std::uint32_t>(data.size()));
    const auto link = static_cast<std::int32_t>(kLongValueLink);
    const auto pointTo = [](Bytes& bytes, std::size_t at, RowPlace place) {
        bytes[at] = static_cast<std::uint8_t>(place.row);
        PutU24(bytes, at + 1, static_cast<std::uint32_t>(place.page));
    };

    if (options.form == LongValueForm::Inline) {
        header[3] = 0x80;
        header.insert(header.end(), data.begin(), data.end());
        return header;
    }
    if (options.form == LongValueForm::SingleRow) {
        Bytes row = data;
        if (row.empty()) row.push_back(0);
        PadToEven(row);
        header[3] = 0x40;
        pointTo(header, 4,
                PlaceRow(currentLongValuePage_, link, row, 0, options.pagePerRow, &longValuePages_));
        return header;
    }

    std::size_t piece = std::max<std::size_t>(options.pieceSize, 2);
    piece += piece % 2;
    std::vector<RowPlace> places;
    std::size_t from = 0;
    do {
        const std::size_t count = std::min(piece, data.size() - from);
        Bytes row(4, 0);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(from),
                   data.begin() + static_cast<std::ptrdiff_t>(from + count));
        PadToEven(row);
        places.push_back(PlaceRow(currentLongValuePage_, link, row, 0, options.pagePerRow, &longValuePages_));
        from += count;
    } while (from < data.size());
    for (std::size_t k = 0; k + 1 < places.size(); ++k) {
        const RowPlace& here = places[k];
        Bytes& row = dataPages_[static_cast<std::size_t>(pages_[static_cast<std::size_t>(here.page)].data)]
                         .rows[static_cast<std::size_t>(here.row)]
                         .bytes;
        pointTo(row, 0, places[k + 1]);
    }
    header[3] = 0x00;
    pointTo(header, 4, places.front());
    return header;
}

std::int32_t DatabaseBuilder::DefinitionPage(TableId table) const { return DefinitionPages(table).front(); }

const std::vector<std::int32_t>& DatabaseBuilder::DefinitionPages(TableId table) const {
    return tables_.at(static_cast<std::size_t>(table)).definitionPages;
}

const std::vector<std::int32_t>& DatabaseBuilder::DataPages(TableId table) const {
    return tables_.at(static_cast<std::size_t>(table)).dataPages;
}

const TableLayout& DatabaseBuilder::Layout(TableId table) const {
    return tables_.at(static_cast<std::size_t>(table)).layout;
}

std::vector<std::uint8_t> DatabaseBuilder::RenderDefinition(const Table& table, int piece) const {
    Bytes page(kPage, 0);
    const Bytes& d = table.definition;
    std::size_t content = 0;
    if (piece == 0) {
        content = std::min(d.size(), kPage);
        std::copy_n(d.begin(), content, page.begin());
        PutU32(page, 8, static_cast<std::uint32_t>(d.size()));
        PutU32(page, 16, static_cast<std::uint32_t>(table.options.rowCount.value_or(table.liveRows)));
    } else {
        const std::size_t perPage = kPage - kContinuationHeader;
        const std::size_t from = kPage + static_cast<std::size_t>(piece - 1) * perPage;
        if (from < d.size()) content = std::min(d.size() - from, perPage);
        std::copy_n(d.begin() + static_cast<std::ptrdiff_t>(std::min(from, d.size())), content,
                    page.begin() + kContinuationHeader);
        content += kContinuationHeader;
    }
    page[0] = 0x02;
    page[1] = 0x01;
    PutU16(page, 2, table.signatureWord.value_or(static_cast<std::uint16_t>(kPage - content)));
    const auto next = static_cast<std::size_t>(piece) + 1;
    PutU32(
        page, 4,
        static_cast<std::uint32_t>(next < table.definitionPages.size() ? table.definitionPages[next]
                                                                       : table.options.lastDefinitionLink));
    return page;
}

std::vector<std::uint8_t> DatabaseBuilder::RenderDataPage(const DataPage& data) const {
    Bytes page(kPage, 0);
    page[0] = 0x01;
    page[1] = 0x01;
    PutU16(page, 2, static_cast<std::uint32_t>(kPage - kDataHeader - 2 * data.rows.size() - data.used));
    PutU32(page, 4, static_cast<std::uint32_t>(data.link));
    PutU16(page, 12, static_cast<std::uint32_t>(data.rows.size()));
    std::size_t end = kPage;
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        const StoredRow& row = data.rows[i];
        const std::size_t start = end - row.bytes.size();
        std::copy(row.bytes.begin(), row.bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
        PutU16(page, kDataHeader + 2 * i, static_cast<std::uint32_t>(start | row.flags));
        end = start;
    }
    return page;
}

std::vector<std::uint8_t> DatabaseBuilder::Build() const {
    std::vector<std::uint8_t> file(pages_.size() * kPage, 0);
    for (std::size_t n = 0; n < pages_.size(); ++n) {
        Bytes page;
        const Page& p = pages_[n];
        switch (p.kind) {
            case PageKind::Free:
                continue;
            case PageKind::Header: {
                page.assign(kPage, 0);
                page[1] = 0x01;
                const char kTitle[] = "Standard Jet DB";
                std::memcpy(page.data() + 4, kTitle, sizeof kTitle - 1);
                page[0x14] = 0x01;  // the Jet 4 version byte
                break;
            }
            case PageKind::Definition:
                page = RenderDefinition(tables_[static_cast<std::size_t>(p.table)], p.piece);
                break;
            case PageKind::Data:
                page = RenderDataPage(dataPages_[static_cast<std::size_t>(p.data)]);
                break;
        }
        std::copy(page.begin(), page.end(), file.begin() + static_cast<std::ptrdiff_t>(n * kPage));
    }
    return file;
}

}  // namespace pw::testing
