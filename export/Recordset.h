#pragma once

#include <vector>

#include "engine/TableWriter.h"
#include "records/TypedValue.h"

namespace pw {

// Where the Access export puts the records of one table: one call a record,
// the values by column of the output table. A value the output cannot hold
// comes back refused (the record is stored with that field empty); a
// failure to write at all throws.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual AppendResult Append(const std::vector<TypedValue>& values) = 0;
};

// The records go into a table of a new database.
class TableWriterSink final : public RecordSink {
public:
    explicit TableWriterSink(TableWriter& table) : table_(table) {}
    AppendResult Append(const std::vector<TypedValue>& values) override { return table_.Append(values); }

private:
    TableWriter& table_;
};

}  // namespace pw
