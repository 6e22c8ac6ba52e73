#pragma once

#include <cstdint>
#include <vector>

namespace pw {

// The stored bytes of one column in the rows sampled from a table whose
// definition is lost: one pointer per row that holds a value, each to as
// many bytes as the reading asks for.
using StoredValues = std::vector<const unsigned char*>;

// How likely a column's bytes are values of one type: the bytes the reading
// accounts for over all values (values that are all zero count for nothing),
// or a negative number when some value cannot be of that type.
using ReadingScore = double (*)(const StoredValues&);

struct ValueReading {
    std::int32_t type;    // column type code
    std::int32_t length;  // bytes a value takes
    ReadingScore score;
};

enum class ReadingGrain {
    Finest,  // every reading
    Fine,    // no Bytes: for when the finest split gives more columns than the rows have numbers
    Coarse,  // no Integers either
};

// Dates, Currency, Doubles, Longs, Integers and Bytes, in the order that
// wins between equal scores:
//   - a date: days between 1800 and 2199 on whole seconds, most after 1910;
//   - Currency: whole numbers of ten-thousandths that are whole cents, of a
//     size people store;
//   - a Double: normal numbers of a size people store;
//   - a Long: a counter (positive and distinct) or moderate whole numbers,
//     unless (Fine) its halves are two small counts in every row;
//   - an Integer (Fine): whole numbers up to 9999, unless (Finest) its bytes
//     are two small codes in every row;
//   - a Byte (Finest): codes and counts up to 100.
// Between two alignments of the same reading, the one with the smaller
// values scores higher.
const std::vector<ValueReading>& ValueReadings(ReadingGrain grain);

// The best reading of values that are all `length` bytes long, or null when
// none fits every value.
const ValueReading* BestReading(const StoredValues& values, std::int32_t length);

}  // namespace pw
