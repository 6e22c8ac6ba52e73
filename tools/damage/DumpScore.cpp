#include "tools/damage/DumpScore.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "tests/support/ExpectedRows.h"

namespace pw::damage {
namespace {

using nlohmann::json;
using testing::CommonCount;
using testing::RowKeys;
using testing::RowShape;
using testing::ShapeOf;

const json& TablesOf(const json& document) {
    static const json none = json::array();
    if (!document.is_object()) return none;
    auto it = document.find("tables");
    return it != document.end() && it->is_array() ? *it : none;
}

const json& RowsOf(const json& table) {
    static const json none = json::array();
    auto it = table.find("rows");
    return it != table.end() && it->is_array() ? *it : none;
}

std::string NameOf(const json& table) {
    auto it = table.find("name");
    return it != table.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::size_t ColumnCount(const json& table) {
    auto it = table.find("columns");
    return it != table.end() && it->is_array() ? it->size() : 0;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsText(const std::string& type) { return type == "TEXT" || type == "MEMO"; }

// A table rebuilt from its rows alone has its columns in an order and under
// types of its own: its rows are compared with the expected ones as
// multisets of values, whatever column holds each.
bool ColumnsInferred(const json& table) {
    auto it = table.find("columnsInferred");
    return it != table.end() && it->is_boolean() && it->get<bool>();
}

// A number compares by value: an inferred Double may hold what the expected
// file writes as an integer.
std::string UnorderedValue(const json& value) {
    if (value.is_number()) return testing::CanonicalValue(value, "DOUBLE");
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::vector<std::string> UnorderedValues(const json& row, const RowShape* shape) {
    std::vector<std::string> values;
    if (!row.is_array()) return values;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (shape != nullptr && (i >= shape->compared.size() || !shape->compared[i])) continue;
        if (row[i].is_null() || (row[i].is_string() && row[i].get_ref<const std::string&>().empty())) continue;
        values.push_back(UnorderedValue(row[i]));
    }
    std::sort(values.begin(), values.end());
    return values;
}

std::string Joined(const std::vector<std::string>& values) {
    std::string key;
    for (const std::string& v : values) key += v + "|";
    return key;
}

// Rows of an inferred table matched to expected rows. A row matches when it
// holds every value of the expected row; it may hold more, since the rows of
// a table keep the values of columns dropped from it since, and without the
// definition nothing tells those columns apart. Exact matches are taken
// first; each row matches once.
std::size_t MatchedInferred(const json& expectedRows, const RowShape& shape, const json& dumpedRows) {
    std::vector<std::vector<std::string>> want;
    std::vector<std::vector<std::string>> have;
    for (const json& row : expectedRows) want.push_back(UnorderedValues(row, &shape));
    for (const json& row : dumpedRows) have.push_back(UnorderedValues(row, nullptr));

    std::size_t matched = 0;
    std::vector<bool> wantDone(want.size(), false);
    std::vector<bool> haveDone(have.size(), false);
    std::multimap<std::string, std::size_t> byKey;
    for (std::size_t h = 0; h < have.size(); ++h) byKey.emplace(Joined(have[h]), h);
    for (std::size_t w = 0; w < want.size(); ++w) {
        auto it = byKey.find(Joined(want[w]));
        if (it == byKey.end()) continue;
        haveDone[it->second] = true;
        wantDone[w] = true;
        byKey.erase(it);
        ++matched;
    }

    // The rest by containment, looking only at rows that hold the expected
    // row's first value.
    std::multimap<std::string, std::size_t> byValue;
    for (std::size_t h = 0; h < have.size(); ++h)
        if (!haveDone[h])
            for (const std::string& v : have[h]) byValue.emplace(v, h);
    for (std::size_t w = 0; w < want.size(); ++w) {
        if (wantDone[w] || want[w].empty()) continue;
        auto [from, to] = byValue.equal_range(want[w].front());
        for (auto it = from; it != to; ++it) {
            const std::size_t h = it->second;
            if (haveDone[h] || !std::includes(have[h].begin(), have[h].end(), want[w].begin(), want[w].end()))
                continue;
            haveDone[h] = true;
            ++matched;
            break;
        }
    }
    return matched;
}

// Rows of a table read under its definition that are no expected row but
// differ from one left unmatched in a single compared value: a real row with
// one value damaged (a flipped bit), told apart from rows the file never
// held. Each expected row stands for one such row.
std::size_t AlteredPositional(const json& expectedRows, const RowShape& shape, const json& dumpedRows) {
    auto valuesOf = [&shape](const json& row) {
        std::vector<std::string> values;
        for (std::size_t i = 0; i < shape.compared.size(); ++i) {
            if (!shape.compared[i]) continue;
            values.push_back(row.is_array() && i < row.size() ? testing::CanonicalValue(row[i], shape.types[i])
                                                               : std::string("null"));
        }
        return values;
    };
    auto maskedKey = [](const std::vector<std::string>& values, std::size_t masked) {
        std::string key = std::to_string(masked) + "#";
        for (std::size_t i = 0; i < values.size(); ++i) key += (i == masked ? std::string("*") : values[i]) + "|";
        return key;
    };

    std::map<std::string, std::int64_t> unmatched;
    for (const json& row : expectedRows) ++unmatched[Joined(valuesOf(row))];
    std::vector<std::vector<std::string>> leftDumped;
    for (const json& row : dumpedRows) {
        std::vector<std::string> values = valuesOf(row);
        auto it = unmatched.find(Joined(values));
        if (it != unmatched.end() && it->second > 0)
            --it->second;
        else
            leftDumped.push_back(std::move(values));
    }
    if (leftDumped.empty()) return 0;

    std::multimap<std::string, bool> byMask;  // the flag: that expected row is taken
    for (const json& row : expectedRows) {
        const std::vector<std::string> values = valuesOf(row);
        auto it = unmatched.find(Joined(values));
        if (it == unmatched.end() || it->second <= 0) continue;
        --it->second;
        for (std::size_t i = 0; i < values.size(); ++i) byMask.emplace(maskedKey(values, i), false);
    }
    std::size_t altered = 0;
    for (const std::vector<std::string>& values : leftDumped) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            auto [from, to] = byMask.equal_range(maskedKey(values, i));
            auto free = std::find_if(from, to, [](const auto& entry) { return !entry.second; });
            if (free == to) continue;
            free->second = true;
            ++altered;
            break;
        }
    }
    return altered;
}

// Expected rows matched in a dumped table, by position or, for a table whose
// columns were inferred, by values.
std::size_t Matched(const json& expectedTable, const RowShape& shape, const json& dumped) {
    if (ColumnsInferred(dumped)) return MatchedInferred(RowsOf(expectedTable), shape, RowsOf(dumped));
    return CommonCount(RowKeys(RowsOf(expectedTable), shape), RowKeys(RowsOf(dumped), shape));
}

std::multiset<std::string> TextValues(const json& table, const std::vector<bool>* onlyColumns) {
    std::multiset<std::string> values;
    for (const json& row : RowsOf(table)) {
        if (!row.is_array()) continue;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (onlyColumns != nullptr && (i >= onlyColumns->size() || !(*onlyColumns)[i])) continue;
            if (row[i].is_string() && !row[i].get_ref<const std::string&>().empty())
                values.insert(row[i].get<std::string>());
        }
    }
    return values;
}

std::vector<bool> TextColumns(const json& expectedTable) {
    std::vector<bool> text;
    for (const json& c : expectedTable.value("columns", json::array())) text.push_back(IsText(c.value("type", "")));
    return text;
}

// A dumped table keyed under its own column types, for tables no expected
// table claims.
std::multiset<std::string> OwnKeys(const json& dumped) {
    return RowKeys(RowsOf(dumped), ShapeOf(dumped.value("columns", json::array())));
}

}  // namespace

