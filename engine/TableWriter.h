#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/LongValueStore.h"
#include "engine/OutputFile.h"
#include "engine/RowLayout.h"
#include "engine/RowPage.h"
#include "engine/TableDesign.h"

namespace pw {

inline constexpr std::uint8_t kUserTableType = 0x4E;
inline constexpr std::uint8_t kSystemTableType = 0x53;

// A value of a record that the table could not hold, and why; the record is
// stored with that field NULL. `column` is the column's index in the design,
// or kWholeRecord when the record itself was refused (longer than a page).
struct FieldRefusal {
    static constexpr std::size_t kWholeRecord = static_cast<std::size_t>(-1);
    std::size_t column = kWholeRecord;
    std::string reason;
};

struct AppendResult {
    bool stored = false;
    std::vector<FieldRefusal> refused;
};

// One table of the database being written: its definition pages, reserved
// when the table is created and written when the database closes (the row
// count and the usage maps are known only then), and its data pages, each
// written as soon as the next row does not fit. Only the page being filled
// and the runs of pages written are kept.
class TableWriter {
public:
    TableWriter(OutputFile& file, LongValueStore& longValues, TableDesign design, std::uint8_t tableType,
                std::int32_t firstDefinitionPage = -1);

    // Stores one record: `values` by column index of the design (missing
    // ones are NULL, extra ones ignored). A value the column cannot hold is
    // stored as NULL and named in the result; nothing is parsed from text.
    // Throws EngineError only when the file cannot be written.
    AppendResult Append(const std::vector<TypedValue>& values);

    // On by default: an auto-number field left NULL gets the next number. A
    // copy of recovered rows turns it off, so that a missing value stays
    // missing rather than being made up.
    void SetAssignAutoNumbers(bool assign) { assignAutoNumbers_ = assign; }

    const TableDesign& design() const { return design_; }
    const RowLayout& layout() const { return layout_; }
    std::int32_t definitionPage() const { return definitionPages_.front(); }
    std::int64_t rowCount() const { return rowCount_; }
    // Runs of data pages, first and last page inclusive, in writing order.
    const std::vector<std::pair<std::int32_t, std::int32_t>>& pageRuns() const { return runs_; }

    // The next auto-number value, and noting one that was given.
    std::int32_t NextAutoNumber() const { return nextAutoNumber_; }
    void NoteAutoNumber(std::int64_t value);

    void AddRow(StoredBytes row);
    void Flush();

    // Writes the definition: `usedPagesMap` and `freePagesMap` are the row
    // pointers of the two usage maps.
    void WriteDefinition(std::uint32_t usedPagesMap, std::uint32_t freePagesMap);

private:
    StoredBytes DefinitionContent(std::uint32_t usedPagesMap, std::uint32_t freePagesMap) const;

    OutputFile& file_;
    LongValueStore& longValues_;
    TableDesign design_;
    RowLayout layout_;
    std::uint8_t tableType_;
    std::vector<std::int32_t> definitionPages_;
    RowPage page_;
    std::vector<std::pair<std::int32_t, std::int32_t>> runs_;
    std::int64_t rowCount_ = 0;
    std::int32_t nextAutoNumber_ = 1;
    bool assignAutoNumbers_ = true;
};

}  // namespace pw
