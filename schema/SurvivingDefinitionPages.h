#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "pagestore/PageSource.h"

namespace pw {

// What is left of a lost table definition on continuation pages that
// outlived its first page.
struct SurvivingDefinition {
    std::vector<std::int32_t> pages;       // the surviving pages (and old copies of them), ascending
    std::vector<std::string> columnNames;  // names of the definition's last columns, in stored order
};

// A definition too long for one page keeps its tail (the last column names,
// the index records) on continuation pages, which survive when only its
// first page is wiped. Nothing on them names their table, but each index
// record names its index's root page, and every index page names its
// table's definition page. A chain of definition pages that no other
// definition page leads to, that owns no rows, that is none of
// `readDefinitionPages`, and whose index pointers name exactly one of
// `lostDefinitions`, is that definition's, or a copy Access left behind
// when it rewrote the definition. Column names are read where the name list
// ends on a chain, just before the index records; a name cut by the page
// break is left out. Copies whose names disagree leave the names untold.
//
// The names come in the order the definition keeps its column records, which
// the rows do not show (a quarter of the tables Access writes keep them out
// of column-number order), so they are told beside the inferred columns
// rather than put on them.
std::map<std::int32_t, SurvivingDefinition> FindSurvivingDefinitionPages(
    const PageSource& pages, const std::set<std::int32_t>& lostDefinitions,
    const std::unordered_set<std::int32_t>& readDefinitionPages);

}  // namespace pw