std::int64_t TextValueCount(const json& expectedTable) {
    const std::vector<bool> columns = TextColumns(expectedTable);
    return static_cast<std::int64_t>(TextValues(expectedTable, &columns).size());
}

ExtraRows ExtraRowsOf(const json& expected, const json& intactDump) {
    std::set<std::string> names;
    for (const json& t : TablesOf(expected)) names.insert(Lower(NameOf(t)));
    ExtraRows extra;
    for (const json& t : TablesOf(intactDump)) {
        if (names.count(Lower(NameOf(t))) != 0) continue;
        for (const std::string& key : OwnKeys(t)) extra.keys.insert(key);
    }
    return extra;
}

DumpScore ScoreDump(const json& expected, const json& dump, const ExtraRows& extra, const std::string& textTable) {
    DumpScore score;
    const json& want = TablesOf(expected);
    const json& got = TablesOf(dump);
    std::vector<bool> claimed(got.size(), false);
    std::vector<std::int64_t> matchedOf(got.size(), 0);
    std::int64_t textTableDumped = -1;

    // Larger tables first: they are the ones a best match by content is surest of.
    std::vector<std::size_t> order(want.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&want](std::size_t a, std::size_t b) { return RowsOf(want[a]).size() > RowsOf(want[b]).size(); });

    // Names first, for every table, so that a table found by content never
    // takes the place of one that kept its name.
    std::vector<std::int64_t> byName(want.size(), -1);
    for (std::size_t w : order) {
        const std::string name = NameOf(want[w]);
        for (int pass = 0; pass < 2 && byName[w] < 0; ++pass)
            for (std::size_t g = 0; g < got.size(); ++g)
                if (!claimed[g] && (pass == 0 ? NameOf(got[g]) == name : Lower(NameOf(got[g])) == Lower(name))) {
                    byName[w] = static_cast<std::int64_t>(g);
                    claimed[g] = true;
                    break;
                }
    }

    for (std::size_t w : order) {
        const json& table = want[w];
        const RowShape shape = ShapeOf(table.value("columns", json::array()));
        const std::multiset<std::string> wantKeys = RowKeys(RowsOf(table), shape);
        score.rowsExpected += static_cast<std::int64_t>(wantKeys.size());

        std::int64_t chosen = byName[w];
        std::size_t matched = 0;
        if (chosen >= 0) {
            matched = Matched(table, shape, got[chosen]);
            ++score.tablesByName;
        } else if (!wantKeys.empty()) {
            // Column names set aside: the unclaimed table whose rows match
            // most, a table of the same column count winning ties.
            bool bestSameWidth = false;
            for (std::size_t g = 0; g < got.size(); ++g) {
                if (claimed[g]) continue;
                const std::size_t m = Matched(table, shape, got[g]);
                const bool sameWidth = ColumnCount(got[g]) == ColumnCount(table);
                if (m > matched || (m == matched && m > 0 && sameWidth && !bestSameWidth)) {
                    matched = m;
                    chosen = static_cast<std::int64_t>(g);
                    bestSameWidth = sameWidth;
                }
            }
            if (chosen >= 0) {
                claimed[chosen] = true;
                ++score.tablesByContent;
            }
        }
        if (chosen >= 0) {
            matchedOf[chosen] = static_cast<std::int64_t>(matched);
            if (!ColumnsInferred(got[chosen]))
                score.alteredRows += static_cast<std::int64_t>(AlteredPositional(RowsOf(table), shape, RowsOf(got[chosen])));
        }
        score.rowsRecovered += static_cast<std::int64_t>(matched);
        if (!textTable.empty() && NameOf(table) == textTable) textTableDumped = chosen;
    }

    // Garbage: rows of claimed tables beyond their matches, and rows of
    // unclaimed tables that are not rows of the intact file's extra tables.
    std::multiset<std::string> extraLeft = extra.keys;
    for (std::size_t g = 0; g < got.size(); ++g) {
        const std::int64_t rows = static_cast<std::int64_t>(RowsOf(got[g]).size());
        if (claimed[g]) {
            score.rowsDumped += rows;
            score.garbageRows += rows - matchedOf[g];
            continue;
        }
        for (const std::string& key : OwnKeys(got[g])) {
            auto it = extraLeft.find(key);
            if (it != extraLeft.end()) {
                extraLeft.erase(it);
            } else {
                ++score.rowsDumped;
                ++score.garbageRows;
            }
        }
    }

    if (!textTable.empty()) {
        for (const json& table : want) {
            if (NameOf(table) != textTable) continue;
            const std::vector<bool> columns = TextColumns(table);
            const std::multiset<std::string> wantText = TextValues(table, &columns);
            score.textExpected = static_cast<std::int64_t>(wantText.size());
            // Its text may come back in the table found for it or in any
            // table no other expected table claimed.
            std::multiset<std::string> have;
            for (std::size_t g = 0; g < got.size(); ++g) {
                if (claimed[g] && static_cast<std::int64_t>(g) != textTableDumped) continue;
                for (const std::string& v : TextValues(got[g], nullptr)) have.insert(v);
            }
            score.textRecovered = static_cast<std::int64_t>(CommonCount(wantText, have));
            break;
        }
    }
    return score;
}

}  // namespace pw::damage
