#include "value_text.h"

#include "engine/database.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>

namespace tools {
namespace {

using namespace engine::format;

TEST(ValueText, datesCountDaysFrom1899December30) {
    EXPECT_EQ(dateTimeText(0), "1899-12-30 00:00:00");
    EXPECT_EQ(dateTimeText(2), "1900-01-01 00:00:00");
    EXPECT_EQ(dateTimeText(36526.5), "2000-01-01 12:00:00");
    EXPECT_EQ(dateTimeText(60), "1900-02-28 00:00:00");
    EXPECT_EQ(dateTimeText(61), "1900-03-01 00:00:00");  // no 29 February 1900
    // Before the epoch the fraction is still the time of day: -1.25 is 29 December, 06:00.
    EXPECT_EQ(dateTimeText(-1.25), "1899-12-29 06:00:00");
    // The Gregorian calendar reaches back before its introduction (1582-10-15).
    EXPECT_EQ(dateTimeText(-115858), "1582-10-15 00:00:00");
    EXPECT_EQ(dateTimeText(-115859), "1582-10-14 00:00:00");
    // A time that rounds up to midnight moves to the next day.
    EXPECT_EQ(dateTimeText(1.99998), "1899-12-31 23:59:58");
    EXPECT_EQ(dateTimeText(1.999999), "1900-01-01 00:00:00");
}

// Every day from 1899 to 2100, and every 97th from year 1 to 9999, against the standard
// library's calendar; times of day rounded to the second, as llround rounds.
TEST(ValueText, datesFollowTheStandardCalendar) {
    using namespace std::chrono;
    auto expected = [](int64_t dayNumber, int64_t seconds) {
        if (seconds == 86400) {
            seconds = 0;
            ++dayNumber;
        }
        const year_month_day date{sys_days{days{dayNumber - 25569}}};  // 1899-12-30 from 1970
        char text[80];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld",
                      static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                      static_cast<unsigned>(date.day()), static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
        return std::string(text);
    };
    std::mt19937_64 random(1899);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    int checked = 0;
    auto check = [&](int64_t dayNumber) {
        const double time = checked % 3 == 0 ? 0.0 : fraction(random);
        // Before the epoch the fraction still counts forward from midnight.
        const double days = static_cast<double>(dayNumber) + (dayNumber < 0 ? -time : time);
        const double secondsOfDay = std::fabs(days - static_cast<double>(dayNumber)) * 86400.0;
        ASSERT_EQ(dateTimeText(days), expected(dayNumber, std::llround(secondsOfDay)))
            << days;
        ++checked;
    };
    for (int64_t day = -693593; day <= 2958465; day += 97) check(day);  // 0001-01-01 to 9999-12-31
    for (int64_t day = 0; day <= 73415; ++day) check(day);  // 1899-12-30 to 2100-12-31
    // Halves of a second round up; just below a half rounds down. 1/256 of a day is exactly
    // 337.5 seconds.
    EXPECT_EQ(dateTimeText(40000 + 1.0 / 256), "2009-07-06 00:05:38");
    EXPECT_EQ(dateTimeText(-1 - 1.0 / 256), "1899-12-29 00:05:38");
    for (double seconds : {0.5, 1.5, 59.5, 86399.5, 0.49999, 86399.4999}) {
        const double days = 40000.0 + seconds / 86400.0;
        EXPECT_EQ(dateTimeText(days), expected(40000, std::llround((days - 40000.0) * 86400.0)));
    }
    EXPECT_GT(checked, 100000);
}

TEST(ValueText, numbersUseTheirShortestExactForm) {
    EXPECT_EQ(valueText(Value(3.5)), "3.5");
    EXPECT_EQ(valueText(Value(0.1f)), "0.1");
    EXPECT_EQ(valueText(Value(444.555f)), "444.555");
    EXPECT_EQ(valueText(Value(1e20)), "100000000000000000000");
    EXPECT_EQ(valueText(Value(Currency{35000})), "3.5");
    EXPECT_EQ(valueText(Value(Currency{-1})), "-0.0001");
    EXPECT_EQ(valueText(Value(Currency{0})), "0");
    EXPECT_EQ(valueText(Value(Currency{INT64_MIN})), "-922337203685477.5808");
    EXPECT_EQ(valueText(Value(Currency{INT64_MAX})), "922337203685477.5807");
    // Trailing zeros of the fraction go, inner ones stay.
    EXPECT_EQ(valueText(Value(Currency{12340})), "1.234");
    EXPECT_EQ(valueText(Value(Currency{10010})), "1.001");
    EXPECT_EQ(valueText(Value(Currency{-10})), "-0.001");
    EXPECT_EQ(valueText(Value(Currency{1230000})), "123");
    EXPECT_EQ(valueText(Value(int64_t{INT64_MIN})), "-9223372036854775808");
    EXPECT_EQ(valueText(Value(int32_t{-2147483647 - 1})), "-2147483648");
    EXPECT_EQ(valueText(Value(uint8_t{0})), "0");
    EXPECT_EQ(valueText(Value(Decimal{true, 0, 12345, 2})), "-123.45");
    EXPECT_EQ(valueText(Value(Decimal{false, 0, 5, 3})), "0.005");
    EXPECT_EQ(valueText(Value(Decimal{false, 1, 0, 0})), "18446744073709551616");
    EXPECT_EQ(valueText(Value(Decimal{true, 0, 0, 4})), "0");
}

TEST(ValueText, csvQuotesTextAndEmptyBytesOnly) {
    EXPECT_EQ(csvField(Value(std::string("say \"hi\", ok"))), "\"say \"\"hi\"\", ok\"");
    EXPECT_EQ(csvField(Value()), "");
    EXPECT_EQ(csvField(Value(true)), "1");
    EXPECT_EQ(csvField(Value(ByteString{0x00, 0xAB, 0x7F})), "00AB7F");
    // No bytes at all is a value, not NULL.
    EXPECT_EQ(csvField(Value(ByteString{})), "\"\"");
    EXPECT_EQ(csvField(Value(std::string())), "\"\"");
    Guid guid{{0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
               0xFF, 0x00}};
    EXPECT_EQ(csvField(Value(guid)), "{11223344-5566-7788-99AA-BBCCDDEEFF00}");
}

// Puts "6/14/2021 10:45:12.3456789 PM" into the tool's form "2021-06-14 22:45:12.3456789".
std::string fromUsText(const std::string& text) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char fraction[16] = "";
    char half[4] = "AM";
    int fields = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d.%15[0-9] %3s", &month, &day, &year,
                             &hour, &minute, &second, fraction, half);
    if (fields >= 8 && std::string(half) == "PM" && hour != 12) hour += 12;
    if (fields >= 8 && std::string(half) == "AM" && hour == 12) hour = 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    std::string result = buffer;
    std::string digits = fraction;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (!digits.empty()) result += "." + digits;
    return result;
}

// mdbtools cannot read Date/Time Extended values; the fixture holds each one also as text in
// DateExtStr, which proves them.
TEST(ValueText, extendedDatesMatchTheirTextInTheFixture) {
    auto database = engine::Database::open(support::fixture("ace17/extDateTestV2019.accdb"));
    auto reader = database->readTable("Table1");
    const auto& definition = reader->definition();
    auto at = [&](const char* name) {
        return static_cast<size_t>(definition.findColumn(name) - definition.columns.data());
    };
    std::vector<Value> row;
    int checked = 0;
    while (reader->next(row)) {
        if (isNull(row[at("DateExt")])) {
            EXPECT_TRUE(isNull(row[at("DateExtStr")]));
            continue;
        }
        EXPECT_EQ(valueText(row[at("DateExt")]),
                  fromUsText(std::get<std::string>(row[at("DateExtStr")])));
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}

}  // namespace
}  // namespace tools
