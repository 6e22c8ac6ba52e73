#include "records/OleValue.h"

#include <cstdio>
#include <utility>

#include "records/OleHeader.h"
#include "records/SafeFileName.h"

namespace pw {
namespace {

DecodedCell NullCell(const char* text, ValueProblem problem = ValueProblem::None) {
    return {text, TypedValue::Null(), problem};
}

DecodedCell UnhandledFlagCell(ByteView page, std::int64_t position) {
    char message[64];
    std::snprintf(message, sizeof message, "Unhandled OLE field flag = %04x\n",
                  static_cast<unsigned>(LongValueFlagWord(page, position)));
    return NullCell(message, ValueProblem::UnknownFlags);
}

}  // namespace

DecodedCell DecodeOleValue(const PageSource& pages, ByteView page, std::int64_t position, std::int64_t length,
                           LongValueIssue* issue) {
    if (issue != nullptr) *issue = LongValueIssue::None;
    if (position < 0 || length > kPageSize - position) return NullCell("OLEOBJECT", ValueProblem::CutShort);
    LongValueForm form = LongValueForm::TooShort;
    LongValueIssue found = LongValueIssue::None;
    std::string object = GatherLongValue(pages, page, position, length, form, &found);
    if (issue != nullptr) *issue = found;
    switch (form) {
        case LongValueForm::TooShort:
            return NullCell("OLEOBJECT", ValueProblem::CutShort);
        case LongValueForm::PageOutsideMap:
        case LongValueForm::RowNotOnPage:
        case LongValueForm::RowOutsidePage:
            return NullCell("OLEOBJECT", ValueProblem::PointerBroken);
        case LongValueForm::Unhandled:
            return UnhandledFlagCell(page, position);
        case LongValueForm::NotLongValuePage:
            return NullCell("NULL", ValueProblem::PointerBroken);
        case LongValueForm::Inline:
        case LongValueForm::SingleRow:
        case LongValueForm::Chain:
            break;
    }
    const ValueProblem problem = LongValueProblem(found);
    if (object.empty()) return NullCell("NULL", problem);
    return {"OLEOBJECT", TypedValue::Bytes(std::move(object)), problem};
}

OleContent UnwrapOleObject(const std::string& objectBytes) {
    OleContent content;
    content.payload = objectBytes;
    std::string extension;
    ParseOleHeader(content.payload, extension);
    content.extension = SafeFileExtension(extension);
    return content;
}

}  // namespace pw
