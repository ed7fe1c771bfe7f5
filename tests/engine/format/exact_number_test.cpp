#include "engine/format/rows/exact_number.h"

#include <gtest/gtest.h>
#include <limits>

namespace engine::format {
namespace {

ExactNumber number(const std::string& text) {
    auto parsed = ExactNumber::fromText(text);
    if (!parsed) throw std::runtime_error("not a number: " + text);
    return *parsed;
}

TEST(ExactNumber, readsEveryFormOfLiteralExactly) {
    const std::vector<std::pair<std::string, std::string>> equal = {
        {"12.50", "12.5"},    {".5", "0.5"},         {"5.", "5"},     {"1E3", "1000"},
        {"2.5e-3", "0.0025"}, {"-0", "0"},           {"+7", "7"},     {"000120", "120"},
        {"1.2E+1", "12"},     {"123E-5", "0.00123"}, {"-0.000", "0"}, {"0.1", "1E-1"},
    };
    for (const auto& [left, right] : equal) {
        EXPECT_EQ(number(left).compare(number(right)), 0) << left << " " << right;
    }
    for (const char* bad : {"", "-", ".", "1.2.3", "1E", "1E+", "x1", "1x", "1E999"}) {
        EXPECT_FALSE(ExactNumber::fromText(bad).has_value()) << bad;
    }
}

TEST(ExactNumber, comparesWithoutRoundingThroughBinary) {
    const std::vector<std::string> ascending = {"-100000000000000000000.5",
                                                "-3",
                                                "-2.9999999999999999999",
                                                "-0.0001",
                                                "0",
                                                "0.0000000000000000000001",
                                                "0.1",
                                                "0.10000000000000000001",
                                                "0.2",
                                                "1",
                                                "9999999999999999999",
                                                "10000000000000000000",
                                                "1E40"};
    for (size_t i = 0; i < ascending.size(); ++i) {
        for (size_t j = 0; j < ascending.size(); ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(number(ascending[i]).compare(number(ascending[j])), expected)
                << ascending[i] << " vs " << ascending[j];
        }
    }
    // Currency's scaled amounts and Decimal values meet literals exactly.
    EXPECT_EQ(ExactNumber::fromScaled(1000, 4).compare(number("0.1")), 0);
    EXPECT_EQ(ExactNumber::fromScaled(std::numeric_limits<int64_t>::min(), 4)
                  .compare(number("-922337203685477.5808")),
              0);
    const format::Decimal decimal{.negative = true, .high = 1, .low = 5, .scale = 3};
    // -(2^64 + 5) / 1000
    EXPECT_EQ(ExactNumber::fromDecimal(decimal).compare(number("-18446744073709551.621")), 0);
    EXPECT_EQ(ExactNumber::fromInteger(-7).compare(number("-7.0")), 0);
}

TEST(ExactNumber, convertsToWholeNumbersAndCurrencyRoundingHalvesToEven) {
    const std::vector<std::tuple<std::string, uint32_t, std::optional<int64_t>>> cases = {
        {"2.5", 0, 2},
        {"3.5", 0, 4},
        {"-2.5", 0, -2},
        {"2.5000001", 0, 3},
        {"0.49999", 0, 0},
        {"12.34565", 4, 123456},
        {"12.34575", 4, 123458},
        {"-0.00005", 4, 0},
        {"0.00015", 4, 2},
        {"9.99995", 4, 100000},
        {"1E3", 4, 10000000},
        {"9223372036854775807", 0, std::numeric_limits<int64_t>::max()},
        {"-9223372036854775808", 0, std::numeric_limits<int64_t>::min()},
        {"9223372036854775808", 0, std::nullopt},
        {"922337203685477.5808", 4, std::nullopt},
        {"1E30", 0, std::nullopt},
    };
    for (const auto& [text, scale, expected] : cases) {
        EXPECT_EQ(number(text).toScaledInteger(scale), expected) << text << " at " << scale;
    }
}

TEST(ExactNumber, convertsToDecimalsWithinTheirPrecision) {
    const auto decimal = number("-12345678901234567890123456.78").toDecimal(28, 2);
    ASSERT_TRUE(decimal.has_value());
    EXPECT_TRUE(decimal->negative);
    EXPECT_EQ(decimal->scale, 2);
    EXPECT_EQ(ExactNumber::fromDecimal(*decimal).compare(number("-12345678901234567890123456.78")),
              0);
    // 28 nines is the largest a Decimal holds.
    const std::string nines(28, '9');
    ASSERT_TRUE(number(nines).toDecimal(28, 0).has_value());
    EXPECT_EQ(ExactNumber::fromDecimal(*number(nines).toDecimal(28, 0)).compare(number(nines)), 0);
    EXPECT_FALSE(number(nines + "9").toDecimal(28, 0).has_value());
    EXPECT_FALSE(number("1000").toDecimal(5, 2).has_value());  // 1000.00 needs 6 digits
    ASSERT_TRUE(number("999.994").toDecimal(5, 2).has_value());
    EXPECT_FALSE(number("999.995").toDecimal(5, 2).has_value());  // rounds to 1000.00
    const auto rounded = number("1.005").toDecimal(18, 2);
    ASSERT_TRUE(rounded.has_value());
    EXPECT_EQ(rounded->low, 100u);  // 1.00: the half goes to the even digit
    const auto zero = number("-0.001").toDecimal(18, 2);
    ASSERT_TRUE(zero.has_value());
    EXPECT_EQ(zero->low, 0u);
    EXPECT_FALSE(zero->negative);
}

TEST(ExactNumber, givesTheNearestDouble) {
    EXPECT_EQ(number("0.1").toDouble(), 0.1);
    EXPECT_EQ(number("-123.456E2").toDouble(), -12345.6);
    EXPECT_EQ(number("0").toDouble(), 0.0);
}

}  // namespace
}  // namespace engine::format
