#include "value_text.h"

#include "decimal_digits.h"
#include "shortest_double.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace tools {

using namespace engine::format;

namespace {

char* putLiteral(std::string_view text, char* out) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The put functions write at out, which has room for kMaxScalarText characters, and return
// the end of what they wrote.
template <typename Float>
char* putShortestFloat(Float value, char* out) {
    if (std::isnan(value)) return putLiteral("NaN", out);
    if (std::isinf(value)) return putLiteral(value > 0 ? "Infinity" : "-Infinity", out);
    if constexpr (std::is_same_v<Float, double>) {
        static_assert(kMaxShortestDoubleText <= kMaxScalarText);
        return putShortestDouble(value, out);
    } else {
        return std::to_chars(out, out + kMaxScalarText, value, std::chars_format::fixed).ptr;
    }
}

template <typename Integer>
char* putInteger(Integer value, char* out) {
    auto magnitude = static_cast<uint64_t>(value);
    if constexpr (std::is_signed_v<Integer>) {
        if (value < 0) {
            *out++ = '-';
            magnitude = 0 - magnitude;
        }
    }
    return putUnsigned(magnitude, out);
}

// Writes an unsigned integer as decimal digits with scale digits after a point, without
// trailing zeros after it.
std::string scaledDecimal(std::string digits, unsigned scale, bool negative) {
    if (scale > 0) {
        if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
        digits.insert(digits.size() - scale, ".");
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    if (negative && digits != "0") digits.insert(0, "-");
    return digits;
}

__extension__ using Uint128 = unsigned __int128;

std::string uint128Digits(uint64_t high, uint64_t low) {
    Uint128 value = (static_cast<Uint128>(high) << 64) | low;
    if (value == 0) return "0";
    std::string digits;
    while (value > 0) {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    }
    return digits;
}

// Days since 0000-03-01 based civil date conversion (proleptic Gregorian calendar), within one
// 400-year era: the year of the era, the month and the day.
void civilInEra(unsigned dayOfEra, unsigned& yearOfEra, unsigned& month, unsigned& day) {
    yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
}

void civilFromDays(int64_t daysSinceEpoch, int64_t& year, unsigned& month, unsigned& day) {
    int64_t z = daysSinceEpoch + 719468;
    int64_t era = 0;
    unsigned dayOfEra = 0;
    if (z >= 0 && z <= UINT32_MAX) {
        // Dates from 0000-03-01 on, in cheaper unsigned arithmetic.
        auto count = static_cast<uint32_t>(z);
        era = count / 146097;
        dayOfEra = count % 146097;
    } else {
        era = (z >= 0 ? z : z - 146096) / 146097;
        dayOfEra = static_cast<unsigned>(z - era * 146097);
    }
    unsigned yearOfEra = 0;
    civilInEra(dayOfEra, yearOfEra, month, day);
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kOleEpochFromUnix = -25569;

std::string extendedDateText(const std::string& stored) {
    // days since 0001-01-01 (19 digits), ':', seconds of day (12) and ticks (7), ':', '7'.
    if (stored.size() < 40 || stored[19] != ':') return stored;
    int64_t days = 0;
    int64_t seconds = 0;
    int64_t ticks = 0;
    for (size_t index = 0; index < 19; ++index) {
        if (stored[index] < '0' || stored[index] > '9') return stored;
        days = days * 10 + (stored[index] - '0');
    }
    for (size_t index = 20; index < 39; ++index) {
        if (stored[index] < '0' || stored[index] > '9') return stored;
        (index < 32 ? seconds : ticks) =
            (index < 32 ? seconds : ticks) * 10 + (stored[index] - '0');
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    // 0001-01-01 is 719162 days before 1970-01-01.
    civilFromDays(days - 719162, year, month, day);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                  static_cast<long long>(year), month, day, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    std::string text = buffer;
    if (ticks != 0) {
        std::snprintf(buffer, sizeof buffer, ".%07lld", static_cast<long long>(ticks));
        std::string fraction = buffer;
        while (fraction.back() == '0') fraction.pop_back();
        text += fraction;
    }
    return text;
}

}  // namespace

namespace {

char* putDateTime(double days, char* out) {
    if (!std::isfinite(days) || std::fabs(days) > 1e7) return putShortestFloat(days, out);
    // The day toward zero; the fraction, also before the epoch, is the time of day, rounded to
    // the nearest second (halves up).
    auto dayNumber = static_cast<int64_t>(days);
    const double secondsOfDay = std::fabs(days - static_cast<double>(dayNumber)) * 86400.0;
    auto seconds = static_cast<uint32_t>(secondsOfDay);
    if (secondsOfDay - seconds >= 0.5) ++seconds;
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += 1;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(dayNumber + kOleEpochFromUnix, year, month, day);
    char* end = out;
    if (year < 0 || year > 9999) {
        end += std::snprintf(out, 64, "%04lld", static_cast<long long>(year));
    } else {
        putFourDigits(static_cast<uint32_t>(year), end);
        end += 4;
    }
    // -MM-DD HH:MM:SS
    end[0] = '-';
    putTwoDigits(month, end + 1);
    end[3] = '-';
    putTwoDigits(day, end + 4);
    end[6] = ' ';
    putTwoDigits(seconds / 3600, end + 7);
    end[9] = ':';
    putTwoDigits(seconds / 60 % 60, end + 10);
    end[12] = ':';
    putTwoDigits(seconds % 60, end + 13);
    return end + 15;
}

}  // namespace

std::string dateTimeText(double days) {
    char buffer[kMaxScalarText];
    return {buffer, putDateTime(days, buffer)};
}

std::string hexText(const ByteString& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string guidText(const Guid& guid) {
    const auto& b = guid.bytes;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buffer;
}

std::string decimalText(const Decimal& decimal) {
    return scaledDecimal(uint128Digits(decimal.high, decimal.low), decimal.scale, decimal.negative);
}

namespace {

char* putCurrency(Currency currency, char* out) {
    // The amount in ten-thousandths: digits, then up to four after a point, trailing zeros
    // dropped.
    bool negative = currency.scaled < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(currency.scaled)
                                  : static_cast<uint64_t>(currency.scaled);
    char* end = out;
    if (negative) *end++ = '-';
    end = putUnsigned(magnitude / 10000, end);
    const auto fraction = static_cast<uint32_t>(magnitude % 10000);
    if (fraction == 0) return end;
    // The four digits of the fraction are the word's last four characters; its trailing zeros
    // are the high bytes that hold '0'.
    *end++ = '.';
    const uint64_t word = eightDigitsWord(fraction);
    const uint64_t values = word ^ 0x3030303030303030ull;  // each character's digit
    const int trailingZeros = __builtin_clzll(values) / 8;
    putCharacters(static_cast<uint32_t>(word >> 32), end);
    return end + 4 - trailingZeros;
}

}  // namespace

std::string currencyText(Currency currency) {
    char buffer[kMaxScalarText];
    return {buffer, putCurrency(currency, buffer)};
}

char* putScalarText(const Value& value, char* out) {
    struct Visitor {
        char* out;
        char* operator()(std::monostate) const { return out; }
        char* operator()(bool v) const { return putLiteral(v ? "1" : "0", out); }
        char* operator()(uint8_t v) const { return putInteger(v, out); }
        char* operator()(int16_t v) const { return putInteger(v, out); }
        char* operator()(int32_t v) const { return putInteger(v, out); }
        char* operator()(int64_t v) const { return putInteger(v, out); }
        char* operator()(Currency v) const { return putCurrency(v, out); }
        char* operator()(float v) const { return putShortestFloat(v, out); }
        char* operator()(double v) const { return putShortestFloat(v, out); }
        char* operator()(DateTime v) const { return putDateTime(v.days, out); }
        char* operator()(ComplexKey v) const { return putInteger(v.key, out); }
        // Texts, bytes, GUIDs, decimals and extended dates have no bound on their length here.
        char* operator()(const std::string&) const { return nullptr; }
        char* operator()(const ByteString&) const { return nullptr; }
        char* operator()(const Guid&) const { return nullptr; }
        char* operator()(const Decimal&) const { return nullptr; }
        char* operator()(const ExtendedDateTime&) const { return nullptr; }
    };
    return std::visit(Visitor{out}, value);
}

void appendValueText(const Value& value, std::string& out) {
    char buffer[kMaxScalarText];
    if (char* end = putScalarText(value, buffer)) {
        out.append(buffer, end);
        return;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        out += *text;
    } else if (const auto* bytes = std::get_if<ByteString>(&value)) {
        out += hexText(*bytes);
    } else if (const auto* guid = std::get_if<Guid>(&value)) {
        out += guidText(*guid);
    } else if (const auto* decimal = std::get_if<Decimal>(&value)) {
        out += decimalText(*decimal);
    } else if (const auto* date = std::get_if<ExtendedDateTime>(&value)) {
        out += extendedDateText(date->stored);
    }
}

std::string valueText(const Value& value) {
    std::string text;
    appendValueText(value, text);
    return text;
}

void appendQuotedCsv(std::string_view text, std::string& out) {
    out += '"';
    for (size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"')) {
        out.append(text.data(), quote + 1);
        out += '"';
        text.remove_prefix(quote + 1);
    }
    out += text;
    out += '"';
}

std::string quoteCsv(std::string_view text) {
    std::string quoted;
    appendQuotedCsv(text, quoted);
    return quoted;
}

void appendCsvField(const Value& value, std::string& out) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        appendQuotedCsv(*text, out);
    } else if (const auto* bytes = std::get_if<ByteString>(&value); bytes && bytes->empty()) {
        // A value of no bytes must not read as NULL, the empty field.
        appendQuotedCsv("", out);
    } else {
        appendValueText(value, out);
    }
}

std::string csvField(const Value& value) {
    std::string field;
    appendCsvField(value, field);
    return field;
}

}  // namespace tools
