#include "records/InferredValue.h"

#include <string>

#include "pagestore/FieldReaders.h"
#include "pagestore/TextDecoding.h"
#include "records/ScalarDecoders.h"

namespace pw {
namespace {

bool PlausibleCodePoints(const std::string& utf8) {
    for (char32_t cp : Utf8CodePoints(utf8)) {
        if (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') return false;
        // U+FFFD stands for a lone surrogate here.
        if (cp == 0xFFFD || cp == 0xFFFE || cp == 0xFFFF) return false;
    }
    return true;
}

bool UnusedBytesZero(ByteView page, std::int64_t position) {
    return ReadInt32(page, position + 8) == 0;
}

// A pointer to long-value rows, as far as can be told without following it.
bool LooksLikeLongValuePointer(const PageSource& pages, ByteView page, std::int64_t position, std::int64_t length) {
    if (length != kLongValueHeaderSize || !UnusedBytesZero(page, position)) return false;
    const auto flag = static_cast<std::uint8_t>(ReadInt8(page, position + 3));
    if (flag != kLongValueSingleRow && flag != kLongValueChain) return false;
    if (ReadUInt24(page, position) == 0) return false;
    const std::int32_t row = ReadInt8(page, position + 4);
    const std::int64_t target = ReadUInt24(page, position + 5);
    const PageMap& map = pages.Map();
    if (target <= 0 || target >= static_cast<std::int64_t>(map.size())) return false;
    const PageMapEntry& entry = map[static_cast<std::size_t>(target)];
    return entry.link == kLongValueLink && row >= 0 && row < entry.rowCount;
}

bool LooksLikeInlineLongValue(ByteView page, std::int64_t position, std::int64_t length) {
    if (length < kLongValueHeaderSize || !UnusedBytesZero(page, position)) return false;
    return static_cast<std::uint8_t>(ReadInt8(page, position + 3)) == kLongValueInline &&
           ReadInt32(page, position + 4) == 0 && ReadUInt24(page, position) == length - kLongValueHeaderSize;
}

DecodedCell StoredBytesCell(const std::string& stored) {
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size());
    const auto size = static_cast<std::int64_t>(stored.size());
    if (size > 0 && LooksLikeStoredText(bytes, 0, size)) {
        std::string text = DecodeJetText(bytes, 0, size);
        return {text, TypedValue::Text(text)};
    }
    return {stored, TypedValue::Bytes(stored)};
}

}  // namespace

bool LooksLikeStoredText(ByteView bytes, std::int64_t position, std::int64_t length) {
    if (length == 0) return true;
    if (position < 0 || length < 0 || length > static_cast<std::int64_t>(bytes.size()) - position) return false;
    if (!HasCompressedTextMarker(bytes, position, length) && length % 2 != 0) return false;
    return PlausibleCodePoints(DecodeJetText(bytes, position, length));
}

DecodedCell DecodeInferredValue(const PageSource* pages, ByteView page, std::int64_t position, std::int64_t length,
                                LongValueIssue* issue) {
    if (issue != nullptr) *issue = LongValueIssue::None;
    const std::int64_t size = static_cast<std::int64_t>(page.size());
    if (position < 0 || length < 0 || length > size - position)
        return {"BINARY", TypedValue::Null(), ValueProblem::CutShort};
    const bool pointer = pages != nullptr && LooksLikeLongValuePointer(*pages, page, position, length);
    if (pointer || LooksLikeInlineLongValue(page, position, length)) {
        LongValueForm form = LongValueForm::TooShort;
        LongValueIssue found = LongValueIssue::None;
        std::string stored;
        if (pointer) {
            stored = GatherLongValue(*pages, page, position, length, form, &found);
        } else {
            stored = ExtractRawText(page, position + kLongValueHeaderSize, length - kLongValueHeaderSize);
        }
        if (issue != nullptr) *issue = found;
        if (stored.empty()) return {"NULL", TypedValue::Null(), LongValueProblem(found)};
        DecodedCell cell = StoredBytesCell(stored);
        cell.problem = LongValueProblem(found);
        return cell;
    }
    if (LooksLikeStoredText(page, position, length)) return DecodeTextValue(page, position, length);
    return DecodeBinaryValue(page, position, length);
}

}  // namespace pw
