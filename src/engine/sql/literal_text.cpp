#include "engine/sql/literal_text.h"

#include <charconv>
#include <cmath>

namespace engine::sql {
namespace {

// A cursor over the text of a date.
class DateScanner {
public:
    explicit DateScanner(std::string_view text) : m_text(text) {}

    void skipBlanks() {
        while (m_pos < m_text.size() && m_text[m_pos] == ' ') ++m_pos;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    bool take(char c) {
        if (peek() != c) return false;
        ++m_pos;
        return true;
    }
    // One to four digits; digitCount tells how many there were.
    std::optional<int> number(int& digitCount) {
        int value = 0;
        digitCount = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            if (++digitCount > 4) return std::nullopt;
            value = value * 10 + (peek() - '0');
            ++m_pos;
        }
        if (digitCount == 0) return std::nullopt;
        return value;
    }
    // AM or PM in any letter case: 1 for PM, 0 for AM, nullopt for neither.
    std::optional<int> meridiem() {
        if (m_text.size() - m_pos < 2) return std::nullopt;
        const char first = static_cast<char>(m_text[m_pos] | 0x20);
        const char second = static_cast<char>(m_text[m_pos + 1] | 0x20);
        if (second != 'm' || (first != 'a' && first != 'p')) return std::nullopt;
        m_pos += 2;
        return first == 'p' ? 1 : 0;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads h:mm[:ss] [AM|PM] after its first number; the seconds of the day.
std::optional<int> readTime(DateScanner& scanner, int hour) {
    int digits = 0;
    const auto minute = scanner.number(digits);
    if (!minute || digits > 2 || *minute > 59) return std::nullopt;
    int second = 0;
    if (scanner.take(':')) {
        const auto seconds = scanner.number(digits);
        if (!seconds || digits > 2 || *seconds > 59) return std::nullopt;
        second = *seconds;
    }
    scanner.skipBlanks();
    if (const auto pm = scanner.meridiem()) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + 12 * *pm;
    } else if (hour > 23) {
        return std::nullopt;
    }
    return hour * 3600 + *minute * 60 + second;
}

// Days from 1899-12-30 to the given day of the proleptic Gregorian calendar.
int64_t daysSinceEpoch(int year, int month, int day) {
    // Days from 0000-03-01 by whole 400-year eras, then the offset of 1899-12-30 in that count.
    const int64_t y = month <= 2 ? year - 1 : year;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr int64_t kEpochFromEraStart = 693899;  // 1899-12-30 counted the same way
    return era * 146097 + dayOfEra - kEpochFromEraStart;
}

// A day and the seconds into it as one count of days; before the epoch the time of day
// counts away from it, as the day's own sign does.
Date dateOf(int64_t day, std::optional<int> seconds) {
    const double fraction = seconds ? *seconds / 86400.0 : 0.0;
    Date date;
    date.days = day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
    return date;
}

// yyyy-mm-dd and yyyy-mm-dd hh:mm:ss, the form most files write dates in, read at their fixed
// places; nullopt for any other text, which the general reader then reads.
std::optional<Date> readIsoDate(std::string_view text) {
    if (text.size() != 10 && text.size() != 19) return std::nullopt;
    const auto digits = [&](size_t at, size_t count) {
        int value = 0;
        for (size_t end = at + count; at < end; ++at) {
            const auto digit = static_cast<unsigned>(text[at] - '0');
            if (digit > 9) return -1;
            value = value * 10 + static_cast<int>(digit);
        }
        return value;
    };
    const int year = digits(0, 4);
    const int month = digits(5, 2);
    const int day = digits(8, 2);
    if (text[4] != '-' || text[7] != '-' || year < 100 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month)) {
        return std::nullopt;
    }
    std::optional<int> seconds;
    if (text.size() == 19) {
        const int hour = digits(11, 2);
        const int minute = digits(14, 2);
        const int second = digits(17, 2);
        if (text[10] != ' ' || text[13] != ':' || text[16] != ':' || hour < 0 || hour > 23 ||
            minute < 0 || minute > 59 || second < 0 || second > 59) {
            return std::nullopt;
        }
        seconds = hour * 3600 + minute * 60 + second;
    }
    return dateOf(daysSinceEpoch(year, month, day), seconds);
}

}  // namespace

std::optional<Date> readDate(std::string_view text) {
    if (auto date = readIsoDate(text)) return date;
    DateScanner scanner(text);
    scanner.skipBlanks();
    int digits = 0;
    const auto first = scanner.number(digits);
    if (!first) return std::nullopt;

    int64_t day = 0;
    std::optional<int> seconds;
    if (scanner.take(':')) {
        seconds = readTime(scanner, *first);
        if (!seconds) return std::nullopt;
    } else {
        const char separator = scanner.peek();
        if (separator != '/' && separator != '-') return std::nullopt;
        scanner.take(separator);
        int secondDigits = 0;
        int thirdDigits = 0;
        const auto second = scanner.number(secondDigits);
        if (!second || !scanner.take(separator)) return std::nullopt;
        const auto third = scanner.number(thirdDigits);
        if (!third || secondDigits > 2) return std::nullopt;
        int year = 0;
        int month = 0;
        int dayOfMonth = 0;
        if (digits == 4) {
            if (thirdDigits > 2) return std::nullopt;
            year = *first, month = *second, dayOfMonth = *third;
        } else {
            if (digits > 2) return std::nullopt;
            month = *first, dayOfMonth = *second, year = *third;
            if (thirdDigits <= 2) year += year < 30 ? 2000 : 1900;
        }
        if (year < 100 || month < 1 || month > 12 || dayOfMonth < 1 ||
            dayOfMonth > daysInMonth(year, month)) {
            return std::nullopt;
        }
        day = daysSinceEpoch(year, month, dayOfMonth);
        scanner.skipBlanks();
        if (!scanner.atEnd()) {
            const auto hour = scanner.number(digits);
            if (!hour || digits > 2 || !scanner.take(':')) return std::nullopt;
            seconds = readTime(scanner, *hour);
            if (!seconds) return std::nullopt;
        }
    }
    scanner.skipBlanks();
    if (!scanner.atEnd()) return std::nullopt;
    return dateOf(day, seconds);
}

std::optional<Number> readNumber(std::string_view digits, bool negative) {
    Number number;
    number.text = negative ? "-" + std::string(digits) : std::string(digits);
    const char* begin = number.text.data();
    const char* end = begin + number.text.size();
    const auto parsed = std::from_chars(begin, end, number.value);
    if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(number.value)) {
        return std::nullopt;
    }
    int64_t integer = 0;
    const auto whole = std::from_chars(begin, end, integer);
    if (whole.ec == std::errc() && whole.ptr == end) number.integer = integer;
    return number;
}

Guid readGuid(std::string_view text) {
    const auto hexValue = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        return (c | 0x20) - 'a' + 10;
    };
    // The bytes as written, two hex digits each, dashes skipped.
    std::array<uint8_t, 16> written{};
    size_t index = 0;
    for (size_t pos = 0; pos + 1 < text.size() && index < written.size(); ++pos) {
        if (text[pos] == '-') continue;
        written[index++] = static_cast<uint8_t>(hexValue(text[pos]) * 16 + hexValue(text[pos + 1]));
        ++pos;
    }
    // Stored with the first group (4 bytes) and the next two (2 bytes each) little-endian.
    static constexpr std::array<uint8_t, 16> kStoredOrder = {3, 2, 1,  0,  5,  4,  7,  6,
                                                             8, 9, 10, 11, 12, 13, 14, 15};
    Guid guid;
    for (size_t i = 0; i < guid.bytes.size(); ++i) guid.bytes[i] = written[kStoredOrder[i]];
    return guid;
}

}  // namespace engine::sql
