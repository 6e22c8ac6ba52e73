// make_large_db: writes a large, valid database with the engine, for
// benchmarks of the writer and of the readers. The rows are made by a seeded
// generator, so the same options always give the same file.
//
//   make_large_db --out FILE [--rows N] [--tables K] [--seed S]

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/Database.h"
#include "engine/TableWriter.h"
#include "schema/ColumnTypes.h"
#include "records/TypedValue.h"

namespace {

// splitmix64: the sequence is fixed by the seed alone, on every platform and
// library, which the standard distributions do not promise.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, n).
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }
    std::int64_t Between(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(Below(static_cast<std::uint64_t>(hi - lo) + 1));
    }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    bool Percent(unsigned p) { return Below(100) < p; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint64_t state_;
};

// Names in the scripts a real customer table holds, every one shorter than
// the TEXT(50) column even when two are joined.
const char* const kLatinFirst[] = {"Anna",  "Lukas",  "María",  "José",   "Zoë",  "François", "Søren", "Małgorzata",
                                   "Chiara", "Henrik", "Aoife", "Mehmet", "Ngozi", "Priya",   "Tomás", "Jürgen"};
const char* const kLatinLast[] = {"Müller", "García",   "Kowalski", "O'Brien", "Rossi",    "Jensen",
                                  "Dubois", "Novák",    "Silva",    "Yılmaz",  "Nakamura", "Smith-Jones"};
const char* const kGreekFirst[] = {"Αλέξανδρος", "Ελένη", "Γιώργος", "Μαρία", "Δημήτρης"};
const char* const kGreekLast[] = {"Παπαδόπουλος", "Οικονόμου", "Νικολάου", "Γεωργίου"};
const char* const kCyrillicFirst[] = {"Иван", "Ольга", "Дмитрий", "Наталья", "Сергей"};
const char* const kCyrillicLast[] = {"Петров", "Смирнова", "Кузнецов", "Соколова", "Попов"};
const char* const kCjkFamily[] = {"王", "李", "张", "陈", "佐藤", "鈴木", "김", "이"};
const char* const kCjkGiven[] = {"伟", "芳", "秀英", "花子", "太郎", "민준", "서연"};

const char* const kWords[] = {"order",   "shipped", "customer", "invoice", "delayed", "payment", "received",
                              "the",     "of",      "and",      "to",      "warehouse", "returned", "damaged",
                              "replacement", "call", "back",    "before",  "Friday",  "account", "credit",
                              "note",    "discount", "agreed",  "pallet",  "courier", "signed",  "address"};
const char* const kForeignWords[] = {"παραγγελία", "πελάτης", "заказ", "клиент", "доставка", "注文", "配送", "顧客"};

std::string Name(Random& rng, unsigned roll) {
    if (roll < 62) return std::string(rng.Pick(kLatinFirst)) + " " + rng.Pick(kLatinLast);
    if (roll < 72) return std::string(rng.Pick(kGreekFirst)) + " " + rng.Pick(kGreekLast);
    if (roll < 82) return std::string(rng.Pick(kCyrillicFirst)) + " " + rng.Pick(kCyrillicLast);
    return std::string(rng.Pick(kCjkFamily)) + rng.Pick(kCjkGiven);
}

// Sentences of about `bytes` bytes, with paragraph breaks as typed in a form.
std::string Prose(Random& rng, std::size_t bytes, bool foreign) {
    std::string text;
    text.reserve(bytes + 32);
    std::size_t sentence = 0;
    while (text.size() < bytes) {
        const char* word = foreign && rng.Percent(40) ? rng.Pick(kForeignWords) : rng.Pick(kWords);
        if (sentence == 0 && !text.empty()) text += rng.Percent(10) ? "\r\n" : " ";
        else if (sentence > 0) text += ' ';
        text += word;
        if (++sentence > 4 && rng.Percent(15)) {
            text += '.';
            sentence = 0;
        }
    }
    return text;
}

// Mostly short notes kept in the row; a quarter on a long-value page of their
// own; a few several pages long, so that long values are chained.
std::string Note(Random& rng, unsigned roll) {
    if (roll < 62) return Prose(rng, static_cast<std::size_t>(rng.Between(5, 55)), false);
    if (roll < 87) return Prose(rng, static_cast<std::size_t>(rng.Between(80, 1500)), false);
    if (roll < 88) return Prose(rng, static_cast<std::size_t>(rng.Between(80, 1500)), true);
    return Prose(rng, static_cast<std::size_t>(rng.Between(3000, 12000)), false);
}

// A small bitmap as an OLE field holds a picture: a header, then pixels.
std::string Picture(Random& rng) {
    std::string bytes = "BM";
    const auto size = static_cast<std::size_t>(rng.Between(2048, 8191));
    bytes.reserve(size);
    std::uint64_t pixel = rng.Next();
    while (bytes.size() < size) {
        if (rng.Percent(5)) pixel = rng.Next();
        bytes.push_back(static_cast<char>(pixel >> (8 * (bytes.size() % 8))));
    }
    return bytes;
}

pw::TypedValue Guid(Random& rng) {
    pw::TypedValue v;
    v.kind = pw::TypedValue::Kind::Guid;
    for (std::size_t i = 0; i < v.guid.size(); ++i) v.guid[i] = static_cast<std::uint8_t>(rng.Next());
    // Version 4, variant 1, as generated identifiers are; the third group is
    // stored little-endian, so its leading digit is the eighth byte.
    v.guid[7] = static_cast<std::uint8_t>((v.guid[7] & 0x0F) | 0x40);
    v.guid[8] = static_cast<std::uint8_t>((v.guid[8] & 0x3F) | 0x80);
    return v;
}

