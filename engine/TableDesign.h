#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pw {

// A column as the engine writes it into a table definition.
struct ColumnDesign {
    std::string name;           // UTF-8; stored as UTF-16
    std::int32_t typeCode = 0;  // the stored type code (schema/ColumnTypes.h)
    // Stored size in bytes: twice the characters for TEXT, the byte count for
    // BINARY, the value size for fixed types, 0 for MEMO and OLEOBJECT.
    std::int32_t length = 0;
    std::int32_t precision = 0;  // NUMERIC only
    std::int32_t scale = 0;
    bool autoNumber = false;     // COUNTER
};

struct TableDesign {
    std::string name;
    std::vector<ColumnDesign> columns;
    // What the statement asked for that the file format cannot hold as such,
    // and what was made of it instead, one line each.
    std::vector<std::string> notes;
    // The definition is padded with zeros to this many bytes (system tables:
    // readers recognise a Jet 4 file by the free space Access leaves on their
    // definition pages).
    std::size_t definitionSize = 0;
};

}  // namespace pw
