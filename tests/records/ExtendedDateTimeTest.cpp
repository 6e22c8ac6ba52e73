#include "records/ExtendedDateTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "records/ScalarDecoders.h"
#include "records/ValueDispatch.h"
#include "schema/ColumnTypes.h"
#include "status/DamageReport.h"

namespace pw {
namespace {

// A zeroed page holding `text` (and its closing zero byte) at `position`.
std::vector<std::uint8_t> PageWithText(std::int64_t position, const std::string& text, std::size_t size = kPageSize) {
    std::vector<std::uint8_t> page(size, 0);
    for (std::size_t i = 0; i < text.size() && position + i < size; ++i)
        page[static_cast<std::size_t>(position) + i] = static_cast<std::uint8_t>(text[i]);
    return page;
}

// The stored form of a day number and a tick count.
std::string Stored(std::int64_t days, std::int64_t ticks, char precision = '7') {
    char text[64];
    std::snprintf(text, sizeof text, "%019lld:%019lld:%c", static_cast<long long>(days),
                  static_cast<long long>(ticks), precision);
    return text;
}

std::string TextOf(const std::string& stored) {
    const auto page = PageWithText(100, stored);
    return DecodeDateTimeExtValue(page, 100).text;
}

TEST(ExtendedDateTime, StoredDaysCountFromTheFirstOfJanuaryOfYearOne) {
    EXPECT_EQ(TextOf(Stored(0, 0)), "0001-01-01 00:00:00.0000000");
    // 1899-12-30 is the day the ordinary date serial counts from.
    EXPECT_EQ(TextOf(Stored(693593, 0)), "1899-12-30 00:00:00.0000000");
    EXPECT_EQ(TextOf(Stored(693596, 0)), "1900-01-02 00:00:00.0000000");
    // A leap day of a year divisible by 400, and the last day of all.
    EXPECT_EQ(TextOf(Stored(730178, 0)), "2000-02-29 00:00:00.0000000");
    EXPECT_EQ(TextOf(Stored(kExtendedDateTimeDays - 1, kTicksPerDay - 1)), "9999-12-31 23:59:59.9999999");
}

TEST(ExtendedDateTime, TicksAreHundredsOfNanosecondsIntoTheDay) {
    // 22:45:12.3456789 = 81912.3456789 s.
    EXPECT_EQ(TextOf(Stored(737954, 819123456789)), "2021-06-14 22:45:12.3456789");
    EXPECT_EQ(TextOf(Stored(737954, 1)), "2021-06-14 00:00:00.0000001");
    EXPECT_EQ(TextOf(Stored(737954, 36000000000)), "2021-06-14 01:00:00.0000000");
}

TEST(ExtendedDateTime, TypedValueCarriesTheWholeTickCount) {
    const auto page = PageWithText(7, Stored(2, 5));
    const DecodedCell cell = DecodeDateTimeExtValue(page, 7);
    ASSERT_EQ(cell.value.kind, TypedValue::Kind::DateTimeExt);
    EXPECT_EQ(cell.value.integer, 2 * kTicksPerDay + 5);
    EXPECT_EQ(FormatExtendedDateTime(cell.value.integer), cell.text);
}

TEST(ExtendedDateTime, MalformedOrOutOfRangeFieldsGiveNull) {
    std::string letter = Stored(737954, 0);
    letter[10] = 'x';
    std::string noColon = Stored(737954, 0);
    noColon[19] = '-';
    std::string noPrecision = Stored(737954, 0);
    noPrecision[40] = ' ';
    const std::string nines(19, '9');
    for (const std::string& bad : {letter, noColon, noPrecision, Stored(kExtendedDateTimeDays, 0),
                                   Stored(5, kTicksPerDay), nines + ":" + nines + ":7", std::string(41, '\0')}) {
        const DecodedCell cell = DecodeDateTimeExtValue(PageWithText(100, bad), 100);
        EXPECT_EQ(cell.value.kind, TypedValue::Kind::Null) << bad;
        EXPECT_EQ(cell.text, "") << bad;
    }
}

TEST(ExtendedDateTime, FieldCutByThePageEndIsNotRead) {
    const std::string stored = Stored(737954, 0);
    // All 41 characters fit exactly: read.
    EXPECT_EQ(DecodeDateTimeExtValue(PageWithText(0, stored, 41), 0).value.kind, TypedValue::Kind::DateTimeExt);
    // One short, or a position outside the page: Null, nothing read outside.
    EXPECT_EQ(DecodeDateTimeExtValue(PageWithText(0, stored, 40), 0).value.kind, TypedValue::Kind::Null);
    const auto page = PageWithText(0, stored);
    EXPECT_EQ(DecodeDateTimeExtValue(page, -1).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(DecodeDateTimeExtValue(page, kPageSize - 40).value.kind, TypedValue::Kind::Null);
    EXPECT_EQ(DecodeDateTimeExtValue(page, std::numeric_limits<std::int64_t>::max()).value.kind,
              TypedValue::Kind::Null);
    EXPECT_EQ(DecodeDateTimeExtValue(page, std::numeric_limits<std::int64_t>::min()).value.kind,
              TypedValue::Kind::Null);
}

TEST(ExtendedDateTime, AnyDigitsEitherReadInRangeOrGiveNull) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string stored = Stored(0, 0);
        for (char& c : stored)
            if (c >= '0' && c <= '9' && random() % 3 == 0) c = static_cast<char>('0' + random() % 10);
        if (round % 5 == 0) stored[random() % stored.size()] = static_cast<char>(random());
        const DecodedCell cell = DecodeDateTimeExtValue(PageWithText(0, stored), 0);
        if (cell.value.kind == TypedValue::Kind::Null) {
            EXPECT_EQ(cell.text, "");
            continue;
        }
        ASSERT_EQ(cell.value.kind, TypedValue::Kind::DateTimeExt);
        EXPECT_EQ(cell.text.size(), 27u) << stored;
        EXPECT_GE(cell.value.integer, 0);
        EXPECT_LT(cell.value.integer, kExtendedDateTimeDays * kTicksPerDay);
    }
}

TEST(ExtendedDateTime, FormatRefusesTicksOutsideTheRange) {
    EXPECT_EQ(FormatExtendedDateTime(-1), "");
    EXPECT_EQ(FormatExtendedDateTime(kExtendedDateTimeDays * kTicksPerDay), "");
    EXPECT_EQ(FormatExtendedDateTime(std::numeric_limits<std::int64_t>::max()), "");
}

ColumnInfo DateTimeExtColumn() {
    ColumnInfo column;
    column.name = "When";
    column.typeCode = ColumnType::DateTimeExt;
    column.length = static_cast<std::int32_t>(kExtendedDateTimeFieldSize);
    column.isFixed = 1;
    return column;
}

TEST(ExtendedDateTime, DispatchDecodesTypeTwentyAndReportsBadValues) {
    DamageReport damage;
    const RunControl run{nullptr, nullptr, &damage};
    const std::string table = "T";
    ValueContext context;
    context.run = &run;
    context.table = &table;
    context.page = 4;
    context.slot = 2;
    DecodedCell out;

    const auto good = PageWithText(50, Stored(737592, 0));
    EXPECT_EQ(DecodeFixedValue(context, good, DateTimeExtColumn(), 50, out), ValueProblem::None);
    EXPECT_EQ(out.text, "2020-06-17 00:00:00.0000000");
    EXPECT_EQ(out.value.kind, TypedValue::Kind::DateTimeExt);
    EXPECT_EQ(damage.Count(DamageKind::ValueOutOfRange), 0);

    const auto bad = PageWithText(50, Stored(99999999, 0));
    EXPECT_EQ(DecodeFixedValue(context, bad, DateTimeExtColumn(), 50, out), ValueProblem::Unreadable);
    EXPECT_EQ(out.value.kind, TypedValue::Kind::Null);
    ASSERT_EQ(damage.Count(DamageKind::ValueOutOfRange), 1);
    const DamageEvent event = damage.KeptEvents().at(0);
    EXPECT_EQ(event.page, 4);
    EXPECT_EQ(event.slot, 2);
    EXPECT_EQ(event.table, "T");
    EXPECT_NE(event.reason.find("When"), std::string::npos);
}

}  // namespace
}  // namespace pw
