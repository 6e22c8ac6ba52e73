#pragma once

#include <string>

#include "engine/TableDesign.h"

namespace pw {

// Parses the CREATE TABLE statements the export composes:
//   CREATE TABLE [name] ( [column] TYPE, ... );
// with the type words BIT BYTE INT LONG COUNTER CURRENCY SINGLE DOUBLE DATE
// BINARY TEXT(n) OLEOBJECT MEMO GUID NUMERIC(p,s) DECIMAL(p,s) BIGINT and
// DATETIMEEXT. Names are taken between the brackets as they stand, so a name
// may hold any character but the closing bracket followed by a blank, comma
// or parenthesis. Jet 4 has no 64-bit integer and no extended date: BIGINT
// becomes DECIMAL(19,0) and DATETIMEEXT a TEXT(27) holding the value's text,
// each noted in the result. Anything else throws EngineError.
TableDesign ParseCreateTable(const std::string& sql);

}  // namespace pw
