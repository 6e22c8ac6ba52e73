#include "records/OleExtraction.h"

#include <cstdio>
#include <fstream>
#include <system_error>
#include <utility>

#include "records/LongValueGather.h"
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

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

OleExtractor::OleExtractor(std::filesystem::path folder) : folder_(std::move(folder)) {}

int OleExtractor::oleFileCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return oleFileCount_;
}

DecodedCell OleExtractor::Decode(const PageSource& pages, ByteView page, std::int64_t position,
                                 std::int64_t length) {
    if (position < 0 || length > kPageSize - position) return NullCell("OLEOBJECT");
    LongValueForm form = LongValueForm::TooShort;
    std::string object = GatherLongValue(pages, page, position, length, form);
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
    // An empty file would only be a name without an object behind it.
    if (object.empty()) return NullCell("NULL");
    std::string path = WriteObject(object);
    return {std::move(path), TypedValue::Bytes(std::move(object))};
}

std::string OleExtractor::WriteObject(const std::string& objectBytes) {
    std::string payload = objectBytes;
    std::string extension;
    ParseOleHeader(payload, extension);

    std::lock_guard<std::mutex> lock(mutex_);
    ++oleFileCount_;
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    const std::filesystem::path file =
        folder_ / ("Ole" + std::to_string(oleFileCount_) + "." + SafeFileExtension(extension));
    // A file that cannot be written still leaves the row readable.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
    return Utf8Path(file);
}

}  // namespace pw
