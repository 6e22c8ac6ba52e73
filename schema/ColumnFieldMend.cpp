#include "schema/ColumnFieldMend.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "pagestore/ByteView.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr int kFieldBits = 16;
constexpr std::size_t kMostBreakingForOneFlip = 16;

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
// (overlapping) another column's. In n log n, as a mend asks it again for
// every flip it tries.
std::vector<std::size_t> Breaking(const TableInfo& table, ColumnField field, std::int32_t bound) {
    const auto& cols = table.columns;
    std::vector<bool> breaks(cols.size(), false);
    // (start, end, column) of every column that takes the field; numbers are
    // spans of one.
    std::vector<std::tuple<std::int64_t, std::int64_t, std::size_t>> spans;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (!Takes(cols[i], field)) continue;
        const ColumnInfo& c = cols[i];
        if (field == ColumnField::FixedOffset) {
            breaks[i] = c.fixedOffset < 0 || c.fixedOffset + c.length > bound;
            spans.emplace_back(c.fixedOffset, static_cast<std::int64_t>(c.fixedOffset) + c.length, i);
        } else {
            const std::int32_t v = field == ColumnField::ColumnNumber ? c.columnNumber : c.varIndex;
            breaks[i] = v < 0 || v >= bound;
            spans.emplace_back(v, static_cast<std::int64_t>(v) + 1, i);
        }
    }
    // In order of start, a span that starts before the furthest end so far
    // overlaps the span that reaches it, and both break.
    std::sort(spans.begin(), spans.end());
    std::int64_t furthest = 0;
    std::size_t reaching = 0;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const auto& [start, end, column] = spans[k];
        if (k != 0 && start < furthest) breaks[column] = breaks[reaching] = true;
        if (k == 0 || end > furthest) {
            furthest = end;
            reaching = column;
        }
    }
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (breaks[i]) out.push_back(i);
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
    // One flipped value clashes with the few columns it lands on; a field
    // broken in more places than that is no single flip's doing.
    if (breaking.empty() || breaking.size() > kMostBreakingForOneFlip) return std::nullopt;
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
