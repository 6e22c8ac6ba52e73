#include "engine/CreateTableParser.h"

#include <cctype>
#include <optional>

#include "engine/EngineError.h"
#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr std::int32_t kMaxTextCharacters = 255;
constexpr std::int32_t kMaxBinaryBytes = 255;
constexpr std::int32_t kMaxNumericPrecision = 28;
constexpr std::int32_t kExtendedDateCharacters = 27;  // yyyy-mm-dd hh:mm:ss.fffffff

class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Take(char c) {
        SkipBlanks();
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    // Case-insensitive keyword followed by a non-letter.
    bool TakeWord(const std::string& word) {
        SkipBlanks();
        if (text_.size() - pos_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(text_[pos_ + i])) != word[i]) return false;
        const std::size_t after = pos_ + word.size();
        if (after < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[after])) || text_[after] == '-'))
            return false;
        pos_ = after;
        return true;
    }
    std::string Word() {
        SkipBlanks();
        std::string word;
        while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '-' || Peek() == '_'))
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
        return word;
    }
    std::optional<std::int32_t> Number() {
        SkipBlanks();
        std::int64_t value = 0;
        bool any = false;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Peek()))) {
            value = value * 10 + (text_[pos_++] - '0');
            if (value > 1'000'000) return std::nullopt;
            any = true;
        }
        if (!any) return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    // The text up to the first ']' for which `accept` holds at the position
    // after it; the cursor then stands after that bracket.
    template <typename Accept>
    std::optional<std::string> BracketedName(Accept accept) {
        for (std::size_t close = text_.find(']', pos_); close != std::string::npos;
             close = text_.find(']', close + 1)) {
            if (accept(close + 1)) {
                std::string name = text_.substr(pos_, close - pos_);
                pos_ = close + 1;
                return name;
            }
        }
        return std::nullopt;
    }
    std::size_t FirstNonBlank(std::size_t from) const {
        while (from < text_.size() && std::isspace(static_cast<unsigned char>(text_[from]))) ++from;
        return from;
    }
    const std::string& text() const { return text_; }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

[[noreturn]] void Refuse(const std::string& why) { throw EngineError("CREATE TABLE refused: " + why); }

bool IsTypeWordStart(const std::string& text, std::size_t at) {
    return at < text.size() && std::isalpha(static_cast<unsigned char>(text[at]));
}

