#include "schema/InferredColumns.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "pagestore/FieldReaders.h"
#include "pagestore/SlotTable.h"
#include "schema/ColumnTypes.h"
#include "schema/RowShape.h"
#include "schema/ValueReadings.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

// Enough rows to see how a table is laid out; the rest only cost time.
constexpr std::size_t kSampleRows = 2000;
// More fixed columns than this are not told apart: the area stays binary.
constexpr std::size_t kMaxFixedColumns = 32;

// A value that is there but whose mask bit is clear is lost: that weighs far
// more than a mask bit set over an empty value (an empty text, a zero).
constexpr std::int64_t kLostVariable = 1000;
constexpr std::int64_t kLostFixed = 20;
constexpr std::int64_t kBitOverEmpty = 1;

// One live row, copied so that its page buffer can be reused.
struct SampledRow {
    std::int32_t page = -1;
    std::int32_t slot = -1;
    RowShape shape;       // row-relative once copied (start 0)
    std::string bytes;    // the row, first to last byte

    bool MaskBit(std::int32_t c) const {
        if (c < 0 || c / 8 >= shape.maskLength) return false;
        const auto at = bytes.size() - static_cast<std::size_t>(shape.maskLength) + static_cast<std::size_t>(c / 8);
        return ((static_cast<unsigned char>(bytes[at]) >> (c % 8)) & 1) != 0;
    }
    bool HasFixed(std::int32_t offset, std::int32_t length) const { return offset + length <= shape.FixedLength(); }
    const unsigned char* Fixed(std::int32_t offset) const {
        return reinterpret_cast<const unsigned char*>(bytes.data()) + 2 + offset;
    }
    bool FixedIsZero(std::int32_t offset, std::int32_t length) const {
        const unsigned char* p = Fixed(offset);
        return std::all_of(p, p + length, [](unsigned char b) { return b == 0; });
    }
};

struct FixedPiece {
    std::int32_t type = ColumnType::Binary;
    std::int32_t offset = 0;
    std::int32_t length = 0;
};

struct CandidateRow {
    std::int32_t page = -1;
    std::int32_t slot = -1;
    bool fitsVariable = false;
    bool fitsFixed = false;
    RowShape variable;
    RowShape fixed;
    std::string bytes;
};

SampledRow Sample(const CandidateRow& row, const RowShape& shape) {
    SampledRow s;
    s.page = row.page;
    s.slot = row.slot;
    s.shape = shape;
    s.shape.end -= s.shape.start;
    s.shape.start = 0;
    s.bytes = row.bytes;
    return s;
}

// The fixed area every row has, split into the readings that account for the
// most bytes over all rows (bytes no reading fits stay binary runs); the bytes
// only longer rows have follow as one binary piece.
std::vector<FixedPiece> SplitFixedArea(const std::vector<SampledRow>& rows, ReadingGrain grain) {
    std::int32_t shortest = std::numeric_limits<std::int32_t>::max();
    std::int32_t longest = 0;
    for (const SampledRow& row : rows) {
        shortest = std::min(shortest, row.shape.FixedLength());
        longest = std::max(longest, row.shape.FixedLength());
    }
    std::vector<FixedPiece> pieces;
    if (rows.empty() || longest <= 0) return pieces;
    const auto n = static_cast<std::size_t>(shortest);
    std::vector<double> best(n + 1, -1.0);
    std::vector<FixedPiece> how(n + 1);  // the piece that ends at each offset in the best split
    best[0] = 0;
    StoredValues values(rows.size());
    for (std::int32_t o = 0; o < shortest; ++o) {
        const double here = best[static_cast<std::size_t>(o)];
        if (here > best[static_cast<std::size_t>(o) + 1]) {
            best[static_cast<std::size_t>(o) + 1] = here;
            how[static_cast<std::size_t>(o) + 1] = {ColumnType::Binary, o, 1};
        }
        for (std::size_t r = 0; r < rows.size(); ++r) values[r] = rows[r].Fixed(o);
        // At equal scores the earlier reading wins.
        for (const ValueReading& r : ValueReadings(grain)) {
            if (o + r.length > shortest) continue;
            const double score = r.score(values);
            const auto to = static_cast<std::size_t>(o + r.length);
            if (score > 0 && here + score > best[to]) {
                best[to] = here + score;
                how[to] = {r.type, o, r.length};
            }
        }
    }
    for (std::size_t at = n; at > 0;) {
        const FixedPiece& piece = how[at];
        if (piece.type == ColumnType::Binary && !pieces.empty() && pieces.back().type == ColumnType::Binary &&
            pieces.back().offset == piece.offset + 1) {
            --pieces.back().offset;
            ++pieces.back().length;
        } else {
            pieces.push_back(piece);
        }
        at = static_cast<std::size_t>(piece.offset);
    }
    std::reverse(pieces.begin(), pieces.end());
    if (longest > shortest) pieces.push_back({ColumnType::Binary, shortest, longest - shortest});
    return pieces;
}

