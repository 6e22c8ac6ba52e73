#include "schema/ColumnFieldMend.h"

#include <algorithm>
#include <optional>

#include "pagestore/ByteView.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr int kFieldBits = 16;

bool HoldsFixedBytes(const ColumnInfo& c) {
    return c.isFixed != 0 && c.typeCode != ColumnType::Bit && c.length > 0;
}

std::int32_t& FieldOf(ColumnInfo& c, ColumnField field) {
    switch (field) {
        case ColumnField::ColumnNumber: return c.columnNumber;
        case ColumnField::VariableIndex: return c.varIndex;
        case ColumnField::FixedOffset: return c.fixedOffset;
    }
    return c.columnNumber;
}

bool Takes(const ColumnInfo& c, ColumnField field) {
    switch (field) {
        case ColumnField::ColumnNumber: return true;
        case ColumnField::VariableIndex: return c.isFixed == 0;
        case ColumnField::FixedOffset: return HoldsFixedBytes(c);
    }
    return false;
}

// The bound a field's values stay below; nullopt when the definition's own
// count cannot be trusted to give one (it states fewer than the columns it
// holds), and then the field is not judged.
std::optional<std::int32_t> BoundOf(const TableInfo& table, ColumnField field) {
    const auto takers = static_cast<std::int32_t>(
        std::count_if(table.columns.begin(), table.columns.end(), [field](const ColumnInfo& c) { return Takes(c, field); }));
    switch (field) {
        case ColumnField::ColumnNumber:
            if (table.maxColumns < takers) return std::nullopt;
            return table.maxColumns;
        case ColumnField::VariableIndex:
            if (table.varColumnCount < takers) return std::nullopt;
            return table.varColumnCount;
        case ColumnField::FixedOffset: return static_cast<std::int32_t>(kPageSize);
    }
    return std::nullopt;
}

// The columns whose field breaks the rule: out of bounds, or shared with
// (overlapping) another column's.
std::vector<std::size_t> Breaking(const TableInfo& table, ColumnField field, std::int32_t bound) {
    std::vector<std::size_t> out;
    const auto& cols = table.columns;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (!Takes(cols[i], field)) continue;
        const ColumnInfo& c = cols[i];
        bool breaks = false;
        if (field == ColumnField::FixedOffset) {
            breaks = c.fixedOffset < 0 || c.fixedOffset + c.length > bound;
            for (std::size_t j = 0; j < cols.size() && !breaks; ++j)
                breaks = j != i && Takes(cols[j], field) && c.fixedOffset < cols[j].fixedOffset + cols[j].length &&
                         cols[j].fixedOffset < c.fixedOffset + c.length;
        } else {
            const std::int32_t v = field == ColumnField::ColumnNumber ? c.columnNumber : c.varIndex;
            breaks = v < 0 || v >= bound;
            for (std::size_t j = 0; j < cols.size() && !breaks; ++j)
                breaks = j != i && Takes(cols[j], field) &&
                         (field == ColumnField::ColumnNumber ? cols[j].columnNumber : cols[j].varIndex) == v;
        }
        if (breaks) out.push_back(i);
    }
    return out;
}

// How tight the fixed area is: its end, then the bytes below it no column
// holds. Access packs fixed columns, so the true layout is the tightest.
std::pair<std::int32_t, std::int32_t> FixedAreaSpread(const TableInfo& table) {
    std::int32_t end = 0;
    std::int32_t held = 0;
    for (const ColumnInfo& c : table.columns)
        if (HoldsFixedBytes(c)) {
            end = std::max(end, c.fixedOffset + c.length);
            held += c.length;
        }
    return {end, end - held};
}

// Undoes the one flip that makes the field whole, when there is one.
std::optional<ColumnFieldMend> MendField(TableInfo& table, ColumnField field) {
    const std::optional<std::int32_t> bound = BoundOf(table, field);
    if (!bound) return std::nullopt;
    const std::vector<std::size_t> breaking = Breaking(table, field, *bound);
    if (breaking.empty()) return std::nullopt;
    std::vector<ColumnFieldMend> whole;
    for (std::size_t i : breaking) {
        std::int32_t& value = FieldOf(table.columns[i], field);
        const std::int32_t stored = value;
        for (int bit = 0; bit < kFieldBits; ++bit) {
            value = stored ^ (1 << bit);
            if (Breaking(table, field, *bound).empty()) whole.push_back({i, field, stored, value});
        }
        value = stored;
    }
    if (whole.empty()) return std::nullopt;
    if (field == ColumnField::FixedOffset && whole.size() > 1) {
        // Moving either of two overlapping columns apart makes the area
        // whole; the column that was moved by the damage is the one whose
        // return leaves no gap.
        std::vector<std::pair<std::int32_t, std::int32_t>> spreads;
        for (const ColumnFieldMend& m : whole) {
            FieldOf(table.columns[m.column], field) = m.mended;
            spreads.push_back(FixedAreaSpread(table));
            FieldOf(table.columns[m.column], field) = m.stored;
        }
        const auto best = std::min_element(spreads.begin(), spreads.end());
        if (std::count(spreads.begin(), spreads.end(), *best) != 1) return std::nullopt;
        whole = {whole[static_cast<std::size_t>(best - spreads.begin())]};
    }
    if (whole.size() != 1) return std::nullopt;
    FieldOf(table.columns[whole[0].column], field) = whole[0].mended;
    return whole[0];
}

}  // namespace

ColumnFieldCheck MendFlippedColumnFields(TableInfo& table) {
    ColumnFieldCheck check;
    for (ColumnField field : {ColumnField::ColumnNumber, ColumnField::VariableIndex, ColumnField::FixedOffset}) {
        if (std::optional<ColumnFieldMend> mend = MendField(table, field)) check.mended.push_back(*mend);
        const std::optional<std::int32_t> bound = BoundOf(table, field);
        if (bound && !Breaking(table, field, *bound).empty()) check.broken.push_back(field);
    }
    return check;
}

const char* ColumnFieldName(ColumnField field) {
    switch (field) {
        case ColumnField::ColumnNumber: return "column number";
        case ColumnField::VariableIndex: return "offset slot";
        case ColumnField::FixedOffset: return "fixed offset";
    }
    return "field";
}

}  // namespace pw
