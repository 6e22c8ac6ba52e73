#include "engine/FieldEncoding.h"

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
    throw ValueRefused("[" + column.name + "]: " + why);
}

// A decimal as magnitude, digits after the point and sign.
struct ParsedDecimal {
    unsigned __int128 magnitude = 0;
    std::int32_t scale = 0;
    bool negative = false;
};

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

std::optional<ParsedDecimal> AsDecimal(const TypedValue& value) {
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
        default: return std::nullopt;
    }
}

std::optional<double> AsDouble(const TypedValue& value) {
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
        default: return std::nullopt;
    }
}

std::optional<std::int64_t> AsInteger(const TypedValue& value) {
    if (value.kind == Kind::Integer) return value.integer;
    if (value.kind == Kind::Boolean) return value.boolean ? -1 : 0;
    const auto d = AsDecimal(value);
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

const char* KindName(TypedValue::Kind kind) {
    switch (kind) {
        case Kind::Null: return "null";
        case Kind::Boolean: return "yes/no";
        case Kind::Integer: return "whole-number";
        case Kind::Float: return "floating-point";
        case Kind::Currency: return "currency";
        case Kind::Decimal: return "decimal";
        case Kind::Date: return "date";
        case Kind::Text: return "text";
        case Kind::Bytes: return "binary";
        case Kind::Guid: return "GUID";
        case Kind::List: return "list";
        case Kind::DateTimeExt: return "extended-date";
    }
    return "unknown";
}

[[noreturn]] void RefuseKind(const ColumnDesign& column, const TypedValue& value, const char* what) {
    Refuse(column, std::string("a ") + KindName(value.kind) + " value is not " + what);
}

StoredBytes IntegerField(const ColumnDesign& column, std::int64_t lo, std::int64_t hi, std::size_t size,
                         const TypedValue& value) {
    const auto i = AsInteger(value);
    if (!i) RefuseKind(column, value, "a whole number");
    if (*i < lo || *i > hi) Refuse(column, std::to_string(*i) + " is out of range");
    return LittleEndian(static_cast<std::uint64_t>(*i), size);
}

std::string DecimalText(const ParsedDecimal& d) {
    // Digits from the last one up, the point after `scale` of them.
    std::string reversed;
    unsigned __int128 m = d.magnitude;
    for (std::int32_t i = 0; m != 0 || i <= d.scale; ++i) {
        if (i == d.scale && d.scale > 0) reversed.push_back('.');
        reversed.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    }
    if (d.negative) reversed.push_back('-');
    return std::string(reversed.rbegin(), reversed.rend());
}

StoredBytes NumericField(const ColumnDesign& column, const TypedValue& value) {
    const auto d = AsDecimal(value);
    if (!d) RefuseKind(column, value, "a number");
    const auto scaled = Rescaled(*d, column.scale);
    if (!scaled) Refuse(column, DecimalText(*d) + " has more decimal places than the column keeps");
    if (scaled->magnitude >= Pow10(std::max(column.precision, 1)))
        Refuse(column, DecimalText(*d) + " has more digits than the column's precision");
    StoredBytes out(17, 0);
    out[0] = scaled->negative && scaled->magnitude != 0 ? 0x80 : 0x00;
    // Four 32-bit little-endian groups, the most significant first.
    for (int group = 0; group < 4; ++group) {
        const auto part = static_cast<std::uint32_t>(scaled->magnitude >> (32 * (3 - group)));
        PutU32(out, 1 + 4 * static_cast<std::size_t>(group), part);
    }
    return out;
}

}  // namespace

EncodedField EncodeField(const ColumnDesign& column, const TypedValue& value) {
    EncodedField f;
    if (value.kind == Kind::Null) return f;
    f.present = true;
    switch (column.typeCode) {
        case ColumnType::Bit: {
            if (value.kind == Kind::Boolean) {
                f.bit = value.boolean;
            } else if (const auto i = AsInteger(value)) {
                f.bit = *i != 0;
            } else {
                RefuseKind(column, value, "a yes/no value");
            }
            return f;
        }
        case ColumnType::Byte: f.bytes = IntegerField(column, 0, 255, 1, value); return f;
        case ColumnType::Int: f.bytes = IntegerField(column, -32768, 32767, 2, value); return f;
        case ColumnType::Long:
            f.bytes = IntegerField(column, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max(), 4, value);
            return f;
        case ColumnType::Currency: {
            const auto d = AsDecimal(value);
            std::optional<ParsedDecimal> scaled;
            if (d) scaled = Rescaled(*d, 4);
            if (d && !scaled) Refuse(column, DecimalText(*d) + " has more decimal places than a currency keeps");
            if (!scaled && value.kind == Kind::Float) {
                if (!std::isfinite(value.real)) Refuse(column, "a floating-point value that is not finite");
                ParsedDecimal r;
                const double t = std::round(value.real * 10000.0);
                if (std::fabs(t) >= 9.2e18) Refuse(column, "the amount is out of range");
                r.negative = t < 0;
                r.magnitude = static_cast<unsigned __int128>(std::fabs(t));
                scaled = r;
            }
            if (!scaled) RefuseKind(column, value, "a currency amount");
            if (scaled->magnitude > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()))
                Refuse(column, DecimalText(*scaled) + " is out of range");
            const auto m = static_cast<std::int64_t>(scaled->magnitude);
            f.bytes = LittleEndian(static_cast<std::uint64_t>(scaled->negative ? -m : m), 8);
            return f;
        }
        case ColumnType::Single: {
            const auto d = AsDouble(value);
            if (!d) RefuseKind(column, value, "a number");
            const auto single = static_cast<float>(*d);
            std::uint32_t bits = 0;
            std::memcpy(&bits, &single, sizeof bits);
            f.bytes = LittleEndian(bits, 4);
            return f;
        }
        case ColumnType::Double:
        case ColumnType::Date: {
            const auto d = AsDouble(value);
            if (!d) RefuseKind(column, value, "a number or date");
            f.bytes = OfDouble(*d);
            return f;
        }
        case ColumnType::Guid: {
            if (value.kind != Kind::Guid) RefuseKind(column, value, "a GUID");
            f.bytes.assign(value.guid.begin(), value.guid.end());
            return f;
        }
        case ColumnType::Numeric: f.bytes = NumericField(column, value); return f;
        case ColumnType::Text:
        case ColumnType::Memo:
            if (value.kind != Kind::Text) RefuseKind(column, value, "a text");
            f.bytes = EncodeJetText(value.text);
            return f;
        case ColumnType::Binary:
        case ColumnType::OleObject:
            if (value.kind != Kind::Bytes) RefuseKind(column, value, "binary data");
            f.bytes.assign(value.text.begin(), value.text.end());
            return f;
        default: Refuse(column, "the column's type cannot be written");
    }
}

}  // namespace pw
