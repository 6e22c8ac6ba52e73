#include "tests/support/RowEncoder.h"

#include <algorithm>
#include <numeric>

namespace pw::testing {
namespace {

int DefaultLength(int typeCode) {
    switch (typeCode) {
        case type::kBit:
        case type::kByte:
            return 1;
        case type::kInt:
            return 2;
        case type::kLong:
        case type::kSingle:
            return 4;
        case type::kCurrency:
        case type::kDouble:
        case type::kDate:
        case type::kBigInt:
            return 8;
        case type::kGuid:
            return 16;
        case type::kNumeric:
            return 17;
        case type::kBinary:
            return 255;
        case type::kText:
            return 100;
        default:
            return 0;
    }
}

bool DefaultFixed(int typeCode) {
    return (typeCode >= type::kBit && typeCode <= type::kDate) || typeCode == type::kGuid ||
           typeCode == type::kNumeric || typeCode == type::kBigInt;
}

// Indices of the columns in column-number order (stable for equal numbers).
std::vector<std::size_t> ByColumnNumber(const std::vector<ColumnLayout>& columns) {
    std::vector<std::size_t> order(columns.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return columns[a].columnNumber < columns[b].columnNumber;
    });
    return order;
}

}  // namespace

ColumnSpec Column(std::string name, int typeCode, int length) {
    ColumnSpec c;
    c.name = std::move(name);
    c.typeCode = typeCode;
    c.length = length;
    return c;
}

ColumnSpec NumericColumn(std::string name, int precision, int scale) {
    ColumnSpec c = Column(std::move(name), type::kNumeric);
    c.precision = precision;
    c.scale = scale;
    return c;
}

TableLayout LayoutColumns(const std::vector<ColumnSpec>& specs) {
    TableLayout layout;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        ColumnLayout c;
        c.declared = specs[i];
        c.length = specs[i].length >= 0 ? specs[i].length : DefaultLength(specs[i].typeCode);
        c.fixed = specs[i].fixed.value_or(DefaultFixed(specs[i].typeCode));
        c.columnNumber = specs[i].columnNumber >= 0 ? specs[i].columnNumber : static_cast<int>(i);
        c.columnIndex = static_cast<int>(i);
        // Bit 0: fixed length; bit 1: may be null; bit 2: auto-number.
        c.flags =
            static_cast<std::uint8_t>((c.fixed ? 0x01 : 0x00) | 0x02 | (specs[i].autoNumber ? 0x04 : 0x00));
        layout.maxColumnNumber = std::max(layout.maxColumnNumber, c.columnNumber);
        layout.columns.push_back(std::move(c));
    }
    for (std::size_t i : ByColumnNumber(layout.columns)) {
        ColumnLayout& c = layout.columns[i];
        if (c.fixed) {
            c.fixedOffset = layout.fixedAreaSize;
            if (c.declared.typeCode != type::kBit) layout.fixedAreaSize += c.length;
        } else {
            c.varIndex = layout.variableCount++;
        }
    }
    return layout;
}

Bytes EncodeRow(const TableLayout& layout, const std::vector<Cell>& cells,
                std::optional<int> storedColumnCount) {
    const int n = storedColumnCount.value_or(
        std::max(static_cast<int>(layout.columns.size()), layout.maxColumnNumber + 1));
    const int maskBytes = (n - 1) / 8 + 1;
    const auto cellOf = [&](std::size_t i) -> const Cell& {
        static const Cell kNull;
        return i < cells.size() ? cells[i] : kNull;
    };

    Bytes row;
    AppendU16(row, static_cast<std::uint32_t>(n));
    row.resize(2 + static_cast<std::size_t>(layout.fixedAreaSize), 0);
    Bytes mask(static_cast<std::size_t>(std::max(maskBytes, 1)), 0);
    const auto setBit = [&](int columnNumber) {
        const auto byte = static_cast<std::size_t>(columnNumber / 8);
        if (columnNumber >= 0 && byte < mask.size())
            mask[byte] |= static_cast<std::uint8_t>(1u << (columnNumber % 8));
    };

    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const ColumnLayout& c = layout.columns[i];
        const Cell& cell = cellOf(i);
        if (!c.fixed || !cell) continue;
        if (c.declared.typeCode == type::kBit) {
            if (!cell->empty() && (*cell)[0] != 0) setBit(c.columnNumber);
            continue;
        }
        const std::size_t at = 2 + static_cast<std::size_t>(c.fixedOffset);
        const std::size_t count = std::min(cell->size(), static_cast<std::size_t>(c.length));
        std::copy_n(cell->begin(), count, row.begin() + static_cast<std::ptrdiff_t>(at));
        setBit(c.columnNumber);
    }

    std::vector<std::uint32_t> starts;
    for (std::size_t i : ByColumnNumber(layout.columns)) {
        const ColumnLayout& c = layout.columns[i];
        if (c.fixed) continue;
        starts.push_back(static_cast<std::uint32_t>(row.size()));
        const Cell& cell = cellOf(i);
        if (!cell) continue;
        row.insert(row.end(), cell->begin(), cell->end());
        setBit(c.columnNumber);
    }

    if (layout.variableCount > 0) {
        AppendU16(row, static_cast<std::uint32_t>(row.size()));  // end of data, read at E - M - 3 - 2V
        for (auto it = starts.rbegin(); it != starts.rend(); ++it) AppendU16(row, *it);
        AppendU16(row, static_cast<std::uint32_t>(layout.variableCount));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

}  // namespace pw::testing
