#pragma once

#include <cstdint>

#include "pagestore/DatabaseFile.h"
#include "status/RunControl.h"

namespace pw {

// How the page numbers of a grid were settled.
enum class GridNumbering {
    PageOne,   // page 1 and the system definitions after it were found
    Links,     // the links between pages agree on it
    SystemDefinitions,  // the definitions of Access's first tables (pages 2 to 5) were found
    Default,   // nothing told: the first whole page is page 0 (or 1 when the file starts inside a page)
};

// Where the 4096-byte pages of a file lie when its start cannot be trusted:
// the file position of the first whole page of the grid, and the page number
// of the page there. Slots before page 0 (junk put in front of the file) get
// negative numbers and are dropped by whoever builds the map.
struct PageGrid {
    bool found = false;
    std::int64_t phase = 0;              // 0 to 4095
    std::int32_t firstPageNumber = 0;    // number of the page at `phase`
    GridNumbering numbering = GridNumbering::Default;
    std::int64_t pagesWithSignature = 0; // slots of the grid that look like pages
    std::int64_t agreeingLinks = 0;      // links that point where the numbering says
    // The highest page number a link names: pages past the end of the file
    // up to it were lost with the tail.
    std::int32_t highestLinkedPage = -1;
    // Page starts repeat at half the grid: 2048-byte pages (Access 97).
    bool halfPageGrid = false;
};

// Reads the whole file once. Whether a position starts a page is judged by
// the page's own first bytes (type and 0x01), and by the fields a data page
// cannot do without; the grid is the position modulo 4096 where most pages
// start. The numbering is the one most links agree with: a data page names
// its owning definition page, a definition page its continuation page.
PageGrid FindPageGrid(const DatabaseFile& file, const RunControl& run);

// True when the 16 bytes at `start` can begin a Jet 4 page: a page type
// the format has, 0x01 after it, and the counts and links that page type
// keeps within their bounds.
bool LooksLikePageStart(const std::uint8_t* start);

}  // namespace pw
