#pragma once

#include <string>

#include "engine/StoredBytes.h"
#include "engine/TableDesign.h"
#include "records/TypedValue.h"

namespace pw {

// A field value as the row stores it.
struct EncodedField {
    bool present = false;  // false: NULL
    bool bit = false;      // BIT columns keep their value in the null mask
    // Fixed columns: exactly the column's size. TEXT and BINARY: the stored
    // bytes. MEMO and OLEOBJECT: the data the long value holds.
    StoredBytes bytes;
};

// Converts a typed value to the column's type; a Null value is a NULL field.
// Numbers convert between kinds where no digit is lost; a kind the column
// cannot hold (a text into a number column, ...) is never parsed or guessed
// at. Throws EngineError with the reason when the value cannot be held by the
// column without loss: out of range, more decimal places than the column
// keeps, another kind of value.
EncodedField EncodeField(const ColumnDesign& column, const TypedValue& value);

}  // namespace pw
