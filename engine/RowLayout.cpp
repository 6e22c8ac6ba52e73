#include "engine/RowLayout.h"

#include "engine/EngineError.h"
#include "engine/RowPage.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

bool IsLongValue(std::int32_t typeCode) { return typeCode == ColumnType::Memo || typeCode == ColumnType::OleObject; }

std::size_t RowSize(const RowLayout& layout, const std::vector<StoredBytes>& variable) {
    std::size_t size = 2 + static_cast<std::size_t>(layout.fixedSize);
    for (const StoredBytes& v : variable) size += v.size();
    if (layout.variableCount > 0) size += 2 * (static_cast<std::size_t>(layout.variableCount) + 2);
    return size + (layout.columns.size() + 7) / 8;
}

}  // namespace

bool IsFixedType(std::int32_t typeCode) {
    switch (typeCode) {
        case ColumnType::Bit:
        case ColumnType::Byte:
        case ColumnType::Int:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Date:
        case ColumnType::Guid:
        case ColumnType::Numeric: return true;
        default: return false;
    }
}

RowLayout LayOutColumns(const std::vector<ColumnDesign>& columns) {
    RowLayout layout;
    layout.columns = columns;
    for (const ColumnDesign& c : columns) {
        ColumnPlace place;
        place.fixed = IsFixedType(c.typeCode);
        if (place.fixed) {
            place.fixedOffset = layout.fixedSize;
            if (c.typeCode != ColumnType::Bit) layout.fixedSize += c.length;
        } else {
            place.varIndex = layout.variableCount++;
        }
        layout.places.push_back(place);
    }
    return layout;
}

StoredBytes BuildRow(const RowLayout& layout, const std::vector<EncodedField>& fields, LongValueStore& longValues) {
    const std::size_t n = layout.columns.size();
    std::vector<StoredBytes> variable(static_cast<std::size_t>(layout.variableCount));
    std::vector<std::size_t> inlined;  // columns whose long value is still inline
    for (std::size_t i = 0; i < n && i < fields.size(); ++i) {
        const ColumnPlace& place = layout.places[i];
        if (place.fixed || !fields[i].present) continue;
        StoredBytes& slot = variable[static_cast<std::size_t>(place.varIndex)];
        if (!IsLongValue(layout.columns[i].typeCode)) {
            slot = fields[i].bytes;
        } else if (fields[i].bytes.size() <= kInlineLongValueLimit) {
            slot = LongValueStore::Inline(fields[i].bytes);
            inlined.push_back(i);
        } else {
            slot = longValues.Store(fields[i].bytes);
        }
    }
    // Too long for a page: move the inline long values out, then refuse.
    for (std::size_t k = 0; RowSize(layout, variable) > RowPage::kMaxRowSize && k < inlined.size(); ++k) {
        const std::size_t i = inlined[k];
        variable[static_cast<std::size_t>(layout.places[i].varIndex)] = longValues.Store(fields[i].bytes);
    }
    if (RowSize(layout, variable) > RowPage::kMaxRowSize)
        throw ValueRefused("the record is " + std::to_string(RowSize(layout, variable)) +
                          " bytes long; a page holds at most " + std::to_string(RowPage::kMaxRowSize));

    StoredBytes row(2 + static_cast<std::size_t>(layout.fixedSize), 0);
    PutU16(row, 0, static_cast<std::uint32_t>(n));
    StoredBytes mask((n + 7) / 8, 0);
    const auto setBit = [&](std::size_t column) { mask[column / 8] |= static_cast<std::uint8_t>(1u << (column % 8)); };
    for (std::size_t i = 0; i < n && i < fields.size(); ++i) {
        const ColumnPlace& place = layout.places[i];
        const EncodedField& f = fields[i];
        if (!place.fixed || !f.present) continue;
        if (layout.columns[i].typeCode == ColumnType::Bit) {
            if (f.bit) setBit(i);
            continue;
        }
        std::copy(f.bytes.begin(), f.bytes.end(), row.begin() + 2 + place.fixedOffset);
        setBit(i);
    }
    std::vector<std::uint32_t> starts;
    for (std::size_t i = 0; i < n; ++i) {
        const ColumnPlace& place = layout.places[i];
        if (place.fixed) continue;
        starts.push_back(static_cast<std::uint32_t>(row.size()));
        const StoredBytes& v = variable[static_cast<std::size_t>(place.varIndex)];
        row.insert(row.end(), v.begin(), v.end());
        if (i < fields.size() && fields[i].present) setBit(i);
    }
    if (layout.variableCount > 0) {
        AppendU16(row, static_cast<std::uint32_t>(row.size()));  // where the variable data ends
        for (auto it = starts.rbegin(); it != starts.rend(); ++it) AppendU16(row, *it);
        AppendU16(row, static_cast<std::uint32_t>(layout.variableCount));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

}  // namespace pw
