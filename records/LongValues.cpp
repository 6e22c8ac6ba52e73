#include "records/LongValues.h"

#include <cstdio>
#include <string>

#include "pagestore/TextDecoding.h"
#include "records/LongValueGather.h"

namespace pw {
namespace {

DecodedCell NullCell(const char* text, ValueProblem problem = ValueProblem::None) {
    return {text, TypedValue::Null(), problem};
}

DecodedCell UnhandledFlagsCell(ByteView page, std::int64_t position) {
    char message[64];
    std::snprintf(message, sizeof message, "Unhandled memo field flags = %04x\n",
                  static_cast<unsigned>(LongValueFlagWord(page, position)));
    return NullCell(message, ValueProblem::UnknownFlags);
}

}  // namespace

DecodedCell DecodeMemoValue(const PageSource& pages, ByteView page, std::int64_t position,
                            std::int64_t length, LongValueIssue* issue) {
    LongValueForm form = LongValueForm::TooShort;
    LongValueIssue found = LongValueIssue::None;
    const std::string stored = GatherLongValue(pages, page, position, length, form, &found);
    if (issue != nullptr) *issue = found;
    switch (form) {
        case LongValueForm::TooShort:
            return NullCell("MEMO", ValueProblem::CutShort);
        case LongValueForm::RowOutsidePage:
            return NullCell("MEMO", ValueProblem::PointerBroken);
        case LongValueForm::Unhandled:
            return UnhandledFlagsCell(page, position);
        case LongValueForm::PageOutsideMap:
        case LongValueForm::NotLongValuePage:
        case LongValueForm::RowNotOnPage:
            return NullCell("NULL", ValueProblem::PointerBroken);
        case LongValueForm::Inline:
        case LongValueForm::SingleRow:
        case LongValueForm::Chain:
            break;
    }
    // Decoded as a whole: the compression marker exists only at the start of
    // the value, and a UCS-2 character may straddle two chain rows.
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size());
    std::string text = DecodeJetText(bytes, 0, static_cast<std::int64_t>(bytes.size()));
    // A chain that broke or looped keeps the rows read before: they are the
    // user's text, cut short, and the problem says so.
    const ValueProblem problem = LongValueProblem(found);
    if (text.empty()) return NullCell("NULL", problem);
    return {text, TypedValue::Text(text), problem};
}

}  // namespace pw