// A run no reading takes because it is zero in every row is most often
// numbers that are all zero (counts, flags not yet set): read as Longs, or an
// Integer for two bytes, a zero reads as a zero whatever number it was, where
// bytes would show only that they are zero.
std::vector<FixedPiece> SplitZeroRuns(const std::vector<SampledRow>& rows, const std::vector<FixedPiece>& pieces) {
    constexpr std::int32_t kLong = 4;
    constexpr std::int32_t kInt = 2;
    std::vector<FixedPiece> split;
    for (const FixedPiece& piece : pieces) {
        const bool zero = piece.type == ColumnType::Binary &&
                          std::all_of(rows.begin(), rows.end(), [&piece](const SampledRow& row) {
                              return row.HasFixed(piece.offset, piece.length) && row.FixedIsZero(piece.offset, piece.length);
                          });
        if (!zero || (piece.length % kLong != 0 && piece.length != kInt)) {
            split.push_back(piece);
            continue;
        }
        if (piece.length == kInt) {
            split.push_back({ColumnType::Int, piece.offset, kInt});
            continue;
        }
        for (std::int32_t o = piece.offset; o < piece.offset + piece.length; o += kLong)
            split.push_back({ColumnType::Long, o, kLong});
    }
    return split;
}

// Two characters of UCS-2 or a compressed text: four bytes that are a
// number only by accident.
bool LooksLikeText(const unsigned char* p, std::int32_t length) {
    if (p[0] == 0xFF && p[1] == 0xFE) return true;
    return length == 4 && p[1] == 0 && p[3] == 0 && p[0] >= 0x20 && p[2] >= 0x20;
}

// Some tables keep numbers and dates among their variable columns: a column
// whose values all have one length a number takes, none of them text, and
// which a reading fits, is read as that type.
std::int32_t VariableColumnType(const std::vector<SampledRow>& rows, std::int32_t k) {
    StoredValues values;
    std::int32_t length = -1;
    for (const SampledRow& row : rows) {
        if (k >= row.shape.VarCount() || row.shape.VarLength(k) == 0) continue;
        const std::int32_t here = row.shape.VarLength(k);
        if (length >= 0 && here != length) return ColumnType::InferredVariable;
        length = here;
        const auto* p = reinterpret_cast<const unsigned char*>(row.bytes.data()) + row.shape.varOffsets[static_cast<std::size_t>(k)];
        if (LooksLikeText(p, length)) return ColumnType::InferredVariable;
        values.push_back(p);
    }
    if (length != 4 && length != 8) return ColumnType::InferredVariable;
    // Values that are there and all zero are a zero of some number; which
    // one no byte tells, and a zero reads as one either way.
    const bool allZero = std::all_of(values.begin(), values.end(), [length](const unsigned char* p) {
        return std::all_of(p, p + length, [](unsigned char b) { return b == 0; });
    });
    if (allZero) return length == 4 ? ColumnType::Long : ColumnType::Double;
    const ValueReading* reading = BestReading(values, length);
    return reading != nullptr ? reading->type : ColumnType::InferredVariable;
}

std::vector<FixedPiece> WholeFixedArea(const std::vector<SampledRow>& rows) {
    std::int32_t longest = 0;
    for (const SampledRow& row : rows) longest = std::max(longest, row.shape.FixedLength());
    if (longest <= 0) return {};
    return {{ColumnType::Binary, 0, longest}};
}

