#include "export/DumpJson.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>

#include "records/ScalarDecoders.h"
#include "records/ComplexColumns.h"
#include "records/DateText.h"
#include "records/ExtendedDateTime.h"
#include "records/NumberText.h"
#include "schema/ColumnTypes.h"

namespace pw {

std::string DumpTypeName(const ColumnInfo& column) {
    switch (column.typeCode) {
        case ColumnType::Numeric: return "NUMERIC";
        case ColumnType::Attachment: return "COMPLEX";
        case ColumnType::BigInt: return "BIGINT";
        default: break;
    }
    const std::string word = ColumnTypeName(column);
    if (word.rfind("UNKNOWN", 0) == 0) return "UNKNOWN:" + std::to_string(column.typeCode);
    return word;
}

std::string DateTimeText(double serial) { return FormatDateSerialIso(serial); }

std::string CurrencyText(std::int64_t value) { return FormatCurrency(value); }

std::string DecimalText(unsigned __int128 magnitude, std::int32_t scale, bool negative) {
    return FormatDecimal(magnitude, scale, negative);
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(kHex[digest[i] >> 4]);
        out.push_back(kHex[digest[i] & 15]);
    }
    return out;
}

nlohmann::ordered_json ValueJson(const TypedValue& v) {
    using Kind = TypedValue::Kind;
    switch (v.kind) {
        case Kind::Null: return nullptr;
        case Kind::Boolean: return v.boolean;
        case Kind::Integer: return v.integer;
        case Kind::Float: {
            if (std::isnan(v.real)) return "NaN";
            if (std::isinf(v.real)) return v.real > 0 ? "Infinity" : "-Infinity";
            if (v.real == 0.0 && std::signbit(v.real)) return "-0.0";
            return v.real;
        }
        case Kind::Currency: return CurrencyText(v.integer);
        case Kind::Decimal: return DecimalText(v.decimalMagnitude, v.decimalScale, v.decimalNegative);
        case Kind::Date: {
            std::string text = DateTimeText(v.real);
            if (text.empty()) return nullptr;
            return text;
        }
        case Kind::Text: return v.text;
        case Kind::DateTimeExt: {
            std::string text = FormatExtendedDateTime(v.integer);
            if (text.empty()) return nullptr;
            return text;
        }
        case Kind::Bytes: {
            nlohmann::ordered_json out;
            out["len"] = v.text.size();
            out["sha256"] = Sha256Hex(v.text);
            return out;
        }
        case Kind::Guid: return FormatGuid(v.guid);
        case Kind::List: {
            // An attachment is its file's name, length and digest; any other
            // item is its value.
            nlohmann::ordered_json items = nlohmann::ordered_json::array();
            for (const TypedValue& item : v.items) {
                if (item.kind == Kind::Bytes && !item.name.empty()) {
                    nlohmann::ordered_json file;
                    file["name"] = item.name;
                    file["len"] = item.text.size();
                    file["sha256"] = Sha256Hex(item.text);
                    items.push_back(std::move(file));
                } else {
                    items.push_back(ValueJson(item));
                }
            }
            return items;
        }
    }
    return nullptr;
}

nlohmann::ordered_json ColumnJson(const ColumnInfo& column) {
    nlohmann::ordered_json out;
    out["name"] = column.name;
    out["type"] = DumpTypeName(column);
    out["size"] = column.length;
    if (column.typeCode == ColumnType::Numeric) {
        out["precision"] = column.precision;
        out["scale"] = column.scale;
    } else {
        out["precision"] = nullptr;
        out["scale"] = nullptr;
    }
    return out;
}

nlohmann::ordered_json RowJson(const TableInfo& table, const WalkedRow& row) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnInfo& column = table.columns[i];
        // A complex cell is its list of values; one whose values could not be
        // found (no link to its hidden table) has none to show.
        if (i >= row.cells.size() ||
            (column.typeCode == ColumnType::Attachment && row.cells[i].value.kind != TypedValue::Kind::List)) {
            out.push_back(nullptr);
            continue;
        }
        const TypedValue& value = row.cells[i].value;
        if (column.typeCode == ColumnType::BigInt && value.kind == TypedValue::Kind::Integer)
            out.push_back(std::to_string(value.integer));
        else
            out.push_back(ValueJson(value));
    }
    return out;
}

