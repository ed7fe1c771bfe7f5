#include "engine/format/rows/exact_number.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace engine::format {

namespace {

// Divides the 128-bit number high:low by 10 in place; returns the remainder.
uint32_t divideByTen(uint64_t& high, uint64_t& low) {
    const uint64_t highRemainder = high % 10;
    high /= 10;
    // (highRemainder * 2^64 + low) / 10, done in 32-bit halves so nothing overflows.
    uint64_t upper = (highRemainder << 32) | (low >> 32);
    const uint64_t upperQuotient = upper / 10;
    uint64_t lower = ((upper % 10) << 32) | (low & 0xFFFFFFFFu);
    low = (upperQuotient << 32) | (lower / 10);
    return static_cast<uint32_t>(lower % 10);
}

// Multiplies high:low by 10 and adds digit; false when the result passes 2^96 - 1.
bool multiplyByTenAndAdd(uint64_t& high, uint64_t& low, uint32_t digit) {
    const uint64_t lowLow = (low & 0xFFFFFFFFu) * 10 + digit;
    const uint64_t lowHigh = (low >> 32) * 10 + (lowLow >> 32);
    high = high * 10 + (lowHigh >> 32);
    low = (lowHigh << 32) | (lowLow & 0xFFFFFFFFu);
    return high < (uint64_t(1) << 32);
}

}  // namespace

std::optional<ExactNumber> ExactNumber::fromText(std::string_view text) {
    ExactNumber number;
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        number.m_negative = text[pos] == '-';
        ++pos;
    }
    bool anyDigit = false;
    bool point = false;
    int64_t exponent = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c >= '0' && c <= '9') {
            number.m_digits.push_back(c);
            if (point) ++number.m_scale;
            anyDigit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        const auto parsed = std::from_chars(text.data() + pos, text.data() + text.size(), exponent);
        if (parsed.ec != std::errc() || parsed.ptr == text.data() + pos || exponent > 400) {
            return std::nullopt;
        }
        pos = static_cast<size_t>(parsed.ptr - text.data());
        if (negativeExponent) exponent = -exponent;
    }
    if (pos != text.size()) return std::nullopt;
    // Move the point by the exponent: to the left adds to the scale, to the right appends zeros.
    if (exponent < 0) {
        number.m_scale += static_cast<uint32_t>(-exponent);
    } else {
        const auto shift = static_cast<uint32_t>(exponent);
        const uint32_t fromScale = std::min(shift, number.m_scale);
        number.m_scale -= fromScale;
        number.m_digits.append(shift - fromScale, '0');
    }
    number.normalize();
    return number;
}

ExactNumber ExactNumber::fromInteger(int64_t value) { return fromScaled(value, 0); }

ExactNumber ExactNumber::fromScaled(int64_t scaled, int scale) {
    ExactNumber number;
    number.m_negative = scaled < 0;
    // The magnitude as unsigned, which also holds the magnitude of the smallest int64.
    const uint64_t magnitude =
        scaled < 0 ? uint64_t(0) - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    number.m_digits = std::to_string(magnitude);
    number.m_scale = static_cast<uint32_t>(scale);
    number.normalize();
    return number;
}

ExactNumber ExactNumber::fromDecimal(const Decimal& value) {
    ExactNumber number;
    number.m_negative = value.negative;
    uint64_t high = value.high;
    uint64_t low = value.low;
    while (high != 0 || low != 0) {
        number.m_digits.push_back(static_cast<char>('0' + divideByTen(high, low)));
    }
    std::reverse(number.m_digits.begin(), number.m_digits.end());
    number.m_scale = value.scale;
    number.normalize();
    return number;
}

void ExactNumber::normalize() {
    while (m_scale > 0 && !m_digits.empty() && m_digits.back() == '0') {
        m_digits.pop_back();
        --m_scale;
    }
    m_digits.erase(0, std::min(m_digits.find_first_not_of('0'), m_digits.size()));
    if (m_digits.empty()) {
        m_scale = 0;
        m_negative = false;
    }
}

