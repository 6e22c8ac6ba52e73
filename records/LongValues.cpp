#include "records/LongValues.h"

#include <cstdio>
#include <string>

#include "pagestore/TextDecoding.h"
#include "records/LongValueGather.h"

namespace pw {
namespace {

DecodedCell NullCell(const char* text) { return {text, TypedValue::Null()}; }

DecodedCell UnhandledFlagsCell(ByteView page, std::int64_t position) {
    char message[64];
    std::snprintf(message, sizeof message, "Unhandled memo field flags = %04x\n",
                  static_cast<unsigned>(LongValueFlagWord(page, position)));
    return NullCell(message);
}

}  // namespace

DecodedCell DecodeMemoValue(const PageSource& pages, ByteView page, std::int64_t position,
                            std::int64_t length, LongValueIssue* issue) {
    LongValueForm form = LongValueForm::TooShort;
    const std::string stored = GatherLongValue(pages, page, position, length, form, issue);
    switch (form) {
        case LongValueForm::TooShort:
        case LongValueForm::RowOutsidePage:
            return NullCell("MEMO");
        case LongValueForm::Unhandled:
            return UnhandledFlagsCell(page, position);
        case LongValueForm::PageOutsideMap:
        case LongValueForm::NotLongValuePage:
        case LongValueForm::RowNotOnPage:
            return NullCell("NULL");
        case LongValueForm::Inline:
        case LongValueForm::SingleRow:
        case LongValueForm::Chain:
            break;
    }
    // Decoded as a whole: the compression marker exists only at the start of
    // the value, and a UCS-2 character may straddle two chain rows.
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size());
    std::string text = DecodeJetText(bytes, 0, static_cast<std::int64_t>(bytes.size()));
    if (text.empty()) return NullCell("NULL");
    return {text, TypedValue::Text(text)};
}

}  // namespace pw
