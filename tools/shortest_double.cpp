#include "shortest_double.h"

#include "decimal_digits.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace tools {

namespace {

__extension__ using Uint128 = unsigned __int128;

char* generalText(double value, char* out) {
    return std::to_chars(out, out + kMaxShortestDoubleText, value, std::chars_format::fixed).ptr;
}

}  // namespace

// The bits of a double give value = mantissa / 2^shift. Every real number strictly closer to
// value than to its neighbours reads back as value; so do the two midpoints when the mantissa
// is even (reading rounds ties to even). The value's text is the decimal in that interval with
// the fewest significant digits, and of those the one nearest to value.
//
// Handled here: a normal double with 1 <= shift <= 56, that is 1/16 <= |value| < 2^52, that is
// not a power of two (whose lower neighbour is nearer than its upper one). The interval is then
// worked out in units of 10^-scale, with scale chosen so that a unit is below 17 significant
// digits of value: that many digits always suffice, so the interval holds at least one whole
// unit. Digits are then dropped from the end while the interval still holds a multiple of ten.
char* putShortestDouble(double value, char* out) {
    char* const start = out;
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const uint64_t fraction = bits & ((1ull << 52) - 1);
    const int shift = 1075 - static_cast<int>((bits >> 52) & 0x7FF);
    if (fraction == 0 || shift < 1 || shift > 56) return generalText(value, start);
    const uint64_t mantissa = fraction | (1ull << 52);
    const uint64_t whole = mantissa >> shift;
    const uint64_t part = mantissa & ((1ull << shift) - 1);
    if (part == 0) {
        if (bits >> 63) *out++ = '-';
        return putUnsigned(whole, out);
    }

    // Units of 10^-scale: 10^scale * value has at least 17 digits before its point.
    const int scale = whole == 0 ? 18 : 17 - decimalDigits(whole);
    const uint64_t unit = kPowersOfTen[scale];
    // As a 64-bit binary fraction, times unit: the 128-bit product's high word is the whole
    // units in value's fractional part, its low word what is left in 2^-64 units. The interval
    // reaches half a step of the mantissa, 2^-(shift + 1), to either side.
    const uint64_t binaryFraction = part << (64 - shift);
    const Uint128 center = Uint128(binaryFraction) * unit;
    const Uint128 halfWidth = Uint128(unit) << (63 - shift);
    const Uint128 lowEnd = center - halfWidth;
    const Uint128 highEnd = center + halfWidth;
    // An end that is a whole unit would be inside when the mantissa is even. That cannot
    // happen in this range: 2 * part -+ 1 is odd, and 10^scale has fewer factors of two than
    // 2^(shift + 1). Should it happen, the general conversion decides.
    if (static_cast<uint64_t>(lowEnd) == 0 || static_cast<uint64_t>(highEnd) == 0) {
        return generalText(value, start);
    }
    const uint64_t base = whole * unit;
    uint64_t low = base + static_cast<uint64_t>(lowEnd >> 64) + 1;  // the first unit inside
    uint64_t high = base + static_cast<uint64_t>(highEnd >> 64);    // the last unit inside
    const uint64_t nearest = base + static_cast<uint64_t>(center >> 64);
    const uint64_t nearestRest = static_cast<uint64_t>(center);  // value beyond `nearest`
    if (low > high) return generalText(value, start);

    // Drop digits while a multiple of ten units stays inside [low, high], four at a time while
    // that many can go, then one at a time. `nearest` loses the same digits; `dropped` keeps
    // what they were worth.
    int dropped = 0;
    uint64_t digits = nearest;
    uint64_t droppedValue = 0;
    while (high / 10000 * 10000 >= low) {
        low = (low + 9999) / 10000;
        high /= 10000;
        droppedValue += digits % 10000 * kPowersOfTen[dropped];
        digits /= 10000;
        dropped += 4;
    }
    while (high / 10 * 10 >= low) {
        low = (low + 9) / 10;
        high /= 10;
        droppedValue += digits % 10 * kPowersOfTen[dropped];
        digits /= 10;
        ++dropped;
    }
    // Of the units of 10^dropped inside, the nearest to value: `digits` rounded by what was
    // dropped (and by the rest beyond `nearest`). Computed without branches, which the
    // processor could not foresee.
    constexpr uint64_t kHalf = 1ull << 63;
    const uint64_t halfDropped = kPowersOfTen[dropped] / 2;  // 0 when nothing was dropped
    const bool tie = dropped == 0 ? nearestRest == kHalf
                                  : (droppedValue == halfDropped) & (nearestRest == 0);
    if (tie) return generalText(value, start);
    digits += dropped == 0 ? nearestRest > kHalf : droppedValue >= halfDropped;
    if (digits < low || digits > high) return generalText(value, start);
    if (bits >> 63) *out++ = '-';
    const int point = scale - dropped;  // digits after the point
    if (point <= 0) {
        // A whole number, its last digits dropped: the zeros take their place.
        out = putUnsigned(digits, out);
        std::memset(out, '0', static_cast<size_t>(-point));
        return out - point;
    }
    // The whole part is value's, or one more when the fraction rounded up to one.
    const uint64_t pointUnit = kPowersOfTen[point];
    const uint64_t wholePart = digits >= (whole + 1) * pointUnit ? whole + 1 : whole;
    out = putUnsigned(wholePart, out);
    *out++ = '.';
    return putDigits(digits - wholePart * pointUnit, point, out);
}

}  // namespace tools
