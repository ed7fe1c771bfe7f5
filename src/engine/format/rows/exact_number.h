// Decimal numbers held exactly: a sign, the digits and how many of them follow the point. They
// serve where rounding through binary floating point would be wrong: comparing Currency and
// Decimal values with each other and with literals (0.1 is not a double), storing literals into
// Currency, Decimal and whole-number fields, and fitting copied Decimal values to a column.
#pragma once

#include "engine/format/rows/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::format {

class ExactNumber {
public:
    // A number as the lexer reads it: "-12.5", ".5", "1E3", "2.5e-3". nullopt for other text.
    static std::optional<ExactNumber> fromText(std::string_view text);
    static ExactNumber fromInteger(int64_t value);
    // scaled / 10^scale, as Currency stores its amounts (scale 4).
    static ExactNumber fromScaled(int64_t scaled, int scale);
    static ExactNumber fromDecimal(const Decimal& value);

    bool isZero() const { return m_digits.empty(); }
    // The digits before the point, and after it without trailing zeros.
    size_t integerDigits() const {
        return m_digits.size() > m_scale ? m_digits.size() - m_scale : 0;
    }
    uint32_t scale() const { return m_scale; }
    // The value times 10^scale, rounded to a whole number (halves to even), or nullopt when
    // that does not fit in 64 bits: toScaledInteger(0) for whole-number fields, (4) for
    // Currency.
    std::optional<int64_t> toScaledInteger(uint32_t scale) const;
    // The value as a Decimal field of this precision and scale stores it, rounded to the scale;
    // nullopt when it needs more digits than the precision allows.
    std::optional<Decimal> toDecimal(uint8_t precision, uint8_t scale) const;
    double toDouble() const;
    // Written as a number literal is: "-12.5", "0.0001", "0"; no exponent.
    std::string toText() const;

    // Negative, zero or positive as this is less than, equal to or greater than other.
    int compare(const ExactNumber& other) const;

private:
    void normalize();
    // Rounded to at most scale digits after the point, halves to even.
    ExactNumber rounded(uint32_t scale) const;
    int compareMagnitude(const ExactNumber& other) const;

    bool m_negative = false;
    // The value is m_digits / 10^m_scale: a whole number without leading zeros (empty for zero)
    // and a scale without trailing zeros, so that every value has one form.
    std::string m_digits;
    uint32_t m_scale = 0;
};

}  // namespace engine::format