// The fixed bytes of a null value are whatever the row held there before
// (often the start of a text), and they spoil every reading of the column.
// Once a binary piece has its column number, its values are read again from
// the rows whose mask says they are there.
void RetypeByPresentValues(const std::vector<SampledRow>& rows, std::vector<FixedPiece>& pieces,
                           const std::vector<std::int32_t>& fixedNumber) {
    for (std::size_t j = 0; j < pieces.size(); ++j) {
        FixedPiece& piece = pieces[j];
        const std::int32_t number = j < fixedNumber.size() ? fixedNumber[j] : -1;
        if (piece.type != ColumnType::Binary || number < 0) continue;
        StoredValues values;
        bool someNull = false;
        for (const SampledRow& row : rows) {
            if (!row.HasFixed(piece.offset, piece.length)) continue;
            if (row.MaskBit(number)) values.push_back(row.Fixed(piece.offset));
            else someNull = true;
        }
        if (!someNull || values.empty()) continue;
        if (const ValueReading* reading = BestReading(values, piece.length)) piece.type = reading->type;
    }
}

using CostTable = std::vector<std::vector<std::int64_t>>;  // [column][column number]

CostTable VariableCosts(const std::vector<SampledRow>& rows, std::int32_t varCount, std::int32_t numbers) {
    CostTable cost(static_cast<std::size_t>(varCount), std::vector<std::int64_t>(static_cast<std::size_t>(numbers), 0));
    for (const SampledRow& row : rows)
        for (std::int32_t k = 0; k < std::min(varCount, row.shape.VarCount()); ++k) {
            const bool value = row.shape.VarLength(k) > 0;
            for (std::int32_t c = 0; c < numbers; ++c) {
                const bool bit = row.MaskBit(c);
                if (value && !bit) cost[k][c] += kLostVariable;
                else if (!value && bit) cost[k][c] += kBitOverEmpty;
            }
        }
    return cost;
}

CostTable FixedCosts(const std::vector<SampledRow>& rows, const std::vector<FixedPiece>& pieces, std::int32_t numbers) {
    CostTable cost(pieces.size(), std::vector<std::int64_t>(static_cast<std::size_t>(numbers), 0));
    for (const SampledRow& row : rows)
        for (std::size_t j = 0; j < pieces.size(); ++j) {
            if (!row.HasFixed(pieces[j].offset, pieces[j].length)) continue;
            const bool value = !row.FixedIsZero(pieces[j].offset, pieces[j].length);
            for (std::int32_t c = 0; c < numbers; ++c) {
                const bool bit = row.MaskBit(c);
                if (value && !bit) cost[j][c] += kLostFixed;
                else if (!value && bit) cost[j][c] += kBitOverEmpty;
            }
        }
    return cost;
}

// Column numbers for the variable and the fixed columns: each kind in
// ascending order (as Access numbers columns in the order it lays them out),
// no number taken twice, at the least total cost. Needs V + F <= numbers.
void AssignNumbers(const CostTable& var, const CostTable& fixed, std::int32_t numbers,
                   std::vector<std::int32_t>& varNumber, std::vector<std::int32_t>& fixedNumber) {
    const std::size_t V = var.size();
    const std::size_t F = fixed.size();
    const auto N = static_cast<std::size_t>(numbers);
    constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max() / 4;
    auto at = [&](std::size_t k, std::size_t j) { return k * (F + 1) + j; };
    std::vector<std::int64_t> best((V + 1) * (F + 1), kNone);
    best[at(0, 0)] = 0;
    // choice[c][k][j]: 0 the number stays free, 1 it goes to variable k-1, 2 to fixed j-1.
    std::vector<std::uint8_t> choice(N * (V + 1) * (F + 1), 0);
    for (std::size_t c = 0; c < N; ++c) {
        std::vector<std::int64_t> next = best;  // number c stays free
        std::uint8_t* pick = &choice[c * (V + 1) * (F + 1)];
        for (std::size_t k = 0; k <= V; ++k)
            for (std::size_t j = 0; j <= F; ++j) {
                const std::int64_t here = best[at(k, j)];
                if (here >= kNone) continue;
                // Only a strict gain takes the number: at equal cost it stays free.
                if (k < V && here + var[k][c] < next[at(k + 1, j)]) {
                    next[at(k + 1, j)] = here + var[k][c];
                    pick[at(k + 1, j)] = 1;
                }
                if (j < F && here + fixed[j][c] < next[at(k, j + 1)]) {
                    next[at(k, j + 1)] = here + fixed[j][c];
                    pick[at(k, j + 1)] = 2;
                }
            }
        best = std::move(next);
    }
    varNumber.assign(V, -1);
    fixedNumber.assign(F, -1);
    std::size_t k = V;
    std::size_t j = F;
    for (std::size_t c = N; c-- > 0 && (k > 0 || j > 0);) {
        const std::uint8_t p = choice[c * (V + 1) * (F + 1) + at(k, j)];
        if (p == 1) varNumber[--k] = static_cast<std::int32_t>(c);
        else if (p == 2) fixedNumber[--j] = static_cast<std::int32_t>(c);
    }
}

