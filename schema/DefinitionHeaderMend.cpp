#include "schema/DefinitionHeaderMend.h"

#include <algorithm>
#include <string>
#include <vector>

#include "pagestore/FieldReaders.h"
#include "pagestore/PageLayout.h"
#include "schema/ColumnFieldMend.h"
#include "schema/ColumnTypes.h"
#include "schema/TableDefinitionParser.h"

namespace pw {
namespace {

bool KnownType(std::int32_t code) {
    return (code >= ColumnType::Bit && code <= ColumnType::Memo) || (code >= ColumnType::Guid && code <= ColumnType::DateTimeExt);
}

void FlipBit(std::vector<std::uint8_t>& bytes, std::int32_t offset, int bit) {
    const auto at = static_cast<std::size_t>(offset) + static_cast<std::size_t>(bit / 8);
    if (at < bytes.size()) bytes[at] ^= static_cast<std::uint8_t>(1u << (bit % 8));
}

// Names read past their place, or past the end of the definition, come out
// empty; Access never leaves a name empty.
bool NamesInPlace(const TableInfo& table) {
    return std::none_of(table.columns.begin(), table.columns.end(), [](const ColumnInfo& c) { return c.nameLost; });
}

// Every record read in place: types Access knows, nothing that clashes.
bool ReadsWhole(const TableInfo& table) {
    if (table.columns.empty()) return false;
    for (const ColumnInfo& c : table.columns)
        if (!KnownType(c.typeCode)) return false;
    TableInfo copy = table;
    const ColumnFieldCheck check = MendFlippedColumnFields(copy);
    return check.mended.empty() && check.broken.empty();
}

// A smaller column count drops the records past it: only records that read
// as no column (a type Access does not know, no name) may go, or a table
// with types of its own would lose its columns to a count mended by chance.
bool DroppedRecordsAreNoColumns(const TableInfo& stored, std::int32_t count) {
    if (count < 0) return false;
    std::size_t dropped = 0;
    std::size_t noColumn = 0;
    for (std::size_t i = static_cast<std::size_t>(count); i < stored.columns.size(); ++i) {
        ++dropped;
        if (!KnownType(stored.columns[i].typeCode) || stored.columns[i].nameLost) ++noColumn;
    }
    return dropped == 0 || 2 * noColumn > dropped;
}

}  // namespace

bool ColumnRecordsLookMisplaced(const TableInfo& table) {
    if (table.columns.empty()) return true;
    const auto unknown = std::count_if(table.columns.begin(), table.columns.end(),
                                       [](const ColumnInfo& c) { return !KnownType(c.typeCode); });
    if (2 * static_cast<std::size_t>(unknown) > table.columns.size()) return true;
    if (!NamesInPlace(table)) return true;
    TableInfo copy = table;
    return !MendFlippedColumnFields(copy).broken.empty();
}

std::optional<DefinitionCountMend> MendDefinitionCounts(ByteView definition, TableInfo& table, const PageMap& map) {
    const PageLayout layout = PageLayout::Jet4();
    std::vector<std::uint8_t> bytes(definition.data(), definition.data() + definition.size());
    std::optional<DefinitionCountMend> found;
    std::optional<TableInfo> mendedTable;
    int whole = 0;
    for (DefinitionCount count : {DefinitionCount::IndexCount, DefinitionCount::ColumnCount}) {
        const std::int32_t offset =
            count == DefinitionCount::IndexCount ? layout.realIndexCountOffset : layout.columnCountOffset;
        const std::int32_t stored = count == DefinitionCount::IndexCount ? ReadInt32(definition, offset)
                                                                         : ReadUInt16(definition, offset);
        const int bits = count == DefinitionCount::IndexCount ? 32 : 16;
        for (int bit = 0; bit < bits; ++bit) {
            FlipBit(bytes, offset, bit);
            const std::int32_t mended = static_cast<std::int32_t>(static_cast<std::uint32_t>(stored) ^ (1u << bit));
            TableInfo candidate = table;
            if ((count == DefinitionCount::IndexCount || mended > stored || DroppedRecordsAreNoColumns(table, mended)) &&
                ParseTableDefinition(ByteView(bytes.data(), bytes.size()), candidate, map) != 0 &&
                ReadsWhole(candidate) && NamesInPlace(candidate)) {
                ++whole;
                found = DefinitionCountMend{count, stored, mended};
                mendedTable = std::move(candidate);
            }
            FlipBit(bytes, offset, bit);
        }
    }
    if (whole != 1) return std::nullopt;
    table = std::move(*mendedTable);
    return found;
}

const char* DefinitionCountName(DefinitionCount count) {
    return count == DefinitionCount::IndexCount ? "index count" : "column count";
}

}  // namespace pw
