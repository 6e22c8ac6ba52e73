#include "export/DumpJson.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

// Days from 0000-03-01 based civil calendar arithmetic (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

constexpr std::int64_t kDaysFrom1970To1899_12_30 = -25569;

}  // namespace

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

std::string DateTimeText(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) return {};
    std::int64_t days = static_cast<std::int64_t>(serial);  // towards zero
    std::int64_t seconds = static_cast<std::int64_t>(std::fabs(serial - static_cast<double>(days)) * 86400.0 + 0.5);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days + kDaysFrom1970To1899_12_30, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02lld:%02lld:%02lld", static_cast<long long>(year), month,
                  day, static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string CurrencyText(std::int64_t value) {
    const bool negative = value < 0;
    const unsigned long long magnitude =
        negative ? static_cast<unsigned long long>(-(value + 1)) + 1 : static_cast<unsigned long long>(value);
    char text[48];
    std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000, magnitude % 10000);
    return text;
}

std::string DecimalText(unsigned __int128 magnitude, std::int32_t scale, bool negative) {
    // 39 digits hold any 128-bit magnitude; the scale adds leading zeros.
    char digits[64];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    const int fraction = scale > 0 ? std::min(scale, 60) : 0;
    while (count < fraction + 1) digits[count++] = '0';
    std::string text;
    text.reserve(static_cast<std::size_t>(count) + 2);
    bool nonZero = false;
    for (int i = count - 1; i >= 0; --i) {
        if (i == fraction - 1) text.push_back('.');
        text.push_back(digits[i]);
        nonZero = nonZero || digits[i] != '0';
    }
    if (negative && nonZero) text.insert(text.begin(), '-');
    return text;
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
        case Kind::Bytes: {
            nlohmann::ordered_json out;
            out["len"] = v.text.size();
            out["sha256"] = Sha256Hex(v.text);
            return out;
        }
        case Kind::Guid: {
            const auto& g = v.guid;
            char text[40];
            std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                          g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                          g[14], g[15]);
            return text;
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

nlohmann::ordered_json TableRowsJson(RecordReader& reader, TableInfo& table) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    ForEachRecord(reader, table, [&](const std::vector<CellValue>& cells) {
        nlohmann::ordered_json row = nlohmann::ordered_json::array();
        for (const ColumnInfo& column : table.columns) {
            const bool known = column.columnNumber >= 0 && static_cast<std::size_t>(column.columnNumber) < cells.size();
            if (!known || column.typeCode == ColumnType::Attachment) {
                row.push_back(nullptr);
                continue;
            }
            const TypedValue& value = cells[static_cast<std::size_t>(column.columnNumber)].value;
            if (column.typeCode == ColumnType::BigInt && value.kind == TypedValue::Kind::Integer)
                row.push_back(std::to_string(value.integer));
            else
                row.push_back(ValueJson(value));
        }
        rows.push_back(std::move(row));
    });
    return rows;
}

}  // namespace pw