// The cheapest number for each column on its own, numbers shared if need be.
std::vector<std::int32_t> CheapestNumbers(const CostTable& cost) {
    std::vector<std::int32_t> numbers;
    for (const auto& row : cost)
        numbers.push_back(static_cast<std::int32_t>(std::min_element(row.begin(), row.end()) - row.begin()));
    return numbers;
}

std::int32_t StatedColumns(const CandidateRow& row) {
    if (row.fitsVariable) return row.variable.storedColumns;
    return row.fitsFixed ? row.fixed.storedColumns : 0;
}

std::int32_t StatedColumns(const std::vector<CandidateRow>& rows) {
    std::int32_t most = 0;
    for (const CandidateRow& row : rows) most = std::max(most, StatedColumns(row));
    return most;
}

void ReadCandidates(const PageSource& pages, const std::vector<std::int32_t>& dataPages,
                    std::vector<CandidateRow>& rows, std::int64_t& liveRows) {
    PageBuffer buffer;
    const PageMap& map = pages.Map();
    // A slot flagged as an overflow pointer holds a few bytes that name
    // another row. Access also sets the flag on whole rows, which the walk
    // reads as rows; but some tables keep older versions of their rows under
    // it, so those rows stand in only for a table that has no others.
    std::vector<CandidateRow> flagged;
    constexpr std::int32_t kPointerBytes = 8;
    for (std::int32_t pageNumber : dataPages) {
        if (pageNumber < 0 || static_cast<std::size_t>(pageNumber) >= map.size()) continue;
        if (!pages.ReadPage(buffer, pageNumber).anyBytes()) continue;
        const ByteView page(buffer);
        const SlotTableRead slots = ReadSlotsByShape(page, map[static_cast<std::size_t>(pageNumber)].rowCount);
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(slots.slots.size()); ++i) {
            const SlotEntry& slot = slots.slots[static_cast<std::size_t>(i)];
            if (slot.deleted || (slot.lookup && slot.end - slot.start + 1 <= kPointerBytes)) continue;
            ++liveRows;
            std::vector<CandidateRow>& into = slot.lookup ? flagged : rows;
            if (into.size() >= kSampleRows) continue;
            CandidateRow row;
            row.page = pageNumber;
            row.slot = i;
            row.fitsVariable = ReadRowShape(page, slot, true, row.variable);
            row.fitsFixed = ReadRowShape(page, slot, false, row.fixed);
            if (row.fitsVariable || row.fitsFixed)
                row.bytes = ExtractRawText(page, slot.start, static_cast<std::int64_t>(slot.end) - slot.start + 1);
            into.push_back(std::move(row));
        }
    }
    constexpr std::size_t kEnoughRows = 2;
    if (rows.size() < kEnoughRows) {
        for (CandidateRow& row : flagged) rows.push_back(std::move(row));
        return;
    }
    // A row moved when an update made it grow keeps the flag, and a table
    // altered since holds its newest layout only in such rows: flagged rows
    // that state more columns than every other row join the sample, or
    // their columns would be missing from the table and the rows with them.
    const std::int32_t unflaggedColumns = StatedColumns(rows);
    for (CandidateRow& row : flagged)
        if (StatedColumns(row) > unflaggedColumns) rows.push_back(std::move(row));
}

// Whether the rows carry variable columns: the reading under which most
// readable rows end their data right at their offset tables.
bool RowsCarryVariableColumns(const std::vector<CandidateRow>& candidates) {
    std::int64_t tight = 0;
    std::int64_t readable = 0;
    for (const CandidateRow& row : candidates) {
        if (row.fitsVariable && row.variable.tight) ++tight;
        if (row.fitsVariable || row.fitsFixed) ++readable;
    }
    return tight > 0 && 2 * tight >= readable;
}

// The rows that fit the table's reading; the others are counted in
// `skipped` and reported.
std::vector<SampledRow> SampleFittingRows(const std::vector<CandidateRow>& candidates, bool hasVariable,
                                          const std::string& tableName, const RunControl& run,
                                          std::int64_t& skipped) {
    std::vector<SampledRow> rows;
    for (const CandidateRow& row : candidates) {
        const bool fits = hasVariable ? row.fitsVariable : row.fitsFixed;
        if (!fits) {
            ++skipped;
            run.Report({DamageKind::RowRejected, row.page, row.slot, tableName,
                        "row fits no layout the other rows of its table share"});
            continue;
        }
        rows.push_back(Sample(row, hasVariable ? row.variable : row.fixed));
    }
    return rows;
}

