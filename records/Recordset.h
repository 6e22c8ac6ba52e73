#pragma once

#include <stdexcept>
#include <string>

#include "records/TypedValue.h"

namespace pw {

// Raised by a recordset when an operation fails; callers catch it whole.
class RecordsetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The pending-record side of an output table that the Access export fills:
// AddNew opens a pending record, SetFieldValue fills one field of it, Update
// stores it. A pending record that is never stored is discarded when the
// recordset closes.
class Recordset {
public:
    virtual ~Recordset() = default;
    virtual void AddNew() = 0;
    // The cell text as shown (sanitised) and the typed value beside it; for an
    // OLE column the typed value holds the object's content, cut out of its wrapper.
    virtual void SetFieldValue(const std::string& columnName, const std::string& text, const TypedValue& value) = 0;
    virtual void Update() = 0;
};

}  // namespace pw
