#include "records/ScalarDecoders.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "pagestore/FieldReaders.h"
#include "pagestore/TextDecoding.h"
#include "records/ExtendedDateTime.h"
#include "records/NumberText.h"
#include "records/ValueBounds.h"

namespace pw {
namespace {

DecodedCell IntegerCell(std::int64_t value) { return {std::to_string(value), TypedValue::Integer(value)}; }

DecodedCell EmptyCell() { return {}; }

}  // namespace

DecodedCell DecodeByteValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 0)) return EmptyCell();
    return IntegerCell(ReadInt8(page, position) & 0xFF);
}

DecodedCell DecodeIntValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 2)) return EmptyCell();
    return IntegerCell(static_cast<std::int16_t>(ReadUInt16(page, position)));
}

DecodedCell DecodeLongValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 4)) return EmptyCell();
    return IntegerCell(ReadInt32(page, position));
}

DecodedCell DecodeBigIntValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 8)) return EmptyCell();
    return IntegerCell(ReadInt64(page, position));
}

DecodedCell DecodeCurrencyValue(ByteView page, std::int64_t position) {
    if (!StartsAndEndsBefore(page, position, 8)) return EmptyCell();
    const std::int64_t value = ReadInt64(page, position);
    return {FormatCurrency(value), TypedValue::Currency(value)};
}

DecodedCell DecodeBinaryValue(ByteView page, std::int64_t position, std::int64_t length) {
    const std::int64_t size = static_cast<std::int64_t>(page.size());
    if (position < 0 || length < 0 || length > size - position) return {"BINARY", TypedValue::Null()};
    std::string bytes = ExtractRawText(page, position, length);
    return {bytes, TypedValue::Bytes(bytes)};
}

DecodedCell DecodeTextValue(ByteView page, std::int64_t position, std::int64_t length) {
    // A value that starts past the page has nothing inside it; the text
    // reader is not handed such positions at all.
    const bool startsInside = position < static_cast<std::int64_t>(page.size());
    std::string text = startsInside ? DecodeJetText(page, position, length) : std::string();
    std::string cell = text.empty() || text == "#TEXT" ? std::string("NULL") : text;
    return {std::move(cell), TypedValue::Text(std::move(text))};
}

DecodedCell DecodeGuidValue(ByteView page, std::int64_t position) {
    TypedValue value;
    value.kind = TypedValue::Kind::Guid;
    if (position <= std::numeric_limits<std::int64_t>::max() - 16)
        for (std::size_t i = 0; i < value.guid.size(); ++i)
            value.guid[i] =
                static_cast<std::uint8_t>(ReadInt8(page, position + static_cast<std::int64_t>(i)));
    std::string text = FormatGuid(value.guid);
    return {std::move(text), std::move(value)};
}

std::string FormatGuid(const std::array<std::uint8_t, 16>& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return text;
}

DecodedCell DecodeDateTimeExtValue(ByteView page, std::int64_t position) {
    const std::optional<std::int64_t> ticks = ReadExtendedDateTime(page, position);
    if (!ticks) return EmptyCell();
    return {FormatExtendedDateTime(*ticks), TypedValue::DateTimeExt(*ticks)};
}

}  // namespace pw