namespace {

// Well-formed UTF-8 by the byte ranges Unicode allows (no overlong forms, no
// surrogates, nothing past U+10FFFF): what the JSON library passes through
// unchanged.
bool IsPlainUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 || c == '"' || c == '\\') return false;
            ++p;
            continue;
        }
        std::size_t tail = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            tail = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            tail = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            tail = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) <= tail) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t k = 2; k <= tail; ++k)
            if (p[k] < 0x80 || p[k] > 0xBF) return false;
        p += tail + 1;
    }
    return true;
}

void AppendCompact(std::string& out, const nlohmann::ordered_json& value) {
    out += value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// A string as the JSON library would write it; most texts need no escape and
// skip the library's per-value objects, the rest go through it unchanged.
void AppendJsonString(std::string& out, std::string_view text) {
    if (IsPlainUtf8(text)) {
        out.push_back('"');
        out.append(text);
        out.push_back('"');
        return;
    }
    AppendCompact(out, nlohmann::ordered_json(std::string(text)));
}

void AppendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// ValueJson(value) written compactly, the common kinds without building it.
void AppendValueJson(std::string& out, const TypedValue& v) {
    using Kind = TypedValue::Kind;
    switch (v.kind) {
        case Kind::Null: out += "null"; return;
        case Kind::Boolean: out += v.boolean ? "true" : "false"; return;
        case Kind::Integer: AppendInteger(out, v.integer); return;
        case Kind::Currency: AppendJsonString(out, CurrencyText(v.integer)); return;
        case Kind::Decimal:
            AppendJsonString(out, DecimalText(v.decimalMagnitude, v.decimalScale, v.decimalNegative));
            return;
        case Kind::Date: {
            const std::string text = DateTimeText(v.real);
            if (text.empty())
                out += "null";
            else
                AppendJsonString(out, text);
            return;
        }
        case Kind::Text: AppendJsonString(out, v.text); return;
        case Kind::DateTimeExt: {
            const std::string text = FormatExtendedDateTime(v.integer);
            if (text.empty())
                out += "null";
            else
                AppendJsonString(out, text);
            return;
        }
        case Kind::Float:
        case Kind::Bytes:
        case Kind::Guid:
        case Kind::List: break;
    }
    AppendCompact(out, ValueJson(v));
}

// Compact(RowJson(table, row)) appended to `out`.
void AppendRowJson(std::string& out, const TableInfo& table, const WalkedRow& row) {
    out.push_back('[');
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (i != 0) out.push_back(',');
        const ColumnInfo& column = table.columns[i];
        if (i >= row.cells.size() ||
            (column.typeCode == ColumnType::Attachment && row.cells[i].value.kind != TypedValue::Kind::List)) {
            out += "null";
            continue;
        }
        const TypedValue& value = row.cells[i].value;
        if (column.typeCode == ColumnType::BigInt && value.kind == TypedValue::Kind::Integer) {
            out.push_back('"');
            AppendInteger(out, value.integer);
            out.push_back('"');
        } else {
            AppendValueJson(out, value);
        }
    }
    out.push_back(']');
}

// The row with its complex cells turned into their values, when the table has
// complex columns; the row itself otherwise.
class ComplexResolver {
public:
    ComplexResolver(const PageSource& pages, const TableInfo& table, const RunControl& run) : table_(table) {
        if (HasComplexColumns(table)) index_ = std::make_unique<ComplexColumnIndex>(pages, run);
    }
    const WalkedRow& operator()(const WalkedRow& row) {
        if (!index_) return row;
        copy_ = row;
        for (std::size_t k = 0; k < table_.columns.size() && k < copy_.cells.size(); ++k)
            ResolveComplexCell(*index_, table_, table_.columns[k], copy_.cells[k].text, copy_.cells[k].value);
        return copy_;
    }

private:
    const TableInfo& table_;
    std::unique_ptr<ComplexColumnIndex> index_;
    WalkedRow copy_;
};

}  // namespace

nlohmann::ordered_json TableRowsJson(const PageSource& pages, const TableInfo& table, const RunControl& run) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    ComplexResolver resolve(pages, table, run);
    ForEachRow(pages, table, run, [&](const WalkedRow& row) {
        if (row.IsRecord()) rows.push_back(RowJson(table, resolve(row)));
        return true;
    });
    return rows;
}

