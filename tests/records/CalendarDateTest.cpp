#include "records/CalendarDate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "records/DateText.h"

namespace pw {
namespace {

using namespace std::chrono_literals;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr double kFirstDay = -693593.0;   // 0001-01-01
constexpr double kLastDay = 2958465.0;    // 9999-12-31
constexpr double kSecond = 1.0 / 86400.0;

// Checked field by field so that a failure names the field that is wrong.
void ExpectDateTime(double serial, int y, unsigned m, unsigned d, std::chrono::seconds timeOfDay) {
    const std::optional<CivilDateTime> when = DateTimeFromSerial(serial);
    ASSERT_TRUE(when.has_value()) << serial;
    EXPECT_EQ(static_cast<int>(when->date.year()), y) << serial;
    EXPECT_EQ(static_cast<unsigned>(when->date.month()), m) << serial;
    EXPECT_EQ(static_cast<unsigned>(when->date.day()), d) << serial;
    EXPECT_EQ(when->timeOfDay.count(), timeOfDay.count()) << serial;
}

TEST(DateTimeFromSerial, DayZeroAndTheDaysBeforeIt) {
    ExpectDateTime(0.0, 1899, 12, 30, 0s);
    ExpectDateTime(0.25, 1899, 12, 30, 6h);
    ExpectDateTime(2.0, 1900, 1, 1, 0s);
    // Below zero the day is truncated towards zero and the fraction still
    // runs forward from that day's midnight.
    ExpectDateTime(-1.25, 1899, 12, 29, 6h);
    ExpectDateTime(-0.5, 1899, 12, 30, 12h);
    ExpectDateTime(-0.0, 1899, 12, 30, 0s);
    ExpectDateTime(std::numeric_limits<double>::denorm_min(), 1899, 12, 30, 0s);
}

TEST(DateTimeFromSerial, LeapDaysOfTheGregorianCalendar) {
    ExpectDateTime(60.0, 1900, 2, 28, 0s);  // 1900 is not a leap year
    ExpectDateTime(61.0, 1900, 3, 1, 0s);
    ExpectDateTime(36585.0, 2000, 2, 29, 0s);  // but 2000 is
    ExpectDateTime(-109512.0, 1600, 2, 29, 0s);
    ExpectDateTime(35430.0, 1996, 12, 31, 0s);
}

TEST(DateTimeFromSerial, FirstAndLastDayOfTheCalendar) {
    ExpectDateTime(kFirstDay, 1, 1, 1, 0s);
    ExpectDateTime(kFirstDay - 0.5, 1, 1, 1, 12h);  // truncation keeps the first day
    ExpectDateTime(kLastDay, 9999, 12, 31, 0s);
    ExpectDateTime(kLastDay + 0.5, 9999, 12, 31, 12h);
    ExpectDateTime(kLastDay + 86399.0 * kSecond, 9999, 12, 31, 23h + 59min + 59s);

    EXPECT_FALSE(DateTimeFromSerial(kFirstDay - 1.0));
    EXPECT_FALSE(DateTimeFromSerial(kLastDay + 1.0));
    EXPECT_FALSE(DateTimeFromSerial(-3.0e6));
    EXPECT_FALSE(DateTimeFromSerial(3.0e6));
}

TEST(DateTimeFromSerial, TimeRoundsHalfUpAndMidnightCarriesToTheNextDay) {
    ExpectDateTime(0.5 * kSecond, 1899, 12, 30, 1s);
    ExpectDateTime(86399.4 * kSecond, 1899, 12, 30, 23h + 59min + 59s);
    // 86399.5 s is not exact in a double (it lands a hair below); past it the
    // carry is certain.
    ExpectDateTime(86399.6 * kSecond, 1899, 12, 31, 0s);       // 23:59:59.6
    ExpectDateTime(-86399.6 * kSecond, 1899, 12, 31, 0s);      // forward from day zero
    ExpectDateTime(2.0 - 0.1 * kSecond, 1900, 1, 1, 0s);
    // Rounding is the one way past the last day; below zero the carry still
    // moves forward, off the day the serial was truncated to.
    ExpectDateTime(std::nextafter(kLastDay + 1.0, 0.0), 10000, 1, 1, 0s);
    ExpectDateTime(std::nextafter(kFirstDay - 1.0, 0.0), 1, 1, 2, 0s);
}

TEST(DateTimeFromSerial, NonFiniteAndHugeSerialsHaveNoDate) {
    for (double serial : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(), 1e300,
                          -1e300, 9.3e18, -9.3e18})
        EXPECT_FALSE(DateTimeFromSerial(serial)) << serial;
}

TEST(DateSerialTexts, DumpFormKeepsFourYearDigits) {
    EXPECT_EQ(FormatDateSerialIso(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(FormatDateSerialIso(39448.75), "2008-01-01 18:00:00");
    EXPECT_EQ(FormatDateSerialIso(kFirstDay), "0001-01-01 00:00:00");
    EXPECT_EQ(FormatDateSerialIso(-657434.0), "0100-01-01 00:00:00");
    EXPECT_EQ(FormatDateSerialIso(-657435.0), "0099-12-31 00:00:00");
    EXPECT_EQ(FormatDateSerialIso(kLastDay + 0.5), "9999-12-31 12:00:00");
    EXPECT_EQ(FormatDateSerialIso(std::nextafter(kLastDay + 1.0, 0.0)), "10000-01-01 00:00:00");
    EXPECT_EQ(FormatDateSerialIso(kLastDay + 1.0), "");
    EXPECT_EQ(FormatDateSerialIso(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(DateSerialTexts, CellAndDumpShowTheSameMoment) {
    // Serials spread over the whole range, with awkward fractions: the two
    // forms must name the same day and second.
    for (double serial = kFirstDay - 0.999; serial < kLastDay + 1.0; serial += 9876.54321) {
        const std::string cell = FormatDateSerial(serial);
        const std::string dump = FormatDateSerialIso(serial);
        ASSERT_EQ(cell.size(), 17u) << serial;
        ASSERT_EQ(dump.size(), 19u) << serial;
        EXPECT_EQ(cell.substr(0, 5), dump.substr(5, 2) + "/" + dump.substr(8, 2)) << serial;
        if (dump.substr(0, 4) != "1899") {
            EXPECT_EQ(cell.substr(6, 2), dump.substr(2, 2)) << serial;
        }
        EXPECT_EQ(cell.substr(9), dump.substr(11)) << serial;
    }
}

}  // namespace
}  // namespace pw
