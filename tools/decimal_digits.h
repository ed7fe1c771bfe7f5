// Writing unsigned numbers as fixed-width decimal digits, for the formatters that print a number
// per field: two digits at a time from a table, or eight at a time computed in one 64-bit word.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tools {

inline constexpr uint64_t kPowersOfTen[] = {1ull,
                                            10ull,
                                            100ull,
                                            1000ull,
                                            10000ull,
                                            100000ull,
                                            1000000ull,
                                            10000000ull,
                                            100000000ull,
                                            1000000000ull,
                                            10000000000ull,
                                            100000000000ull,
                                            1000000000000ull,
                                            10000000000000ull,
                                            100000000000000ull,
                                            1000000000000000ull,
                                            10000000000000000ull,
                                            100000000000000000ull,
                                            1000000000000000000ull,
                                            10000000000000000000ull};

// The number of decimal digits of value (one for zero).
inline int decimalDigits(uint64_t value) {
    // 1233 / 4096 is just above log10(2): from the bit length, a guess that is exact or one
    // short. Zero counts as one, which has as many digits.
    const uint64_t counted = value | 1;
    const int bitLength = 64 - __builtin_clzll(counted);
    const int guess = (bitLength * 1233) >> 12;
    return guess + (counted < kPowersOfTen[guess] ? 0 : 1);
}

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes value (below 100) as two digits at out.
inline void putTwoDigits(uint32_t value, char* out) {
    std::memcpy(out, kDigitPairs + value * 2, 2);
}

// Writes value (below 10^4) as four digits at out.
inline void putFourDigits(uint32_t value, char* out) {
    putTwoDigits(value / 100, out);
    putTwoDigits(value % 100, out + 2);
}

// The eight digits of value (below 10^8), zero-padded, as the characters of a word: the first
// digit in the lowest byte. The word is split in lanes that are divided in parallel: two 32-bit
// lanes of four digits, each split into two 16-bit lanes of two digits, each split into two
// bytes. A lane's quotient is a multiply and a shift (10486 / 2^20 and 103 / 2^10 divide
// exactly enough below 10^4 and 100), masked to the lane.
inline uint64_t eightDigitsWord(uint32_t value) {
    const uint64_t fours = (value / 10000) | (static_cast<uint64_t>(value % 10000) << 32);
    const uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007Full;
    const uint64_t twos = hundreds | ((fours - hundreds * 100) << 16);
    const uint64_t tens = ((twos * 103) >> 10) & 0x000F000F000F000Full;
    const uint64_t ones = twos - tens * 10;
    return (tens | (ones << 8)) + 0x3030303030303030ull;
}

// Stores the bytes of a word of characters at out, the lowest byte first.
template <typename Word>
inline void putCharacters(Word word, char* out) {
    static_assert(sizeof(Word) == 4 || sizeof(Word) == 8);
    if constexpr (std::endian::native == std::endian::big && sizeof(Word) == 8) {
        word = __builtin_bswap64(word);
    } else if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap32(word);
    }
    std::memcpy(out, &word, sizeof word);
}

// Writes the last `count` (1 to 8) characters of a word from eightDigitsWord at out, and up to
// 8 - count characters of no meaning after them.
inline char* putWordTail(uint64_t word, int count, char* out) {
    putCharacters(word >> (8 * (8 - count)), out);
    return out + count;
}

// Writes value as exactly `width` digits (1 to 20, zero-padded; value below 10^width) at out
// and returns their end. It may write up to 7 characters of no meaning after the end, so out
// needs width + 7 characters of room.
inline char* putDigits(uint64_t value, int width, char* out) {
    if (width <= 8) return putWordTail(eightDigitsWord(static_cast<uint32_t>(value)), width, out);
    const auto last = static_cast<uint32_t>(value % 100000000);
    value /= 100000000;
    if (width <= 16) {
        out = putWordTail(eightDigitsWord(static_cast<uint32_t>(value)), width - 8, out);
    } else {
        out = putWordTail(eightDigitsWord(static_cast<uint32_t>(value / 100000000)), width - 16,
                          out);
        out = putWordTail(eightDigitsWord(static_cast<uint32_t>(value % 100000000)), 8, out);
    }
    return putWordTail(eightDigitsWord(last), 8, out);
}

// Writes value as decimal digits at out and returns their end; like putDigits, it may write
// up to 7 characters of no meaning after them.
inline char* putUnsigned(uint64_t value, char* out) {
    return putDigits(value, decimalDigits(value), out);
}

}  // namespace tools