ExactNumber ExactNumber::rounded(uint32_t scale) const {
    if (m_scale <= scale) return *this;
    const size_t dropped = m_scale - scale;
    // Pad so that at least one digit stays before the dropped ones.
    std::string digits =
        std::string(dropped + 1 > m_digits.size() ? dropped + 1 - m_digits.size() : 0, '0') +
        m_digits;
    const std::string tail = digits.substr(digits.size() - dropped);
    digits.resize(digits.size() - dropped);
    const char first = tail.front();
    const bool rest = tail.find_first_not_of('0', 1) != std::string::npos;
    const bool odd = (digits.back() - '0') % 2 == 1;
    if (first > '5' || (first == '5' && (rest || odd))) {
        size_t pos = digits.size();
        while (pos > 0 && digits[pos - 1] == '9') digits[--pos] = '0';
        if (pos == 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[pos - 1];
        }
    }
    ExactNumber result;
    result.m_negative = m_negative;
    result.m_digits = digits;
    result.m_scale = scale;
    result.normalize();
    return result;
}

std::optional<int64_t> ExactNumber::toScaledInteger(uint32_t scale) const {
    const ExactNumber fitted = rounded(scale);
    const std::string digits = fitted.m_digits + std::string(scale - fitted.m_scale, '0');
    uint64_t magnitude = 0;
    if (!fitted.isZero()) {
        const auto parsed =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        if (parsed.ec != std::errc()) return std::nullopt;
    }
    const auto limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (fitted.m_negative) {
        if (magnitude > limit + 1) return std::nullopt;
        return static_cast<int64_t>(uint64_t(0) - magnitude);
    }
    if (magnitude > limit) return std::nullopt;
    return static_cast<int64_t>(magnitude);
}

std::optional<Decimal> ExactNumber::toDecimal(uint8_t precision, uint8_t scale) const {
    const ExactNumber fitted = rounded(scale);
    // The digits the field holds: the value times 10^scale as a whole number.
    const std::string digits = fitted.m_digits + std::string(scale - fitted.m_scale, '0');
    const size_t significant = fitted.isZero() ? 0 : digits.size();
    if (significant > precision) return std::nullopt;
    Decimal decimal;
    decimal.negative = fitted.m_negative;
    decimal.scale = scale;
    for (char digit : fitted.isZero() ? std::string() : digits) {
        if (!multiplyByTenAndAdd(decimal.high, decimal.low, static_cast<uint32_t>(digit - '0'))) {
            return std::nullopt;
        }
    }
    return decimal;
}

double ExactNumber::toDouble() const {
    std::string text = m_negative ? "-" : "";
    text += m_digits.empty() ? "0" : m_digits;
    text += "e-" + std::to_string(m_scale);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

int ExactNumber::compareMagnitude(const ExactNumber& other) const {
    // Zero's empty digits would gain leading zeros from the padding below.
    if (isZero() || other.isZero()) return other.isZero() - isZero();
    const size_t scale = std::max(m_scale, other.m_scale);
    const std::string left = m_digits + std::string(scale - m_scale, '0');
    const std::string right = other.m_digits + std::string(scale - other.m_scale, '0');
    if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
    return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
}

int ExactNumber::compare(const ExactNumber& other) const {
    if (m_negative != other.m_negative) return m_negative ? -1 : 1;
    const int magnitude = compareMagnitude(other);
    return m_negative ? -magnitude : magnitude;
}

std::string ExactNumber::toText() const {
    if (m_digits.empty()) return "0";
    std::string text = m_digits;
    if (m_scale > 0) {
        if (text.size() <= m_scale) text.insert(0, m_scale + 1 - text.size(), '0');
        text.insert(text.size() - m_scale, ".");
    }
    return m_negative ? "-" + text : text;
}

}  // namespace engine::format
