#include "engine/TableDesignCheck.h"

#include <set>

#include "engine/FoldedName.h"
#include "engine/RowLayout.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

std::string ColumnProblem(const ColumnDesign& c) {
    const std::string name = "[" + c.name + "]";
    switch (c.typeCode) {
        case ColumnType::Text:
            if (c.length < 2 || c.length > 2 * kMaxTextCharacters || c.length % 2 != 0)
                return name + " TEXT of " + std::to_string(c.length) + " bytes is out of range";
            break;
        case ColumnType::Binary:
            if (c.length < 1 || c.length > kMaxBinaryBytes)
                return name + " BINARY(" + std::to_string(c.length) + ") is out of range";
            break;
        case ColumnType::Numeric:
            if (c.precision < 1 || c.precision > kMaxDecimalPrecision || c.scale < 0 || c.scale > c.precision)
                return name + " DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) +
                       ") is out of range";
            break;
        default:
            // Fixed types need no size of their own; long values have none.
            if (!IsFixedType(c.typeCode) && c.typeCode != ColumnType::OleObject && c.typeCode != ColumnType::Memo)
                return name + " has a type the file format cannot hold (code " + std::to_string(c.typeCode) + ")";
            break;
    }
    if (c.autoNumber && c.typeCode != ColumnType::Long) return name + " an auto-number must be a LONG";
    return {};
}

}  // namespace

std::string DesignProblem(const TableDesign& design) {
    if (design.name.empty()) return "the table has no name";
    if (design.columns.size() > kMaxTableColumns) return "a table holds at most 255 columns";
    std::set<std::string> names;
    for (const ColumnDesign& c : design.columns) {
        if (c.name.empty()) return "a column has no name";
        if (!names.insert(FoldedName(c.name)).second) return "column [" + c.name + "] is named twice";
        if (std::string problem = ColumnProblem(c); !problem.empty()) return problem;
    }
    return {};
}

}  // namespace pw
