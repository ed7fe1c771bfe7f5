#include "value_text.h"

#include "engine/database.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

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

TEST(ValueText, numbersUseTheirShortestExactForm) {
    EXPECT_EQ(valueText(Value(3.5)), "3.5");
    EXPECT_EQ(valueText(Value(0.1f)), "0.1");
    EXPECT_EQ(valueText(Value(444.555f)), "444.555");
    EXPECT_EQ(valueText(Value(1e20)), "100000000000000000000");
    EXPECT_EQ(valueText(Value(Currency{35000})), "3.5");
    EXPECT_EQ(valueText(Value(Currency{-1})), "-0.0001");
    EXPECT_EQ(valueText(Value(Currency{0})), "0");
    EXPECT_EQ(valueText(Value(Currency{INT64_MIN})), "-922337203685477.5808");
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
