#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/ValueProblem.h"

namespace pw {

// A decoded value as what it is, beside the cell text that the preview and the
// CSV export show. Exports read this, never the display text.
struct TypedValue {
    enum class Kind { Null, Boolean, Integer, Float, Currency, Decimal, Date, Text, Bytes, Guid, List, DateTimeExt };

    Kind kind = Kind::Null;
    bool boolean = false;
    // Integer: the value. Currency: count of ten-thousandths (signed).
    // DateTimeExt: 100-nanosecond ticks since 0001-01-01 00:00:00.
    std::int64_t integer = 0;
    // Float: the value (a single widened exactly). Date: the stored double,
    // days since 1899-12-30 with the time of day as fraction.
    double real = 0.0;
    bool isSingle = false;
    // Decimal: magnitude, scale (digits after the point) and sign.
    unsigned __int128 decimalMagnitude = 0;
    std::int32_t decimalScale = 0;
    bool decimalNegative = false;
    // Text: UTF-8. Bytes: the raw stored bytes.
    std::string text;
    // Guid: the 16 bytes as stored.
    std::array<std::uint8_t, 16> guid{};
    // List: the values of a complex column (attachments, multi-value) in
    // stored order, each typed as its value column. An attachment is a Bytes
    // item holding the file's content, with the stored file name in `name`.
    std::vector<TypedValue> items;
    std::string name;

    static TypedValue Null() { return {}; }
    static TypedValue Boolean(bool b) {
        TypedValue v;
        v.kind = Kind::Boolean;
        v.boolean = b;
        return v;
    }
    static TypedValue Integer(std::int64_t i) {
        TypedValue v;
        v.kind = Kind::Integer;
        v.integer = i;
        return v;
    }
    static TypedValue Float(double d, bool single) {
        TypedValue v;
        v.kind = Kind::Float;
        v.real = d;
        v.isSingle = single;
        return v;
    }
    static TypedValue Currency(std::int64_t tenThousandths) {
        TypedValue v;
        v.kind = Kind::Currency;
        v.integer = tenThousandths;
        return v;
    }
    static TypedValue Date(double serial) {
        TypedValue v;
        v.kind = Kind::Date;
        v.real = serial;
        return v;
    }
    static TypedValue Text(std::string utf8) {
        TypedValue v;
        v.kind = Kind::Text;
        v.text = std::move(utf8);
        return v;
    }
    static TypedValue Bytes(std::string raw) {
        TypedValue v;
        v.kind = Kind::Bytes;
        v.text = std::move(raw);
        return v;
    }
    static TypedValue DateTimeExt(std::int64_t ticks) {
        TypedValue v;
        v.kind = Kind::DateTimeExt;
        v.integer = ticks;
        return v;
    }
    static TypedValue List(std::vector<TypedValue> values) {
        TypedValue v;
        v.kind = Kind::List;
        v.items = std::move(values);
        return v;
    }
};

// What a value decoder produces: the cell text, the typed value and, when
// the value could not be read in full, why. The cell text is for a person
// (the preview); exports read the value and the problem.
struct DecodedCell {
    std::string text;
    TypedValue value;
    ValueProblem problem = ValueProblem::None;
};

}  // namespace pw
