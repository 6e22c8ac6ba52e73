#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pagestore/ByteView.h"
#include "pagestore/PageSource.h"
#include "records/TypedValue.h"
#include "schema/TableInfo.h"
#include "status/RunControl.h"

namespace pw {

// Between the items of a complex cell's text (file names, values).
inline constexpr const char* kComplexItemSeparator = "; ";

// What a complex column (type code 18) holds.
enum class ComplexKind {
    Attachment,  // files: the hidden table has FileData and FileName
    MultiValue,  // values of one or more value columns
    // The earlier texts of an append-only memo, each with the time it was
    // replaced: a memo and a date value column.
    VersionHistory,
};

// What a linked complex column holds, as a listing of columns names it.
struct ComplexColumnShape {
    ComplexKind kind = ComplexKind::MultiValue;
    // The hidden table's columns that hold the values, in definition order.
    std::vector<ColumnInfo> valueColumns;
};

// Access 2007 and later keep the values of a complex column in a hidden table
// of their own: the row of the user table stores a 4-byte id, and the hidden
// ("flat") table holds one row per value, with a column "_<name>" that names
// that id. MSysComplexColumns links each column (its table's definition page
// and its name) to the definition page of its flat table.
//
// The index reads MSysComplexColumns once, when it is made; each flat table
// is walked once, on its first lookup, to learn which of its rows belong to
// which id. Lookups read those rows again, so memory holds the values of one
// cell at a time. Safe to share between threads.
class ComplexColumnIndex {
public:
    // Damage met while reading the hidden tables and the attachments goes to
    // `run`; its progress sink is not told.
    ComplexColumnIndex(const PageSource& pages, const RunControl& run);
    ~ComplexColumnIndex();
    ComplexColumnIndex(const ComplexColumnIndex&) = delete;
    ComplexColumnIndex& operator=(const ComplexColumnIndex&) = delete;

    // The number of columns MSysComplexColumns links to a readable flat table.
    std::size_t linkedColumns() const;
    // Nothing when the column is not linked.
    std::optional<ComplexColumnShape> ShapeOf(std::int32_t tableDefinitionPage,
                                              const std::string& columnName) const;

    // The values of the cell whose stored id is `id`: the typed value is a
    // List (attachments as Bytes items named by their sanitised-free stored
    // name, multi-value items typed as their value column; a flat table with
    // several value columns gives a List per row), the text the items' texts
    // joined by kComplexItemSeparator. Nothing when the column is not linked.
    // `table` names the user table in damage events; page and slot place
    // them at the row of the flat table.
    std::optional<DecodedCell> Lookup(std::int32_t tableDefinitionPage, const std::string& tableName,
                                      const std::string& columnName, std::int32_t id) const;

private:
    struct FlatTable;
    FlatTable* Find(std::int32_t tableDefinitionPage, const std::string& columnName) const;
    void Index(FlatTable& flat) const;

    const PageSource& pages_;
    RunControl run_;
    std::vector<std::unique_ptr<FlatTable>> flats_;
    std::map<std::pair<std::int32_t, std::string>, FlatTable*> byColumn_;
    mutable std::mutex mutex_;
};

// The cell of a complex column whose 4-byte id is at `position` in `page`:
// with an index that links the column, its values (ComplexColumnIndex::Lookup);
// otherwise the text is the type name and the typed value the stored id
// (Integer), which ResolveComplexCell can turn into the values later.
DecodedCell DecodeComplexValue(const ComplexColumnIndex* index, std::int32_t tableDefinitionPage,
                               const std::string& tableName, ByteView page, const ColumnInfo& column,
                               std::int64_t position);

// Turns a complex cell that still holds its stored id into its values.
// Returns false (and leaves the cell) when it holds no id or the column is
// not linked.
bool ResolveComplexCell(const ComplexColumnIndex& index, const TableInfo& table, const ColumnInfo& column,
                        std::string& text, TypedValue& value);

// Whether any column of the table is a complex column.
bool HasComplexColumns(const TableInfo& table);

}  // namespace pw
