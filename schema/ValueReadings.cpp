#include "schema/ValueReadings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "schema/ColumnTypes.h"

namespace pw {
namespace {

constexpr double kAlignmentBonus = 0.1;
constexpr double kNoReading = -1.0;
// Days from 1899-12-30: 1800-01-01 and 2199-12-31.
constexpr double kFirstPlausibleDay = -36522.0;
constexpr double kLastPlausibleDay = 109574.0;
constexpr std::int32_t kLargestCounter = 1 << 30;

template <typename T>
T Read(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

bool AllZero(const unsigned char* p, int length) {
    return std::all_of(p, p + length, [](unsigned char b) { return b == 0; });
}

// High bytes of a value that only carry its sign: the smaller a reading's
// values, the likelier it is aligned on the column's real start.
int SignBytes(std::int64_t value, int width) {
    int count = 0;
    for (int b = width - 1; b > 0; --b) {
        const auto byte = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * b));
        if (byte != (value < 0 ? 0xFF : 0x00)) break;
        ++count;
    }
    return count;
}

// Small numbers (1.5, -4) are whole seconds of 1899 too, but far likelier
// plain Doubles: most dates people store lie after 1910.
double DateScore(const StoredValues& values) {
    constexpr double kModernDay = 3653.0;  // 1910-01-01
    int dated = 0;
    int modern = 0;
    for (const unsigned char* p : values) {
        if (AllZero(p, 8)) continue;
        const double day = Read<double>(p);
        if (!std::isfinite(day) || day < kFirstPlausibleDay || day > kLastPlausibleDay) return kNoReading;
        const double seconds = day * 86400.0;
        if (std::fabs(seconds - std::round(seconds)) > 1e-3) return kNoReading;
        ++dated;
        if (std::fabs(day) >= kModernDay) ++modern;
    }
    if (dated < 2 || 2 * modern < dated) return kNoReading;
    return 8.0 * dated;
}

// A Double's bits as a whole number are far beyond any sum of money, and two
// small Longs side by side are rarely whole cents in every row.
double CurrencyScore(const StoredValues& values) {
    constexpr std::int64_t kLargestSum = 1'000'000'000'000'000;  // ten-thousandths: 10^11 units
    int set = 0;
    for (const unsigned char* p : values) {
        const auto value = Read<std::int64_t>(p);
        if (value == 0) continue;
        if (value < -kLargestSum || value > kLargestSum || value % 100 != 0) return kNoReading;
        ++set;
    }
    return set < 2 ? kNoReading : 8.0 * set;
}

double DoubleScore(const StoredValues& values) {
    int set = 0;
    for (const unsigned char* p : values) {
        if (AllZero(p, 8)) continue;
        const double value = Read<double>(p);
        if (!std::isnormal(value) || std::fabs(value) < 1e-9 || std::fabs(value) > 1e15) return kNoReading;
        ++set;
    }
    return set == 0 ? kNoReading : 8.0 * set;
}

constexpr std::int16_t kLargestShort = 9999;

bool SmallShort(std::int16_t value) { return value >= -kLargestShort && value <= kLargestShort; }
bool SmallCount(std::int16_t value) { return value >= 0 && value <= kLargestShort; }

// A Single's bits almost never make such small integers. Two Integers side by
// side (counts, levels) make a Long whose halves are both small counts in
// every row; a Long past 65535 rarely has a small low half in every row, so
// rows where that is so and the high half is set tell two Integers.
double LongScore(const StoredValues& values, bool tellIntegers) {
    constexpr std::int32_t kLargestPlain = 1 << 24;
    constexpr int kRowsThatTellIntegers = 2;
    bool plain = true;
    bool counter = values.size() >= 2;
    bool halvesSmall = true;
    int highHalfSet = 0;
    std::set<std::int32_t> seen;
    double score = 0;
    for (const unsigned char* p : values) {
        const auto value = Read<std::int32_t>(p);
        plain = plain && value >= -kLargestPlain && value <= kLargestPlain;
        counter = counter && value > 0 && value <= kLargestCounter && seen.insert(value).second;
        if (!plain && !counter) return kNoReading;
        const auto low = Read<std::int16_t>(p);
        const auto high = Read<std::int16_t>(p + 2);
        halvesSmall = halvesSmall && SmallCount(low) && SmallCount(high);
        // A small negative Long sign-extends into its high half.
        const bool signOnly = high == 0 || (high == -1 && low < 0);
        if (!signOnly) ++highHalfSet;
        if (value != 0) score += 4.0 + kAlignmentBonus * SignBytes(value, 4);
    }
    if (tellIntegers && halvesSmall && highHalfSet >= kRowsThatTellIntegers) return kNoReading;
    return score == 0 ? kNoReading : score;
}

double LongOrIntegersScore(const StoredValues& values) { return LongScore(values, true); }
double LongOnlyScore(const StoredValues& values) { return LongScore(values, false); }

// Two Byte columns side by side (a status and a level) make an Integer whose
// bytes are both small codes in every row; an Integer past 255 rarely has a
// low byte that small in every row, so rows with the high byte set tell.
double IntScore(const StoredValues& values, bool tellBytes) {
    constexpr unsigned kSmallCode = 15;
    constexpr int kRowsThatTellBytes = 2;
    bool bytesSmall = true;
    int highByteSet = 0;
    double score = 0;
    for (const unsigned char* p : values) {
        const auto value = Read<std::int16_t>(p);
        if (!SmallShort(value)) return kNoReading;
        bytesSmall = bytesSmall && p[0] <= kSmallCode && p[1] <= kSmallCode;
        if (p[1] != 0) ++highByteSet;
        if (value != 0) score += 2.0 + kAlignmentBonus * SignBytes(value, 2);
    }
    if (tellBytes && bytesSmall && highByteSet >= kRowsThatTellBytes) return kNoReading;
    return score == 0 ? kNoReading : score;
}

double IntOrBytesScore(const StoredValues& values) { return IntScore(values, true); }
double IntOnlyScore(const StoredValues& values) { return IntScore(values, false); }

// Bytes account for so little that a Byte reading only fills what no wider
// reading takes; bytes past 100 are more often part of something else (a
// GUID, a flag word) than a code someone stored.
double ByteScore(const StoredValues& values) {
    constexpr unsigned kLargestCode = 100;
    double score = 0;
    for (const unsigned char* p : values) {
        if (p[0] > kLargestCode) return kNoReading;
        if (p[0] != 0) score += 1.0;
    }
    return score;
}

}  // namespace

