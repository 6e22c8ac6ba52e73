#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

class ComplexColumnIndex;

// What value decoding needs beyond the page in hand: the pages long values
// live on, and where damage goes with the place of the row being decoded.
struct ValueContext {
    const PageSource* pages = nullptr;
    const RunControl* run = nullptr;
    std::int32_t page = -1;
    std::int32_t slot = -1;
    const std::string* table = nullptr;
    // Where complex columns (attachments, multi-value) find their values, and
    // the definition page of the table being decoded. Without an index a
    // complex cell keeps its stored id (see DecodeComplexValue).
    const ComplexColumnIndex* complex = nullptr;
    std::int32_t tdefPage = -1;
};

// Decodes one column value chosen by the column's type code. The cell text
// starts as the type name; unknown types keep it and give -1, every other type
// gives 1 with the decoder's text and typed value. OLE objects come back as
// their stored bytes; nothing is written anywhere.
int DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                std::int64_t length, DecodedCell& out);

// The same with the column's own length, for fixed-length columns.
int DecodeFixedValue(const ValueContext& context, ByteView page, const ColumnInfo& column, std::int64_t position,
                     DecodedCell& out);

}  // namespace pw