pw::TypedValue Amount(Random& rng) {
    pw::TypedValue v;
    v.kind = pw::TypedValue::Kind::Decimal;
    v.decimalMagnitude = rng.Below(1'000'000'000'000'000'000ull);  // 18 digits
    v.decimalScale = 4;
    v.decimalNegative = rng.Percent(30);
    return v;
}

constexpr double kFirstDay = 32874;  // 1990-01-01
constexpr double kLastDay = 47484;   // 2030-01-01

// The columns of Design(), by index.
enum Column { kId, kName, kQuantity, kRatio, kPrice, kOrdered, kPaid, kAmount, kToken, kNotes, kPicture, kColumns };

void AddRow(pw::TableWriter& table, Random& rng) {
    std::vector<pw::TypedValue> values(kColumns);
    const auto set = [&values](Column column, const pw::TypedValue& value) { values[column] = value; };
    const auto nameRoll = static_cast<unsigned>(rng.Below(100));
    if (nameRoll < 94) set(kName, pw::TypedValue::Text(nameRoll < 90 ? Name(rng, nameRoll) : ""));
    set(kQuantity, pw::TypedValue::Integer(rng.Percent(80) ? rng.Between(0, 500) : rng.Between(INT32_MIN, INT32_MAX)));
    if (!rng.Percent(3)) {
        const double scale = static_cast<double>(std::int64_t{1} << rng.Below(24));
        set(kRatio, pw::TypedValue::Float((rng.Unit() - 0.5) * scale, false));
    }
    set(kPrice, pw::TypedValue::Currency(rng.Between(-1'000'000'000, 1'000'000'000) * 100));
    const double day = kFirstDay + static_cast<double>(rng.Below(static_cast<std::uint64_t>(kLastDay - kFirstDay)));
    const double seconds = rng.Percent(30) ? 0.0 : static_cast<double>(rng.Below(86400));
    set(kOrdered, pw::TypedValue::Date(day + seconds / 86400.0));
    set(kPaid, pw::TypedValue::Boolean(rng.Percent(70)));
    if (!rng.Percent(5)) set(kAmount, Amount(rng));
    set(kToken, Guid(rng));
    const auto noteRoll = static_cast<unsigned>(rng.Below(100));
    if (noteRoll >= 8) set(kNotes, pw::TypedValue::Text(Note(rng, static_cast<unsigned>(rng.Below(100)))));
    if (rng.Below(1000) < 5) set(kPicture, pw::TypedValue::Bytes(Picture(rng)));
    table.Append(values);
}

std::string TableName(int index, int tables) {
    if (tables == 1) return "Orders";
    char name[32];
    std::snprintf(name, sizeof name, "Orders_%03d", index + 1);
    return name;
}

pw::TableDesign Design(const std::string& table) {
    namespace T = pw::ColumnType;
    const auto column = [](const char* name, std::int32_t type, std::int32_t length) {
        pw::ColumnDesign c;
        c.name = name;
        c.typeCode = type;
        c.length = length;
        return c;
    };
    pw::TableDesign design;
    design.name = table;
    design.columns = {column("ID", T::Long, 4),         column("Name", T::Text, 100),  column("Quantity", T::Long, 4),
                      column("Ratio", T::Double, 8),    column("Price", T::Currency, 8), column("Ordered", T::Date, 8),
                      column("Paid", T::Bit, 1),        column("Amount", T::Numeric, 17), column("Token", T::Guid, 16),
                      column("Notes", T::Memo, 0),      column("Picture", T::OleObject, 0)};
    design.columns[kId].autoNumber = true;
    design.columns[kAmount].precision = 18;
    design.columns[kAmount].scale = 4;
    return design;
}

// The process's peak resident memory in KiB, 0 where /proc does not tell.
long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a large database of generated rows with the engine"};
    std::int64_t rows = 1'000'000;
    int tables = 1;
    std::uint64_t seed = 20240601;
    std::string out;
    app.add_option("--rows", rows, "Rows in all, split evenly over the tables")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_option("--tables", tables, "Tables to split the rows over")->capture_default_str()->check(CLI::Range(1, 999));
    app.add_option("--seed", seed, "Seed of the generated values")->capture_default_str();
    app.add_option("--out", out, "The database to write (must not exist)")->required();
    CLI11_PARSE(app, argc, argv);

    const auto start = std::chrono::steady_clock::now();
    try {
        pw::Database db;
        db.Create(out);
        std::vector<pw::TableWriter*> writers;
        for (int t = 0; t < tables; ++t) writers.push_back(&db.CreateTable(Design(TableName(t, tables))));
        Random rng(seed);
        for (int t = 0; t < tables; ++t) {
            const std::int64_t share = rows / tables + (t < rows % tables ? 1 : 0);
            for (std::int64_t i = 0; i < share; ++i) AddRow(*writers[static_cast<std::size_t>(t)], rng);
        }
        db.Finish();
    } catch (const std::exception& e) {
        std::cerr << "make_large_db: " << e.what() << "\n";
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = static_cast<double>(std::filesystem::file_size(out));
    const double mib = bytes / (1024.0 * 1024.0);
    std::printf("rows: %lld\ntables: %d\nbytes: %.0f\nMiB: %.1f\nseconds: %.3f\nrows/s: %.0f\nMiB/s: %.1f\n"
                "peak RSS MiB: %.1f\n",
                static_cast<long long>(rows), tables, bytes, mib, seconds, static_cast<double>(rows) / seconds,
                mib / seconds, static_cast<double>(PeakResidentKiB()) / 1024.0);
    return 0;
}