const std::vector<ValueReading>& ValueReadings(ReadingGrain grain) {
    static const std::vector<ValueReading> finest = {{ColumnType::Date, 8, DateScore},
                                                     {ColumnType::Currency, 8, CurrencyScore},
                                                     {ColumnType::Double, 8, DoubleScore},
                                                     {ColumnType::Long, 4, LongOrIntegersScore},
                                                     {ColumnType::Int, 2, IntOrBytesScore},
                                                     {ColumnType::Byte, 1, ByteScore}};
    static const std::vector<ValueReading> fine = {{ColumnType::Date, 8, DateScore},
                                                   {ColumnType::Currency, 8, CurrencyScore},
                                                   {ColumnType::Double, 8, DoubleScore},
                                                   {ColumnType::Long, 4, LongOrIntegersScore},
                                                   {ColumnType::Int, 2, IntOnlyScore}};
    static const std::vector<ValueReading> coarse = {{ColumnType::Date, 8, DateScore},
                                                     {ColumnType::Currency, 8, CurrencyScore},
                                                     {ColumnType::Double, 8, DoubleScore},
                                                     {ColumnType::Long, 4, LongOnlyScore}};
    switch (grain) {
        case ReadingGrain::Finest: return finest;
        case ReadingGrain::Fine: return fine;
        case ReadingGrain::Coarse: break;
    }
    return coarse;
}

const ValueReading* BestReading(const StoredValues& values, std::int32_t length) {
    const ValueReading* best = nullptr;
    double bestScore = 0;
    for (const ValueReading& r : ValueReadings(ReadingGrain::Fine)) {
        if (r.length != length) continue;
        const double score = r.score(values);
        if (score > bestScore) {
            best = &r;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace pw
