#include "records/OleValue.h"

#include <cstdio>
#include <utility>

#include "records/OleHeader.h"
#include "records/SafeFileName.h"

namespace pw {
namespace {

DecodedCell NullCell(const char* text) { return {text, TypedValue::Null()}; }

DecodedCell UnhandledFlagCell(ByteView page, std::int64_t position) {
    char message[64];
    std::snprintf(message, sizeof message, "Unhandled OLE field flag = %04x\n",
                  static_cast<unsigned>(LongValueFlagWord(page, position)));
    return NullCell(message);
}

}  // namespace

DecodedCell DecodeOleValue(const PageSource& pages, ByteView page, std::int64_t position, std::int64_t length,
                           LongValueIssue* issue) {
    if (issue != nullptr) *issue = LongValueIssue::None;
    if (position < 0 || length > kPageSize - position) return NullCell("OLEOBJECT");
    LongValueForm form = LongValueForm::TooShort;
    std::string object = GatherLongValue(pages, page, position, length, form, issue);
    switch (form) {
        case LongValueForm::TooShort:
        case LongValueForm::PageOutsideMap:
        case LongValueForm::RowNotOnPage:
        case LongValueForm::RowOutsidePage:
            return NullCell("OLEOBJECT");
        case LongValueForm::Unhandled:
            return UnhandledFlagCell(page, position);
        case LongValueForm::NotLongValuePage:
            return NullCell("NULL");
        case LongValueForm::Inline:
        case LongValueForm::SingleRow:
        case LongValueForm::Chain:
            break;
    }
    if (object.empty()) return NullCell("NULL");
    return {"OLEOBJECT", TypedValue::Bytes(std::move(object))};
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
