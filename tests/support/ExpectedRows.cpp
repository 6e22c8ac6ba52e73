#include "tests/support/ExpectedRows.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace pw::testing {

bool IsCalculatedColumn(const std::string& name) {
    static const std::set<std::string> kCalculated = {
        "LastFirst",    "LastFirstLen", "MonthlySalary", "IsRich",     "AllNames",  "WeeklySalary",
        "SalaryTest",   "BoolTest",     "DecimalTest",   "FloatTest",  "BigNumTest", "DateNormalCalc"};
    return kCalculated.count(name) != 0;
}

std::string CanonicalValue(const nlohmann::json& value, const std::string& type) {
    if (value.is_null() || (value.is_string() && value.get_ref<const std::string&>().empty())) return "null";
    if ((type == "SINGLE" || type == "DOUBLE") && value.is_number()) {
        char text[64];
        std::snprintf(text, sizeof text, type == "SINGLE" ? "%.6g" : "%.12g", value.get<double>());
        return text;
    }
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

RowShape ShapeOf(const nlohmann::json& columns) {
    RowShape shape;
    for (const nlohmann::json& column : columns) {
        const std::string type = column.value("type", std::string());
        const std::string name = column.value("name", std::string());
        // The reference gives complex (attachment, multi-value) columns no value.
        shape.compared.push_back(!IsCalculatedColumn(name) && type.rfind("UNKNOWN", 0) != 0 && type != "COMPLEX");
        shape.types.push_back(type);
    }
    return shape;
}

std::string RowKey(const nlohmann::json& row, const RowShape& shape) {
    std::string key;
    if (!row.is_array()) return key;
    for (std::size_t i = 0; i < row.size() && i < shape.compared.size(); ++i)
        if (shape.compared[i]) key += CanonicalValue(row[i], shape.types[i]) + "|";
    return key;
}

std::multiset<std::string> RowKeys(const nlohmann::json& rows, const RowShape& shape) {
    std::multiset<std::string> keys;
    if (!rows.is_array()) return keys;
    for (const nlohmann::json& row : rows) keys.insert(RowKey(row, shape));
    return keys;
}

std::size_t CommonCount(const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
    std::size_t count = 0;
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++count;
            ++i;
            ++j;
        }
    }
    return count;
}

}  // namespace pw::testing