// The variable slots, told apart by whether any sampled row fills them, with
// the cost of each column number for each.
struct VariableSlots {
    std::vector<bool> filled;
    CostTable filledCost;
    CostTable emptyCost;
};

// A variable slot no sampled row fills is most often a column dropped
// since: its slot stays in the rows, its number goes. It takes no number
// of its own, so that the number is left to a column that holds bytes or
// to a Yes/No column, whose value is its mask bit alone.
VariableSlots SortVariableSlots(const std::vector<SampledRow>& rows, std::int32_t varCount,
                                std::int32_t numbers) {
    const CostTable allVarCost = VariableCosts(rows, varCount, numbers);
    VariableSlots slots;
    slots.filled.assign(static_cast<std::size_t>(varCount), false);
    for (const SampledRow& row : rows)
        for (std::int32_t k = 0; k < row.shape.VarCount(); ++k)
            if (row.shape.VarLength(k) > 0) slots.filled[static_cast<std::size_t>(k)] = true;
    for (std::int32_t k = 0; k < varCount; ++k)
        (slots.filled[static_cast<std::size_t>(k)] ? slots.filledCost : slots.emptyCost)
            .push_back(allVarCost[static_cast<std::size_t>(k)]);
    return slots;
}

// The finest split of the fixed area that leaves the rows enough numbers
// for its pieces beside the `numbered` filled variable slots.
std::vector<FixedPiece> ChooseFixedPieces(const std::vector<SampledRow>& rows, std::int32_t numbered,
                                          std::int32_t numbers) {
    // More pieces than the rows have numbers for is a split too fine. The
    // bytes only longer rows have are not counted: they are left over as
    // often as they are columns (Access may keep a row's old bytes between
    // its fixed and variable data when it rewrites it), and counting them
    // would cost the split of the area every row has.
    std::int32_t shortestFixed = std::numeric_limits<std::int32_t>::max();
    for (const SampledRow& row : rows) shortestFixed = std::min(shortestFixed, row.shape.FixedLength());
    auto tooMany = [&](const std::vector<FixedPiece>& p) {
        const auto common = static_cast<std::int32_t>(std::count_if(
            p.begin(), p.end(), [&](const FixedPiece& piece) { return piece.offset < shortestFixed; }));
        return p.size() > kMaxFixedColumns || common + numbered > numbers;
    };
    std::vector<FixedPiece> pieces = SplitFixedArea(rows, ReadingGrain::Finest);
    if (tooMany(pieces)) pieces = SplitFixedArea(rows, ReadingGrain::Fine);
    if (tooMany(pieces)) pieces = SplitFixedArea(rows, ReadingGrain::Coarse);
    if (tooMany(pieces)) pieces = WholeFixedArea(rows);
    if (std::vector<FixedPiece> zeros = SplitZeroRuns(rows, pieces); !tooMany(zeros))
        pieces = std::move(zeros);
    return pieces;
}

// The column number of each variable slot and fixed piece, and which
// numbers a column with bytes took.
struct ColumnNumbers {
    std::vector<std::int32_t> variable;
    std::vector<std::int32_t> fixed;
    std::vector<bool> taken;
};

// Numbers the columns; the pieces are retyped by the values present under
// the numbers they got.
ColumnNumbers NumberColumns(const std::vector<SampledRow>& rows, const VariableSlots& slots,
                            std::vector<FixedPiece>& pieces, std::int32_t numbers) {
    const auto numbered = static_cast<std::int32_t>(slots.filledCost.size());
    const CostTable fixedCost = FixedCosts(rows, pieces, numbers);
    ColumnNumbers out;
    std::vector<std::int32_t> filledNumber;
    if (static_cast<std::int32_t>(pieces.size()) + numbered <= numbers) {
        AssignNumbers(slots.filledCost, fixedCost, numbers, filledNumber, out.fixed);
    } else {
        // Every number is a variable column's: the fixed area shares one.
        AssignNumbers(slots.filledCost, CostTable{}, numbers, filledNumber, out.fixed);
        out.fixed = CheapestNumbers(fixedCost);
    }
    RetypeByPresentValues(rows, pieces, out.fixed);
    const std::vector<std::int32_t> emptyNumber = CheapestNumbers(slots.emptyCost);
    for (std::size_t k = 0, f = 0, e = 0; k < slots.filled.size(); ++k)
        out.variable.push_back(slots.filled[k] ? filledNumber[f++] : emptyNumber[e++]);
    out.taken.assign(static_cast<std::size_t>(numbers), false);
    for (std::size_t k = 0; k < slots.filled.size(); ++k)
        if (slots.filled[k] && out.variable[k] >= 0)
            out.taken[static_cast<std::size_t>(out.variable[k])] = true;
    for (std::int32_t n : out.fixed)
        if (n >= 0 && n < numbers) out.taken[static_cast<std::size_t>(n)] = true;
    return out;
}

