#include "engine/TableWriter.h"

#include <algorithm>
#include <limits>

#include "engine/EngineError.h"
#include "engine/StoredBytes.h"
#include "pagestore/PageLayout.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::size_t kPageHeader = 8;  // type, free space, next page
constexpr std::size_t kColumnRecordSize = 25;
constexpr std::size_t kFirstColumnRecord = 63;  // no indexes precede the columns
// Written by Access in the definition header and in every column record.
constexpr std::uint32_t kDefinitionMark = 0x0659;
// Sort order of text columns: general (0x0409).
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

constexpr std::uint8_t kFixedFlag = 0x01;
constexpr std::uint8_t kNullableFlag = 0x02;
constexpr std::uint8_t kAutoNumberFlag = 0x04;
constexpr std::uint8_t kStoredFlag = 0x10;

// Pages a definition of `size` bytes takes.
std::size_t DefinitionPageCount(std::size_t size) {
    if (size <= kEnginePageSize) return 1;
    const std::size_t rest = size - kEnginePageSize;
    return 1 + (rest + kEnginePageSize - kPageHeader - 1) / (kEnginePageSize - kPageHeader);
}

}  // namespace

TableWriter::TableWriter(OutputFile& file, LongValueStore& longValues, TableDesign design, std::uint8_t tableType,
                         std::int32_t firstDefinitionPage)
    : file_(file), longValues_(longValues), design_(std::move(design)), layout_(LayOutColumns(design_.columns)), tableType_(tableType), page_(0, false) {
    const std::size_t pages = DefinitionPageCount(DefinitionContent(0, 0).size());
    for (std::size_t i = 0; i < pages; ++i)
        definitionPages_.push_back(i == 0 && firstDefinitionPage >= 0 ? firstDefinitionPage : file_.Allocate());
    page_ = RowPage(static_cast<std::uint32_t>(definitionPage()), false);
}

AppendResult TableWriter::Append(const std::vector<TypedValue>& values) {
    AppendResult result;
    const std::vector<ColumnDesign>& columns = layout_.columns;
    std::vector<EncodedField> fields(columns.size());
    for (std::size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        try {
            fields[i] = EncodeField(columns[i], values[i]);
        } catch (const ValueRefused& refused) {
            result.refused.push_back({i, refused.what()});
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].autoNumber) continue;
        if (!fields[i].present) {
            if (!assignAutoNumbers_) continue;
            fields[i] = EncodeField(columns[i], TypedValue::Integer(NextAutoNumber()));
        }
        const auto& b = fields[i].bytes;
        const auto given = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
        NoteAutoNumber(given);
    }
    StoredBytes row;
    try {
        row = BuildRow(layout_, fields, longValues_);
    } catch (const ValueRefused& refused) {
        result.refused.push_back({FieldRefusal::kWholeRecord, refused.what()});
        return result;
    }
    AddRow(std::move(row));
    result.stored = true;
    return result;
}

void TableWriter::NoteAutoNumber(std::int64_t value) {
    if (value >= nextAutoNumber_ && value < std::numeric_limits<std::int32_t>::max())
        nextAutoNumber_ = static_cast<std::int32_t>(value + 1);
}

void TableWriter::AddRow(StoredBytes row) {
    if (row.size() > RowPage::kMaxRowSize) throw ValueRefused("the record is longer than a page");
    if (!page_.Fits(row.size())) Flush();
    page_.Add(std::move(row));
    ++rowCount_;
}

void TableWriter::Flush() {
    if (page_.empty()) return;
    const std::int32_t number = file_.Allocate();
    file_.Write(number, page_.Render());
    page_.Clear();
    if (!runs_.empty() && runs_.back().second + 1 == number) runs_.back().second = number;
    else runs_.emplace_back(number, number);
}

