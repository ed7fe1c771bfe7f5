#include "engine/sql/literal_text.h"

#include <cstdio>
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

// yyyy-mm-dd[ hh:mm:ss] has a reader of its own, for speed: it must read every such text as
// the general reader reads the same date written with slashes, including every text either
// refuses (days a month lacks, hour 24, minute 60, years before 100).
TEST(LiteralText, isoDatesReadAsTheSameDatesWithSlashes) {
    char iso[32];
    char slashed[32];
    int checked = 0;
    for (const int year : {99, 100, 1600, 1899, 1900, 1999, 2000, 2024, 2100, 9999}) {
        for (int month = 0; month <= 13; ++month) {
            for (const int day : {0, 1, 15, 28, 29, 30, 31, 32}) {
                for (const int time : {-1, 0, 6 * 3600 + 30 * 60 + 59, 23 * 3600 + 59 * 60 + 59,
                                       24 * 3600, 12 * 3600 + 60 * 60, 1 * 3600 + 60}) {
                    const int hour = time / 3600;
                    const int minute = time % 3600 / 60 + (time == 12 * 3600 + 60 * 60 ? 60 : 0);
                    const int second = time % 60 + (time == 1 * 3600 + 60 ? 60 : 0);
                    if (time < 0) {
                        std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", year, month, day);
                        std::snprintf(slashed, sizeof slashed, "%04d/%d/%d", year, month, day);
                    } else {
                        std::snprintf(iso, sizeof iso, "%04d-%02d-%02d %02d:%02d:%02d", year, month,
                                      day, hour % 100, minute % 100, second % 100);
                        std::snprintf(slashed, sizeof slashed, "%04d/%d/%d %d:%02d:%02d", year,
                                      month, day, hour % 100, minute % 100, second % 100);
                    }
                    const auto fast = readDate(iso);
                    const auto general = readDate(slashed);
                    ASSERT_EQ(fast.has_value(), general.has_value()) << iso << " / " << slashed;
                    if (fast) {
                        EXPECT_EQ(fast->days, general->days) << iso;
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
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
