#include "engine/sql/literal_text.h"

#include <gtest/gtest.h>

namespace engine::sql {
namespace {

double daysOf(std::string_view text) {
    const auto date = readDate(text);
    EXPECT_TRUE(date.has_value()) << text;
    return date ? date->days : -1e9;
}

TEST(LiteralText, readsDatesAsDaysSince1899December30) {
    EXPECT_DOUBLE_EQ(daysOf("1899-12-30"), 0.0);
    EXPECT_DOUBLE_EQ(daysOf("1900-01-01"), 2.0);
    EXPECT_DOUBLE_EQ(daysOf("2000-01-01"), 36526.0);
    EXPECT_DOUBLE_EQ(daysOf(" 2000/1/1 "), 36526.0);
    EXPECT_DOUBLE_EQ(daysOf("1/2/2003"), 37623.0);  // month first
    EXPECT_DOUBLE_EQ(daysOf("1-2-2003"), 37623.0);
    EXPECT_DOUBLE_EQ(daysOf("2/29/2000"), 36585.0);
    // The ends of the engine's range.
    EXPECT_DOUBLE_EQ(daysOf("1/1/100"), -657434.0);
    EXPECT_DOUBLE_EQ(daysOf("9999-12-31"), 2958465.0);
    // Two-digit years: 30 to 99 in the 1900s, below 30 in the 2000s.
    EXPECT_DOUBLE_EQ(daysOf("1/1/30"), 10959.0);
    EXPECT_DOUBLE_EQ(daysOf("12/31/99"), 36525.0);
    EXPECT_DOUBLE_EQ(daysOf("1/2/03"), 37623.0);
}

TEST(LiteralText, readsTimesAsTheFractionOfTheDay) {
    EXPECT_DOUBLE_EQ(daysOf("06:00"), 0.25);
    EXPECT_DOUBLE_EQ(daysOf("18:00:00"), 0.75);
    EXPECT_DOUBLE_EQ(daysOf("12:00 AM"), 0.0);
    EXPECT_DOUBLE_EQ(daysOf("12:00 pm"), 0.5);
    EXPECT_DOUBLE_EQ(daysOf("6:00:00 PM"), 0.75);
    EXPECT_DOUBLE_EQ(daysOf("2000-01-01 12:00"), 36526.5);
    EXPECT_DOUBLE_EQ(daysOf("1/1/2000 6:00 AM"), 36526.25);
    // Before 1899-12-30 the time counts away from zero, as the files store it.
    EXPECT_DOUBLE_EQ(daysOf("1899-12-29 06:00"), -1.25);
}

TEST(LiteralText, refusesDatesThatDoNotExist) {
    for (std::string_view text :
         {"",           " ",         "2/30/2020",     "2/29/1900",  "2/29/2100",
          "13/1/2020",  "0/1/2020",  "1/0/2020",      "1/32/2020",  "1/1/0099",
          "1/1/10000",  "2020-1",    "2020-01-01x",   "2020-01/01", "24:00",
          "23:60",      "23:59:60",  "13:00 PM",      "0:30 AM",    "12",
          "12:",        "1:2:3:4",   "2020-01-01 12", "abc",        "1/1/2000 AM",
          "123/1/2000", "2000-123-1"}) {
        EXPECT_FALSE(readDate(text).has_value()) << text;
    }
}

TEST(LiteralText, readsNumbers) {
    const auto integer = readNumber("42", true);
    ASSERT_TRUE(integer);
    EXPECT_EQ(integer->text, "-42");
    EXPECT_EQ(integer->integer, -42);
    EXPECT_DOUBLE_EQ(integer->value, -42.0);

    const auto fraction = readNumber(".5", false);
    ASSERT_TRUE(fraction);
    EXPECT_DOUBLE_EQ(fraction->value, 0.5);
    EXPECT_FALSE(fraction->integer);

    EXPECT_EQ(readNumber("9223372036854775807", false)->integer, INT64_MAX);
    EXPECT_EQ(readNumber("9223372036854775808", true)->integer, INT64_MIN);
    EXPECT_FALSE(readNumber("9223372036854775808", false)->integer);
    EXPECT_DOUBLE_EQ(readNumber("5.", false)->value, 5.0);
    EXPECT_FALSE(readNumber("1E400", false));
    EXPECT_FALSE(readNumber("1E400", true));
}

TEST(LiteralText, storesGuidsWithTheFirstGroupsLittleEndian) {
    const Guid guid = readGuid("00112233-4455-6677-8899-aAbBcCdDeEfF");
    const std::array<uint8_t, 16> expected = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                              0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(guid.bytes, expected);
}

}  // namespace
}  // namespace engine::sql