ColumnDesign ParseType(Cursor& in, const std::string& columnName, TableDesign& table) {
    ColumnDesign c;
    c.name = columnName;
    const std::string word = in.Word();
    const auto fixed = [&](std::int32_t type, std::int32_t size) {
        c.typeCode = type;
        c.length = size;
    };
    if (word == "BIT") fixed(ColumnType::Bit, 1);
    else if (word == "BYTE") fixed(ColumnType::Byte, 1);
    else if (word == "INT" || word == "SHORT" || word == "SMALLINT") fixed(ColumnType::Int, 2);
    else if (word == "LONG" || word == "INTEGER") fixed(ColumnType::Long, 4);
    else if (word == "COUNTER" || word == "AUTOINCREMENT") {
        fixed(ColumnType::Long, 4);
        c.autoNumber = true;
    } else if (word == "CURRENCY") fixed(ColumnType::Currency, 8);
    else if (word == "SINGLE") fixed(ColumnType::Single, 4);
    else if (word == "DOUBLE") fixed(ColumnType::Double, 8);
    else if (word == "DATE" || word == "DATETIME") fixed(ColumnType::Date, 8);
    else if (word == "GUID") fixed(ColumnType::Guid, 16);
    else if (word == "OLEOBJECT") fixed(ColumnType::OleObject, 0);
    else if (word == "MEMO") fixed(ColumnType::Memo, 0);
    else if (word == "TEXT" || word == "BINARY") {
        std::int32_t size = kMaxTextCharacters;
        if (in.Take('(')) {
            const auto n = in.Number();
            if (!n || !in.Take(')')) Refuse("a size in parentheses must be a whole number");
            size = *n;
        }
        if (word == "TEXT") {
            // A column record that states no size (an expression column, a
            // damaged record) still holds texts: they keep every character.
            if (size < 1) {
                table.notes.push_back("[" + columnName + "] TEXT(" + std::to_string(size) + ") stored as TEXT(255)");
                size = kMaxTextCharacters;
            }
            if (size > kMaxTextCharacters) {
                table.notes.push_back("[" + columnName + "] TEXT(" + std::to_string(size) + ") stored as MEMO");
                fixed(ColumnType::Memo, 0);
            } else {
                fixed(ColumnType::Text, size * 2);
            }
        } else {
            if (size < 1 || size > kMaxBinaryBytes) Refuse("BINARY(" + std::to_string(size) + ") is out of range");
            fixed(ColumnType::Binary, size);
        }
    } else if (word == "NUMERIC" || word == "DECIMAL") {
        std::int32_t precision = 18, scale = 0;
        if (in.Take('(')) {
            const auto p = in.Number();
            if (!p) Refuse("DECIMAL needs a precision");
            precision = *p;
            if (in.Take(',')) {
                const auto s = in.Number();
                if (!s) Refuse("DECIMAL needs a scale after the comma");
                scale = *s;
            }
            if (!in.Take(')')) Refuse("DECIMAL(p,s) is not closed");
        }
        if (precision < 1 || precision > kMaxNumericPrecision || scale < 0 || scale > precision)
            Refuse("DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ") is out of range");
        fixed(ColumnType::Numeric, 17);
        c.precision = precision;
        c.scale = scale;
    } else if (word == "BIGINT") {
        fixed(ColumnType::Numeric, 17);
        c.precision = 19;
        c.scale = 0;
        table.notes.push_back("[" + columnName + "] BIGINT stored as DECIMAL(19,0): the file format has no 64-bit integer");
    } else if (word == "DATETIMEEXT") {
        fixed(ColumnType::Text, kExtendedDateCharacters * 2);
        table.notes.push_back("[" + columnName +
                              "] DATETIMEEXT stored as TEXT(27): the file format has no date with 100-nanosecond precision");
    } else {
        Refuse("unknown data type \"" + word + "\" for column [" + columnName + "]");
    }
    return c;
}

}  // namespace

TableDesign ParseCreateTable(const std::string& sql) {
    Cursor in(sql);
    if (!in.TakeWord("CREATE") || !in.TakeWord("TABLE") || !in.Take('[')) Refuse("expected CREATE TABLE [name]");
    TableDesign table;
    const auto tableName = in.BracketedName([&](std::size_t after) {
        const std::size_t next = in.FirstNonBlank(after);
        return next < sql.size() && sql[next] == '(';
    });
    if (!tableName || tableName->empty()) Refuse("the table name is missing or not closed");
    table.name = *tableName;
    if (!in.Take('(')) Refuse("expected the column list");

    if (!in.Take(')')) {
        while (true) {
            if (!in.Take('[')) Refuse("expected a bracketed column name");
            const auto columnName = in.BracketedName([&](std::size_t after) {
                return after < sql.size() && std::isspace(static_cast<unsigned char>(sql[after])) &&
                       IsTypeWordStart(sql, in.FirstNonBlank(after));
            });
            if (!columnName || columnName->empty()) Refuse("a column name is missing or not closed");
            for (const ColumnDesign& earlier : table.columns)
                if (earlier.name == *columnName) Refuse("column [" + *columnName + "] is named twice");
            table.columns.push_back(ParseType(in, *columnName, table));
            if (in.Take(',')) continue;
            if (in.Take(')')) break;
            Refuse("expected a comma or the end of the column list after [" + *columnName + "]");
        }
    }
    in.Take(';');
    in.SkipBlanks();
    if (!in.AtEnd()) Refuse("text after the end of the statement");
    if (table.columns.size() > 255) Refuse("a table holds at most 255 columns");
    return table;
}

}  // namespace pw
