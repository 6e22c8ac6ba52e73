#pragma once

#include <cstdint>
#include <string>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// What value decoding needs beyond the page in hand: the pages long values
// live on, and where damage goes with the place of the row being decoded.
struct ValueContext {
    const PageSource* pages = nullptr;
    const RunControl* run = nullptr;
    std::int32_t page = -1;
    std::int32_t slot = -1;
    const std::string* table = nullptr;
};

// Decodes one column value chosen by the column's type code into `out`: the
// cell text, the typed value and the problem of a value that could not be
// read in full. A problem is reported to the run control as damage, with the
// row's place and the column. A type without a decoder keeps its type name
// as the cell text and its stored bytes as the value (Bytes). OLE objects
// come back as their stored bytes; nothing is written anywhere. Returns
// out.problem.
ValueProblem DecodeValue(const ValueContext& context, ByteView page, const ColumnInfo& column,
                         std::int64_t position, std::int64_t length, DecodedCell& out);

// The same with the column's own length, for fixed-length columns.
ValueProblem DecodeFixedValue(const ValueContext& context, ByteView page, const ColumnInfo& column,
                              std::int64_t position, DecodedCell& out);

}  // namespace pw