namespace {

std::string Compact(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The values of a table's records that could not be read in full: each one
// counted, the first kKept with their place, column and problem.
struct DamagedValues {
    static constexpr std::size_t kKept = 100;
    std::int64_t count = 0;
    nlohmann::ordered_json first = nlohmann::ordered_json::array();

    // `record`: the row's index in the table's "rows".
    void Note(const TableInfo& table, const WalkedRow& row, std::int64_t record) {
        for (std::size_t i = 0; i < row.cells.size() && i < table.columns.size(); ++i) {
            const ValueProblem problem = row.cells[i].problem;
            if (problem == ValueProblem::None) continue;
            ++count;
            if (first.size() >= kKept) continue;
            nlohmann::ordered_json item;
            item["record"] = record;
            item["page"] = row.page;
            item["slot"] = row.slot;
            item["column"] = table.columns[i].name;
            item["problem"] = ValueProblemName(problem);
            // A chain that broke after some rows keeps them as the value.
            item["partial"] = row.cells[i].value.kind != TypedValue::Kind::Null;
            first.push_back(std::move(item));
        }
    }
    nlohmann::ordered_json Json() const {
        nlohmann::ordered_json out;
        out["count"] = count;
        out["first"] = first;
        return out;
    }
};

}  // namespace

DumpWriter::DumpWriter(std::ostream& out, const std::string& file, const std::string& format) : out_(out) {
    out_ << "{\"file\":" << Compact(file) << ",\"format\":" << Compact(format) << ",\"tables\":[";
}

WalkOutcome DumpWriter::WriteTable(const PageSource& pages, const TableInfo& table, const RunControl& run,
                                   TableTally* tally, bool includeDeleted) {
    if (!firstTable_) out_ << ',';
    firstTable_ = false;
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const ColumnInfo& column : table.columns) columns.push_back(ColumnJson(column));
    out_ << "{\"name\":" << Compact(table.name);
    // Only where the file's damage made them so: an intact file's dump keeps its shape.
    if (table.nameSource != NameSource::Catalog) out_ << ",\"nameSource\":" << Compact(NameSourceName(table.nameSource));
    if (table.columnsInferred) out_ << ",\"columnsInferred\":true";
    if (!table.survivingColumnNames.empty())
        out_ << ",\"survivingColumnNames\":" << Compact(nlohmann::ordered_json(table.survivingColumnNames));
    out_ << ",\"columns\":" << Compact(columns) << ",\"rows\":[";
    bool firstRow = true;
    ComplexResolver resolve(pages, table, run);
    DamagedValues damaged;
    std::int64_t records = 0;
    // Rows gather in one buffer written out in blocks: a stream call per
    // value costs more than the value itself.
    constexpr std::size_t kFlushAt = 1 << 16;
    std::string pending;
    pending.reserve(kFlushAt + 4096);
    const WalkOutcome outcome = ForEachRow(
        pages, table, run,
        [&](const WalkedRow& row) {
            if (!row.IsRecord()) return true;
            if (!firstRow) pending.push_back(',');
            firstRow = false;
            AppendRowJson(pending, table, resolve(row));
            if (pending.size() >= kFlushAt) {
                out_.write(pending.data(), static_cast<std::streamsize>(pending.size()));
                pending.clear();
            }
            damaged.Note(table, row, records++);
            return true;
        },
        // The rows are written from their typed values alone.
        WalkOptions{.displayText = false}, tally);
    out_.write(pending.data(), static_cast<std::streamsize>(pending.size()));
    out_ << ']';
    // Only where values were damaged: an intact file's dump keeps its shape.
    if (damaged.count != 0) out_ << ",\"damagedValues\":" << Compact(damaged.Json());
    if (includeDeleted && outcome != WalkOutcome::Stopped) {
        out_ << ",\"withheldRows\":[";
        bool firstWithheld = true;
        WalkOptions options;
        options.includeDeleted = true;
        // Damage was told by the first walk; this one only collects.
        const RunControl quiet{run.stop, nullptr, nullptr};
        const WalkOutcome second = ForEachRow(
            pages, table, quiet,
            [&](const WalkedRow& row) {
                const bool deleted = row.IsDeletedRecord();
                if (!deleted && !row.IsStaleRecord()) return true;
                if (!firstWithheld) out_ << ',';
                firstWithheld = false;
                nlohmann::ordered_json item;
                item[kRowKindColumn] = deleted ? kDeletedRowLabel : kStaleRowLabel;
                item["page"] = row.page;
                item["slot"] = row.slot;
                item["values"] = RowJson(table, resolve(row));
                out_ << Compact(item);
                return true;
            },
            options);
        out_ << ']';
        out_ << "}";
        return second == WalkOutcome::Stopped ? second : outcome;
    }
    out_ << "}";
    return outcome;
}

void DumpWriter::Finish(const nlohmann::ordered_json& damage) {
    out_ << "],\"damage\":" << Compact(damage) << '}' << std::endl;
}

}  // namespace pw
