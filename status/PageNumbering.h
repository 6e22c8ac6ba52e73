#pragma once

namespace pw {

// How the page numbers of a file were settled.
enum class PageNumbering {
    Standard,           // the pages start where an intact file has them
    PageOne,            // page 1 and the system definitions after it were found
    Links,              // the links between pages agree on it
    SystemDefinitions,  // the definitions of Access's first tables were found
    Default,            // nothing told: the first whole page was taken for page 0 or 1
};

// The names the damage report shows: "standard", "page one", "links",
// "system definitions", "default".
const char* PageNumberingName(PageNumbering numbering);

}  // namespace pw
