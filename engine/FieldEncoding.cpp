#include "engine/FieldEncoding.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/EngineError.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

using Kind = TypedValue::Kind;

[[noreturn]] void Refuse(const ColumnDesign& column, const std::string& why) {
    throw EngineError("[" + column.name + "]: " + why);
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A decimal number in plain notation: sign, digits, optional point and digits.
struct ParsedDecimal {
    unsigned __int128 magnitude = 0;
    std::int32_t scale = 0;
    bool negative = false;
};

std::optional<ParsedDecimal> ParseDecimal(const std::string& raw) {
    const std::string text = Trimmed(raw);
    ParsedDecimal d;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        if (d.magnitude > (~static_cast<unsigned __int128>(0)) / 20) return std::nullopt;
        d.magnitude = d.magnitude * 10 + static_cast<unsigned>(c - '0');
        if (point) ++d.scale;
        digits = true;
    }
    if (!digits) return std::nullopt;
    return d;
}

unsigned __int128 Pow10(std::int32_t n) {
    unsigned __int128 p = 1;
    for (std::int32_t i = 0; i < n; ++i) p *= 10;
    return p;
}

// The decimal rescaled to `scale` digits; nothing when digits would be lost.
std::optional<ParsedDecimal> Rescaled(ParsedDecimal d, std::int32_t scale) {
    while (d.scale > scale) {
        if (d.magnitude % 10 != 0) return std::nullopt;
        d.magnitude /= 10;
        --d.scale;
    }
    while (d.scale < scale) {
        if (d.magnitude > (~static_cast<unsigned __int128>(0)) / 10) return std::nullopt;
        d.magnitude *= 10;
        ++d.scale;
    }
    return d;
}

std::optional<ParsedDecimal> AsDecimal(const std::string& text, const TypedValue& value) {
    ParsedDecimal d;
    switch (value.kind) {
        case Kind::Decimal:
            d.magnitude = value.decimalMagnitude;
            d.scale = value.decimalScale;
            d.negative = value.decimalNegative;
            return d;
        case Kind::Integer:
            d.negative = value.integer < 0;
            d.magnitude = d.negative ? static_cast<unsigned __int128>(-(value.integer + 1)) + 1
                                     : static_cast<unsigned __int128>(value.integer);
            return d;
        case Kind::Currency:
            d.negative = value.integer < 0;
            d.magnitude = d.negative ? static_cast<unsigned __int128>(-(value.integer + 1)) + 1
                                     : static_cast<unsigned __int128>(value.integer);
            d.scale = 4;
            return d;
        case Kind::Boolean:
            d.negative = value.boolean;
            d.magnitude = value.boolean ? 1 : 0;
            return d;
        default:
            return ParseDecimal(text);
    }
}

std::optional<double> AsDouble(const std::string& text, const TypedValue& value) {
    switch (value.kind) {
        case Kind::Float:
        case Kind::Date: return value.real;
        case Kind::Integer: return static_cast<double>(value.integer);
        case Kind::Currency: return static_cast<double>(value.integer) / 10000.0;
        case Kind::Boolean: return value.boolean ? -1.0 : 0.0;
        case Kind::DateTimeExt: {
            // Days from 0001-01-01 to the Jet epoch, 1899-12-30.
            constexpr double kEpochDays = 693593.0;
            return static_cast<double>(value.integer) / 864'000'000'000.0 - kEpochDays;
        }
        case Kind::Decimal: {
            double m = static_cast<double>(value.decimalMagnitude) / std::pow(10.0, value.decimalScale);
            return value.decimalNegative ? -m : m;
        }
        default: break;
    }
    const std::string t = Trimmed(text);
    double d = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return d;
}