StoredBytes TableWriter::DefinitionContent(std::uint32_t usedPagesMap, std::uint32_t freePagesMap) const {
    constexpr PageLayout jet = PageLayout::Jet4();
    const std::size_t n = layout_.columns.size();
    StoredBytes d(kFirstColumnRecord, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    PutU32(d, 12, kDefinitionMark);
    PutU32(d, static_cast<std::size_t>(jet.tdefRowCountOffset),
           static_cast<std::uint32_t>(std::min<std::int64_t>(rowCount_, std::numeric_limits<std::int32_t>::max())));
    PutU32(d, 20, static_cast<std::uint32_t>(nextAutoNumber_));
    PutU32(d, 24, 1);  // auto-number increment
    d[static_cast<std::size_t>(jet.tableTypeOffset)] = tableType_;
    PutU16(d, static_cast<std::size_t>(jet.maxColumnsOffset), static_cast<std::uint32_t>(n));
    PutU16(d, static_cast<std::size_t>(jet.varColumnsOffset), static_cast<std::uint32_t>(layout_.variableCount));
    PutU16(d, static_cast<std::size_t>(jet.columnCountOffset), static_cast<std::uint32_t>(n));
    // Logical and real index counts (47, 51) stay 0.
    PutU32(d, 55, usedPagesMap);
    PutU32(d, 59, freePagesMap);

    for (std::size_t i = 0; i < n; ++i) {
        const ColumnDesign& c = layout_.columns[i];
        const ColumnPlace& place = layout_.places[i];
        StoredBytes r(kColumnRecordSize, 0);
        r[0] = static_cast<std::uint8_t>(c.typeCode);
        PutU32(r, 1, kDefinitionMark);
        PutU16(r, 5, static_cast<std::uint32_t>(i));
        PutU16(r, 7, static_cast<std::uint32_t>(place.varIndex));
        PutU16(r, 9, static_cast<std::uint32_t>(i));
        if (c.typeCode == ColumnType::Numeric) {
            r[11] = static_cast<std::uint8_t>(c.precision);
            r[12] = static_cast<std::uint8_t>(c.scale);
        } else {
            PutU16(r, 11, kGeneralSortOrder);
        }
        r[15] = static_cast<std::uint8_t>((place.fixed ? kFixedFlag : 0) | kNullableFlag | kStoredFlag |
                                          (c.autoNumber ? kAutoNumberFlag : 0));
        PutU16(r, 21, static_cast<std::uint32_t>(place.fixed ? place.fixedOffset : 0));
        PutU16(r, 23, static_cast<std::uint32_t>(c.length));
        d.insert(d.end(), r.begin(), r.end());
    }
    for (const ColumnDesign& c : layout_.columns) {
        const StoredBytes name = EncodeUtf16(c.name);
        AppendU16(d, static_cast<std::uint32_t>(name.size()));
        d.insert(d.end(), name.begin(), name.end());
    }
    AppendU16(d, 0xFFFF);  // no column-level usage maps follow
    if (d.size() < design_.definitionSize) d.resize(design_.definitionSize, 0);
    PutU32(d, 8, static_cast<std::uint32_t>(d.size() - kPageHeader));
    return d;
}

void TableWriter::WriteDefinition(std::uint32_t usedPagesMap, std::uint32_t freePagesMap) {
    const StoredBytes content = DefinitionContent(usedPagesMap, freePagesMap);
    std::size_t at = 0;
    for (std::size_t i = 0; i < definitionPages_.size(); ++i) {
        StoredBytes page(kEnginePageSize, 0);
        std::size_t used = 0;
        if (i == 0) {
            used = std::min<std::size_t>(content.size(), kEnginePageSize);
            std::copy_n(content.begin(), used, page.begin());
            at = used;
        } else {
            page[0] = 0x02;
            page[1] = 0x01;
            const std::size_t take = std::min(content.size() - at, kEnginePageSize - kPageHeader);
            std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(at), take, page.begin() + kPageHeader);
            at += take;
            used = kPageHeader + take;
        }
        PutU16(page, 2, static_cast<std::uint32_t>(kEnginePageSize - used));
        PutU32(page, 4, i + 1 < definitionPages_.size() ? static_cast<std::uint32_t>(definitionPages_[i + 1]) : 0);
        file_.Write(definitionPages_[i], page);
    }
}

}  // namespace pw
