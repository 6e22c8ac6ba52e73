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

// Converts a value to the column's type. The typed value is used wherever it
// has a kind; the text only where a text is all there is (a NULL typed value,
// a text column fed another kind, a text field fed a number, …). Throws
// EngineError when the value cannot be held by the column without loss:
// out of range, not a number, more decimal places than the column keeps.
EncodedField EncodeField(const ColumnDesign& column, const std::string& text, const TypedValue& value);

}  // namespace pw
