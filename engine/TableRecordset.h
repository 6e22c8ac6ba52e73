#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/FieldEncoding.h"
#include "records/Recordset.h"

namespace pw {

class Database;
class TableWriter;

// An updatable recordset over one new table: AddNew opens a pending record,
// SetFieldValue converts a value to its field's type and places it, Update
// stores the record. A pending record never stored is discarded on Close.
// Refusals raise EngineError (a RecordsetError for the export's row walk).
class TableRecordset : public Recordset {
public:
    TableRecordset(Database& database, TableWriter& table);

    void AddNew() override;
    void SetFieldValue(const std::string& columnName, const std::string& text, const TypedValue& value) override;
    void Update() override;
    void Close();

    // On by default: an auto-number field left unset gets the next number.
    // A copy of recovered rows turns it off, so that a missing value stays
    // missing rather than being made up.
    void SetAssignAutoNumbers(bool assign) { assignAutoNumbers_ = assign; }

    bool IsOpen() const { return open_; }
    bool HasPending() const { return pending_; }
    std::int64_t storedRecords() const { return stored_; }

private:
    Database& database_;
    TableWriter& table_;
    std::unordered_map<std::string, std::size_t> byName_;
    std::vector<EncodedField> fields_;
    bool pending_ = false;
    bool open_ = true;
    bool assignAutoNumbers_ = true;
    std::int64_t stored_ = 0;
};

}  // namespace pw