std::optional<std::int64_t> AsInteger(const std::string& text, const TypedValue& value) {
    if (value.kind == Kind::Integer) return value.integer;
    if (value.kind == Kind::Boolean) return value.boolean ? -1 : 0;
    const auto d = AsDecimal(text, value);
    if (!d) return std::nullopt;
    const auto whole = Rescaled(*d, 0);
    if (!whole || whole->magnitude > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    const auto m = static_cast<std::int64_t>(whole->magnitude);
    return whole->negative ? -m : m;
}

StoredBytes LittleEndian(std::uint64_t v, std::size_t size) {
    StoredBytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return out;
}

StoredBytes OfDouble(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return LittleEndian(bits, 8);
}

StoredBytes IntegerField(const ColumnDesign& column, std::int64_t lo, std::int64_t hi, std::size_t size,
                         const std::string& text, const TypedValue& value) {
    const auto i = AsInteger(text, value);
    if (!i) Refuse(column, "\"" + text + "\" is not a whole number");
    if (*i < lo || *i > hi) Refuse(column, std::to_string(*i) + " is out of range");
    return LittleEndian(static_cast<std::uint64_t>(*i), size);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in the byte order FormatGuid shows.
std::optional<std::array<std::uint8_t, 16>> ParseGuid(const std::string& raw) {
    std::string hex;
    for (char c : Trimmed(raw))
        if (c != '{' && c != '}' && c != '-') hex += c;
    if (hex.size() != 32) return std::nullopt;
    std::array<std::uint8_t, 16> shown{};
    for (std::size_t i = 0; i < 16; ++i) {
        const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        shown[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    // The first three groups are shown as little-endian numbers.
    std::array<std::uint8_t, 16> stored = shown;
    const int order[8] = {3, 2, 1, 0, 5, 4, 7, 6};
    for (int i = 0; i < 8; ++i) stored[static_cast<std::size_t>(i)] = shown[static_cast<std::size_t>(order[i])];
    return stored;
}

StoredBytes NumericField(const ColumnDesign& column, const std::string& text, const TypedValue& value) {
    const auto d = AsDecimal(text, value);
    if (!d) Refuse(column, "\"" + text + "\" is not a number");
    const auto scaled = Rescaled(*d, column.scale);
    if (!scaled) Refuse(column, "\"" + text + "\" has more decimal places than the column keeps");
    if (scaled->magnitude >= Pow10(std::max(column.precision, 1)))
        Refuse(column, "\"" + text + "\" has more digits than the column's precision");
    StoredBytes out(17, 0);
    out[0] = scaled->negative && scaled->magnitude != 0 ? 0x80 : 0x00;
    // Four 32-bit little-endian groups, the most significant first.
    for (int group = 0; group < 4; ++group) {
        const auto part = static_cast<std::uint32_t>(scaled->magnitude >> (32 * (3 - group)));
        PutU32(out, 1 + 4 * static_cast<std::size_t>(group), part);
    }
    return out;
}

StoredBytes RawBytes(const std::string& text, const TypedValue& value) {
    const std::string& raw = value.kind == Kind::Bytes ? value.text : text;
    return StoredBytes(raw.begin(), raw.end());
}

// The text a text column stores: the value itself, or the display text of
// another kind.
std::string TextOf(const std::string& text, const TypedValue& value) {
    return value.kind == Kind::Text ? value.text : text;
}

}  // namespace

EncodedField EncodeField(const ColumnDesign& column, const std::string& text, const TypedValue& value) {
    EncodedField f;
    f.present = true;
    switch (column.typeCode) {
        case ColumnType::Bit: {
            if (value.kind == Kind::Boolean) {
                f.bit = value.boolean;
            } else if (const auto i = AsInteger(text, value)) {
                f.bit = *i != 0;
            } else {
                const std::string t = Trimmed(text);
                if (t == "True" || t == "true" || t == "Yes" || t == "yes") f.bit = true;
                else if (t == "False" || t == "false" || t == "No" || t == "no") f.bit = false;
                else Refuse(column, "\"" + text + "\" is not a yes/no value");
            }
            return f;
        }
        case ColumnType::Byte: f.bytes = IntegerField(column, 0, 255, 1, text, value); return f;
        case ColumnType::Int: f.bytes = IntegerField(column, -32768, 32767, 2, text, value); return f;
        case ColumnType::Long:
            f.bytes = IntegerField(column, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max(), 4, text, value);
            return f;
        case ColumnType::Currency: {
            const auto d = AsDecimal(text, value);
            std::optional<ParsedDecimal> scaled;
            if (d) scaled = Rescaled(*d, 4);
            if (!scaled && value.kind == Kind::Float) {
                ParsedDecimal r;
                const double t = std::round(value.real * 10000.0);
                r.negative = t < 0;
                r.magnitude = static_cast<unsigned __int128>(std::fabs(t));
                scaled = r;
            }
            if (!scaled) Refuse(column, "\"" + text + "\" is not a currency amount");
            if (scaled->magnitude > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()))
                Refuse(column, "\"" + text + "\" is out of range");
            const auto m = static_cast<std::int64_t>(scaled->magnitude);
            f.bytes = LittleEndian(static_cast<std::uint64_t>(scaled->negative ? -m : m), 8);
            return f;
        }
        case ColumnType::Single: {
            const auto d = AsDouble(text, value);
            if (!d) Refuse(column, "\"" + text + "\" is not a number");
            const auto single = static_cast<float>(*d);
            std::uint32_t bits = 0;
            std::memcpy(&bits, &single, sizeof bits);
            f.bytes = LittleEndian(bits, 4);
            return f;
        }
        case ColumnType::Double:
        case ColumnType::Date: {
            const auto d = AsDouble(text, value);
            if (!d) Refuse(column, "\"" + text + "\" is not a number or date");
            f.bytes = OfDouble(*d);
            return f;
        }
        case ColumnType::Guid: {
            if (value.kind == Kind::Guid) {
                f.bytes.assign(value.guid.begin(), value.guid.end());
                return f;
            }
            const auto g = ParseGuid(text);
            if (!g) Refuse(column, "\"" + text + "\" is not a GUID");
            f.bytes.assign(g->begin(), g->end());
            return f;
        }
        case ColumnType::Numeric: f.bytes = NumericField(column, text, value); return f;
        case ColumnType::Text:
        case ColumnType::Memo: f.bytes = EncodeJetText(TextOf(text, value)); return f;
        case ColumnType::Binary:
        case ColumnType::OleObject: f.bytes = RawBytes(text, value); return f;
        default: Refuse(column, "the column's type cannot be written");
    }
}

}  // namespace pw