void AddVariableColumns(const std::vector<SampledRow>& rows, const std::vector<std::int32_t>& varNumber,
                        std::vector<ColumnInfo>& columns) {
    for (std::size_t k = 0; k < varNumber.size(); ++k) {
        ColumnInfo column;
        column.typeCode = VariableColumnType(rows, static_cast<std::int32_t>(k));
        if (column.typeCode != ColumnType::InferredVariable)
            column.length = column.typeCode == ColumnType::Long ? 4 : 8;
        column.columnNumber = varNumber[k];
        column.varIndex = static_cast<std::int32_t>(k);
        column.isFixed = 0;
        columns.push_back(column);
    }
}

void AddFixedColumns(const std::vector<FixedPiece>& pieces, const std::vector<std::int32_t>& fixedNumber,
                     std::vector<ColumnInfo>& columns) {
    for (std::size_t j = 0; j < pieces.size(); ++j) {
        ColumnInfo column;
        column.typeCode = pieces[j].type;
        column.columnNumber = fixedNumber[j];
        column.fixedOffset = pieces[j].offset;
        column.length = pieces[j].length;
        column.isFixed = 1;
        columns.push_back(column);
    }
}

// A number no column with bytes took keeps a value in its mask bit all the
// same: a Yes/No column's, or one dropped since. It is shown.
void AddBitColumns(const std::vector<bool>& taken, std::vector<ColumnInfo>& columns) {
    for (std::size_t n = 0; n < taken.size(); ++n) {
        if (taken[n]) continue;
        ColumnInfo column;
        column.typeCode = ColumnType::Bit;
        column.columnNumber = static_cast<std::int32_t>(n);
        column.isFixed = 1;
        columns.push_back(column);
    }
}

void OrderAndName(std::vector<ColumnInfo>& columns) {
    std::stable_sort(columns.begin(), columns.end(), [](const ColumnInfo& a, const ColumnInfo& b) {
        return a.columnNumber < b.columnNumber;
    });
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i].columnIndex = static_cast<std::int32_t>(i);
        columns[i].name = "Recovered Column " + std::to_string(i + 1);
    }
}

}  // namespace

InferredTable InferColumns(const PageSource& pages, const std::vector<std::int32_t>& dataPages,
                           const std::string& tableName, const RunControl& run) {
    InferredTable table;
    std::vector<CandidateRow> candidates;
    std::int64_t liveRows = 0;
    ReadCandidates(pages, dataPages, candidates, liveRows);
    table.hasVariable = RowsCarryVariableColumns(candidates);
    const std::vector<SampledRow> rows =
        SampleFittingRows(candidates, table.hasVariable, tableName, run, table.rowsSkipped);
    table.rowsUsed = liveRows - table.rowsSkipped;
    if (rows.empty()) return table;

    std::int32_t numbers = 0;
    std::int32_t varCount = 0;
    for (const SampledRow& row : rows) {
        numbers = std::max(numbers, row.shape.storedColumns);
        varCount = std::max(varCount, row.shape.VarCount());
    }
    table.maxColumns = numbers;
    table.varColumnCount = varCount;

    const VariableSlots slots = SortVariableSlots(rows, varCount, numbers);
    std::vector<FixedPiece> pieces =
        ChooseFixedPieces(rows, static_cast<std::int32_t>(slots.filledCost.size()), numbers);
    const ColumnNumbers numbered = NumberColumns(rows, slots, pieces, numbers);
    AddVariableColumns(rows, numbered.variable, table.columns);
    AddFixedColumns(pieces, numbered.fixed, table.columns);
    AddBitColumns(numbered.taken, table.columns);
    OrderAndName(table.columns);
    return table;
}

}  // namespace pw
