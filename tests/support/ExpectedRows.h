#pragma once

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace pw::testing {

// How a decoded row is compared with a row of corpus/expected/*.json: one key
// per row, built from the values as the expected files render them, so two
// rows are equal exactly when their keys are.

// Calculated columns hold their stored wrapper bytes, not the value; they are
// left out of every comparison.
bool IsCalculatedColumn(const std::string& name);

// The comparable text of one value of a column of the given expected type:
// null and empty text are the same; SINGLE and DOUBLE compare at six and
// twelve significant digits; everything else as its JSON text.
std::string CanonicalValue(const nlohmann::json& value, const std::string& type);

// Which columns of an expected table take part in a comparison, and their types.
struct RowShape {
    std::vector<bool> compared;
    std::vector<std::string> types;
};
// From the "columns" array of an expected table: calculated columns, complex
// columns and columns of unknown type are set aside.
RowShape ShapeOf(const nlohmann::json& columns);

// The key of one row (a JSON array in column order) under a shape. Columns
// beyond the shape, or missing from the row, add nothing.
std::string RowKey(const nlohmann::json& row, const RowShape& shape);
std::multiset<std::string> RowKeys(const nlohmann::json& rows, const RowShape& shape);

// Size of the multiset intersection of two sorted key multisets.
std::size_t CommonCount(const std::multiset<std::string>& a, const std::multiset<std::string>& b);

}  // namespace pw::testing
