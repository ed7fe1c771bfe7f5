#include "decimal_digits.h"
#include "shortest_double.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tools {
namespace {

std::string ours(double value) {
    char buffer[kMaxShortestDoubleText];
    return {buffer, putShortestDouble(value, buffer)};
}

std::string library(double value) {
    char buffer[kMaxShortestDoubleText];
    return {buffer, std::to_chars(buffer, buffer + sizeof buffer, value,
                                  std::chars_format::fixed)
                        .ptr};
}

double fromBits(uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The text must be std::to_chars's, byte for byte, for every kind of double: the fast path's
// range and its edges, values with few digits, values next to them, ties, and the values the
// fast path hands on.
TEST(ShortestDouble, writesWhatToCharsWrites) {
    std::mt19937_64 random(20261209);
    size_t checked = 0;
    auto check = [&](double value) {
        ASSERT_EQ(ours(value), library(value)) << "bits " << std::hex << [&] {
            uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            return bits;
        }();
        ++checked;
    };
    for (double value : {0.0, -0.0, 1.0, -1.0, 0.5, 0.1, 0.0625, 0.06249999999999999, 1.0 / 3,
                         2.0 / 3, 0.3, 4503599627370495.5, 4503599627370496.0, 9007199254740993.0,
                         1e15, 1e16, 1e22, 1e300, 5e-324, std::numeric_limits<double>::max(),
                         std::numeric_limits<double>::min(), 123456.789, 99.99999999999999,
                         9.999999999999998, 0.9999999999999999, 1.0000000000000002}) {
        check(value);
        check(-value);
    }
    // Every exponent from well below the fast path's range to well above it, random mantissas.
    for (int exponent = 1075 - 70; exponent <= 1075 + 10; ++exponent) {
        for (int index = 0; index < 3000; ++index) {
            uint64_t bits = (random() & 0x800FFFFFFFFFFFFFull) |
                            (static_cast<uint64_t>(exponent) << 52);
            check(fromBits(bits));
            check(fromBits(bits & ~0xFFFull));  // fewer mantissa bits: shorter texts
        }
        check(fromBits(static_cast<uint64_t>(exponent) << 52));  // a power of two
    }
    // Decimals of 1 to 17 digits, and their neighbours, which need all 17.
    for (int index = 0; index < 100000; ++index) {
        const int digits = 1 + static_cast<int>(random() % 17);
        const uint64_t mantissa = random() % kPowersOfTen[digits];
        const std::string text =
            std::to_string(mantissa) + "e-" + std::to_string(random() % 19);
        const double value = std::strtod(text.c_str(), nullptr);
        check(value);
        check(std::nextafter(value, 0.0));
        check(std::nextafter(value, 1e300));
        check(static_cast<double>(index) / 3.0);
        check(-static_cast<double>(index) * 0.1);
    }
    // Ties: a value exactly halfway between two candidates of the shortest length.
    for (double value : {0.125, 0.375, 2.5, 1.5, 1.0625, 1234.5, 0.0703125, 4503599627370494.5}) {
        check(value);
    }
    EXPECT_GT(checked, 800000u);
}

TEST(DecimalDigits, countAndWriteEveryLength) {
    for (int length = 1; length <= 19; ++length) {
        const uint64_t smallest = length == 1 ? 0 : kPowersOfTen[length - 1];
        const uint64_t largest = length == 19 ? 9999999999999999999ull : kPowersOfTen[length] - 1;
        for (uint64_t value : {smallest, smallest + 1, largest / 3, largest - 1, largest}) {
            EXPECT_EQ(decimalDigits(value), length) << value;
            char text[32];
            std::string written(text, putUnsigned(value, text));
            EXPECT_EQ(written, std::to_string(value));
            // Zero-padded to any width from its length to 19.
            for (int width = length; width <= 19; ++width) {
                std::string padded(text, putDigits(value, width, text));
                EXPECT_EQ(padded, std::string(static_cast<size_t>(width - length), '0') +
                                      std::to_string(value));
            }
        }
    }
    EXPECT_EQ(decimalDigits(UINT64_MAX), 20);
    char text[32];
    EXPECT_EQ(std::string(text, putUnsigned(UINT64_MAX, text)), std::to_string(UINT64_MAX));
}

}  // namespace
}  // namespace tools
