#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/ValueProblem.h"

namespace pw {

// Memo and OLE columns keep a 12-byte header in the row:
//   bytes 0..2  total length of the value (24 bits)
//   byte  3     where the value lives (kLongValueInline, ...SingleRow, ...Chain)
//   byte  4     row number of the first long-value row (signed)
//   bytes 5..7  page number of the first long-value page (24 bits)
//   bytes 8..11 not used
// The flag is a byte of its own: reading bytes 2..3 as one word would mix in
// the high byte of the length and lose every value of 64 KiB or more.
inline constexpr std::int64_t kLongValueHeaderSize = 12;
inline constexpr std::uint8_t kLongValueInline = 0x80;
inline constexpr std::uint8_t kLongValueSingleRow = 0x40;
inline constexpr std::uint8_t kLongValueChain = 0x00;

// How a value was found, or why it was not.
enum class LongValueForm {
    Inline,     // after the header in the row itself
    SingleRow,  // in one long-value row
    Chain,      // in linked long-value rows (whatever part of the chain survived)
    Unhandled,  // a flag byte other than the three known ones
    TooShort,   // the field cannot even hold its header, or it lies outside the page
    // The single-row pointer names a page beyond the map or absent from the file.
    PageOutsideMap,
    // The single-row pointer names a page without the "LVAL" signature.
    NotLongValuePage,
    // The single-row pointer names a row beyond the page's slot count.
    RowNotOnPage,
    // The single-row slot puts the row's start or end outside the page.
    RowOutsidePage,
};

// Whether a value's pointers held: damage a walk reports, apart from the
// form, which only tells where the value was looked for.
enum class LongValueIssue {
    None,
    Broken,  // a pointer led outside the map, to another kind of page or to no row
    Loop,    // a chain came back to a row it had already read
};

// The problem of a value whose pointers did not hold, None when they did.
ValueProblem LongValueProblem(LongValueIssue issue);

// Collects the stored bytes of the long value whose header is at `position` in
// `page` and whose field is `length` bytes long. Inline values are the bytes
// after the header; row values are cut to the declared total length when the
// rows hold more. A chain is followed until its next page number is 0, until
// the declared length is reached, or until a pointer leads nowhere (outside
// the map, to a page that is not a long-value page, to a row outside the slot
// count or the page, or back to a row already visited); what was gathered up
// to then is the value. Returns the bytes (empty when there are none) and
// reports the form.
std::string GatherLongValue(const PageSource& pages, ByteView page, std::int64_t position,
                            std::int64_t length, LongValueForm& form, LongValueIssue* issue = nullptr);

// The 16-bit word at header offset 2, as the "Unhandled ..." messages show it.
std::int32_t LongValueFlagWord(ByteView page, std::int64_t position);

}  // namespace pw
