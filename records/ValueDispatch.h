#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/OleExtraction.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"

namespace pw {

// What value decoding needs beyond the page in hand.
struct ValueContext {
    const PageSource* pages = nullptr;
    // Where OLE objects are written; without one, OLE cells carry the stored
    // object as their typed value and the text "OLEOBJECT", and no file is written.
    OleExtractor* ole = nullptr;
};

// Decodes one column value chosen by the column's type code. The cell text
// starts as the type name; unknown types keep it and give -1, every other type
// gives 1 with the decoder's text and typed value.
int DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                std::int64_t length, DecodedCell& out);

// The same with the column's own length, for fixed-length columns.
int DecodeFixedValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                     DecodedCell& out);

}  // namespace pw
