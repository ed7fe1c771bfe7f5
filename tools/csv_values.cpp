#include "csv_values.h"

#include "engine/format/rows/exact_number.h"
#include "engine/sql/literal_text.h"
#include "engine/sql/literal_values.h"
#include "engine/storage/unicode.h"

#include "arguments.h"
#include "shortest_double.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace tools {

namespace {

using engine::EngineError;
using engine::ErrorCode;
using engine::format::ColumnDefinition;
using engine::format::ColumnType;
using engine::format::ExactNumber;
using engine::format::Value;

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Filled whole by readNumberText; its fields hold nothing before (it is made for every numeric
// field, and zeroing it showed in the import's time).
struct NumberText {
    std::string_view text;  // as written, its sign included
    bool negative;
    bool point;
    bool exponent;
    size_t digits;         // every digit before the exponent, leading zeros included
    uint64_t mantissa;     // those digits as one whole number: exact when digits <= 18
    uint32_t fraction;     // digits after the point, trailing zeros included
    uint32_t decimals;     // digits after the point, trailing zeros left out
    size_t integerDigits;  // before the point, leading zeros left out
    size_t significant;    // from the first digit not zero to the last, without exponent

    // A whole number written without point or exponent in at most 18 digits: mantissa is it.
    bool plainWhole() const { return !point && !exponent && digits <= 18; }
    // The number as the SQL reader reads it: its exact text, its double and, when it is a
    // whole number of 64 bits, that number.
    std::optional<engine::sql::Number> read() const {
        return engine::sql::readNumber(text.substr(text.front() == '-' || text.front() == '+'),
                                       negative);
    }
};

// What judging a field read of its text, for converting it after without reading it again.
struct FieldReading {
    bool numberRead = false;  // isNumber tells whether the text is a number, number its shape
    bool isNumber = false;
    bool doubleRead = false;  // doubleValue is the double nearest to the number
    bool dateRead = false;    // date is what the text reads as
    size_t length = std::string::npos;  // in UTF-16 units, when measured
    NumberText number;
    double doubleValue;
    std::optional<engine::sql::Date> date;
};

// [+|-] digits [. digits] [e [+|-] digits], with a digit before or after the point, into
// result; false for any other text. Only the shape is read here; read() gives the value. The
// scan works on locals and stores the result once: this runs for every numeric field.
bool readNumberText(std::string_view text, NumberText& result) {
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    if (at != end && (*at == '-' || *at == '+')) ++at;
    const auto isDigit = [](char c) { return static_cast<unsigned>(c - '0') <= 9; };
    uint64_t mantissa = 0;
    const char* const whole = at;
    for (; at != end && isDigit(*at); ++at)
        mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
    const auto pointAt = static_cast<size_t>(at - whole);  // the digits before the point
    const bool point = at != end && *at == '.';
    if (point) ++at;
    const char* const fractionStart = at;
    if (point) {
        for (; at != end && isDigit(*at); ++at) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
        }
    }
    const auto fraction = static_cast<size_t>(at - fractionStart);
    const size_t digits = pointAt + fraction;
    if (digits == 0) return false;
    bool exponent = false;
    if (at != end && (*at == 'e' || *at == 'E')) {
        exponent = true;
        ++at;
        if (at != end && (*at == '-' || *at == '+')) ++at;
        const char* exponentStart = at;
        while (at != end && isDigit(*at)) ++at;
        if (at == exponentStart) return false;
    }
    if (at != end) return false;
    // Digit positions count from the first digit, across the point.
    const auto digitAt = [&](size_t position) {
        return position < pointAt ? whole[position] : fractionStart[position - pointAt];
    };
    size_t firstNonZero = 0;
    while (firstNonZero < digits && digitAt(firstNonZero) == '0') ++firstNonZero;
    size_t pastLastNonZero = digits;
    while (pastLastNonZero > firstNonZero && digitAt(pastLastNonZero - 1) == '0') --pastLastNonZero;
    result.text = text;
    result.negative = negative;
    result.point = point;
    result.exponent = exponent;
    result.digits = digits;
    result.mantissa = mantissa;
    result.fraction = static_cast<uint32_t>(fraction);
    result.significant = pastLastNonZero - firstNonZero;
    result.integerDigits = firstNonZero < pointAt ? pointAt - firstNonZero : 0;
    result.decimals =
        pastLastNonZero > pointAt ? static_cast<uint32_t>(pastLastNonZero - pointAt) : 0;
    // Only an exponent or hundreds of digits take a number beyond a double's range.
    return !(exponent || digits > 300) || result.read().has_value();
}

// A decimal text reduced to its sign, its significant digits and the power of ten of the first
// of them, so that two texts of one number compare equal however they are written.
struct DecimalDigits {
    bool negative = false;
    std::string_view::size_type count = 0;
    char digits[32] = {};
    long long power = 0;

    bool operator==(const DecimalDigits& other) const {
        if (count == 0 || other.count == 0) return count == other.count;  // zero has no sign
        return negative == other.negative && power == other.power &&
               std::string_view(digits, count) == std::string_view(other.digits, other.count);
    }
};

// Nullopt when the text holds more significant digits than DecimalDigits keeps.
std::optional<DecimalDigits> decimalDigits(std::string_view text) {
    DecimalDigits result;
    size_t at = 0;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        result.negative = text[at] == '-';
        ++at;
    }
    long long beforePoint = 0;  // digits before the point, counted from the first significant
    bool pointSeen = false;
    size_t zerosHeld = 0;  // zeros after the last digit kept, kept only if a digit follows
    for (; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at) {
        const char c = text[at];
        if (c == '.') {
            pointSeen = true;
            continue;
        }
        if (c == '0' && result.count == 0) {
            if (pointSeen) --beforePoint;
            continue;
        }
        if (!pointSeen) ++beforePoint;
        if (c == '0') {
            ++zerosHeld;
            continue;
        }
        if (result.count + zerosHeld + 1 > sizeof result.digits) return std::nullopt;
        for (; zerosHeld > 0; --zerosHeld) result.digits[result.count++] = '0';
        result.digits[result.count++] = c;
    }
    long long exponent = 0;
    if (at < text.size()) {
        const char* first = text.data() + at + 1;
        if (first < text.data() + text.size() && *first == '+') ++first;
        std::from_chars(first, text.data() + text.size(), exponent);
    }
    result.power = beforePoint + exponent - 1;
    return result;
}

// Whether the double nearest to the number, written in its shortest form, is the number
// itself: a Double column then keeps it as written.
// The double parsed is left in reading.
bool doubleKeeps(const NumberText& text, FieldReading& reading) {
    // Every decimal of at most 15 significant digits reads back from its nearest double.
    if (!text.exponent && text.significant <= 15) return true;
    double value = 0;
    std::string_view digits = text.text.substr(text.text.front() == '+');
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (parsed.ec != std::errc() || !std::isfinite(value)) return false;
    reading.doubleRead = true;
    reading.doubleValue = value;
    char buffer[kMaxShortestDoubleText];
    const char* end = putShortestDouble(value, buffer);
    const std::string_view shortest(buffer, static_cast<size_t>(end - buffer));
    if (shortest == digits) return true;  // a file written by a program that writes doubles so
    const auto written = decimalDigits(shortest);
    const auto given = decimalDigits(text.text);
    return written && given && *written == *given;
}

// The number when it is a whole number within Long Integer's range.
std::optional<int32_t> wholeOf(const NumberText& text) {
    if (text.point || text.exponent) return std::nullopt;
    int64_t whole = 0;
    if (text.plainWhole()) {
        whole = text.negative ? -static_cast<int64_t>(text.mantissa)
                              : static_cast<int64_t>(text.mantissa);
    } else {
        const auto read = text.read();
        if (!read || !read->integer) return std::nullopt;
        whole = *read->integer;
    }
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(whole);
}

std::optional<bool> readYesNo(std::string_view text) {
    const auto is = [&](std::string_view word) {
        return text.size() == word.size() &&
               std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == b;
               });
    };
    if (is("true") || is("yes")) return true;
    if (is("false") || is("no")) return false;
    return std::nullopt;
}

// Day-first dates (3/4/2020 as April 3) are turned month first for the engine's reader, and
// dots become slashes; other dates go to it as they are.
std::optional<engine::sql::Date> readDateText(std::string_view text, DateOrder order) {
    // Only a separator after one or two digits can end a month or a day.
    size_t first = std::string_view::npos;
    for (size_t at = 0; at < std::min<size_t>(text.size(), 3); ++at) {
        if (text[at] == '/' || text[at] == '.' || text[at] == '-') {
            first = at;
            break;
        }
    }
    if (first != std::string_view::npos && first > 0) {
        const size_t second = text.find(text[first], first + 1);
        if (second == std::string_view::npos) return std::nullopt;
        if (order == DateOrder::DayMonthYear || text[first] == '.') {
            std::string_view month = text.substr(0, first);
            std::string_view day = text.substr(first + 1, second - first - 1);
            if (order == DateOrder::DayMonthYear) std::swap(day, month);
            std::string date;
            date.append(month).append("/").append(day).append("/").append(text.substr(second + 1));
            return engine::sql::readDate(date);
        }
    }
    if (std::none_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return engine::sql::readDate(text);
}

std::optional<engine::sql::Guid> readGuidText(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    for (size_t at = 0; at < text.size(); ++at) {
        const bool dash = at == 8 || at == 13 || at == 18 || at == 23;
        if (dash ? text[at] != '-' : !std::isxdigit(static_cast<unsigned char>(text[at]))) {
            return std::nullopt;
        }
    }
    return engine::sql::readGuid(text);
}

std::optional<engine::format::ByteString> readHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    engine::format::ByteString bytes;
    for (size_t at = 0; at < text.size(); at += 2) {
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int high = digit(text[at]);
        const int low = digit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

size_t utf16Length(std::string_view text) {
    // Or-ing every byte, with no early exit, lets the compiler take many bytes at a time.
    unsigned char high = 0;
    for (const char c : text) high |= static_cast<unsigned char>(c);
    if ((high & 0x80) == 0) return text.size();
    size_t units = 0;
    for (size_t at = 0; at < text.size();) {
        char32_t codePoint = 0;
        const size_t length = engine::storage::decodeUtf8(text, at, codePoint);
        if (length == 0) return std::numeric_limits<size_t>::max();
        units += codePoint > 0xFFFF ? 2 : 1;
        at += length;
    }
    return units;
}

[[noreturn]] void cannotConvert(const ColumnDefinition& column, const std::string& why) {
    throw EngineError(ErrorCode::DataTypeMismatch,
                      "Data type mismatch: the field '" + column.name + "' (" +
                          engine::format::columnTypeName(column.type) + ") " + why + ".");
}

// The value of a number in the common cases that need no exact arithmetic: a whole number for
// a whole-number field, up to 4 decimals for Currency, any number for Double. Nullopt for every
// other case, and for a number the field cannot hold, whose error the general path gives.
// The double judging parsed is taken from reading. False when the quick way does not apply;
// the value is then in out.
bool quickNumber(const NumberText& number, ColumnType type, const FieldReading& reading,
                 Value& out) {
    const auto whole = [&]<typename T>(T) {
        if (!number.plainWhole()) return false;
        const int64_t value = number.negative ? -static_cast<int64_t>(number.mantissa)
                                              : static_cast<int64_t>(number.mantissa);
        if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
            return false;
        }
        out = static_cast<T>(value);
        return true;
    };
    switch (type) {
        case ColumnType::Byte:
            return whole(uint8_t{});
        case ColumnType::Integer:
            return whole(int16_t{});
        case ColumnType::Long:
            return whole(int32_t{});
        case ColumnType::BigInt:
            return whole(int64_t{});
        case ColumnType::Currency: {
            if (number.exponent || number.digits > 18 || number.fraction > 4) return false;
            int64_t scale = 1;
            for (uint32_t at = number.fraction; at < 4; ++at) scale *= 10;
            if (number.mantissa >
                static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / scale))
                return false;
            const int64_t scaled = static_cast<int64_t>(number.mantissa) * scale;
            out = engine::format::Currency{number.negative ? -scaled : scaled};
            return true;
        }
        case ColumnType::Double: {
            double value = reading.doubleValue;
            if (!reading.doubleRead) {
                const std::string_view text = number.text.substr(number.text.front() == '+');
                const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
                if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
                    !std::isfinite(value)) {
                    return false;
                }
            }
            out = value;
            return true;
        }
        default:
            return false;
    }
}

// A field's text, not empty, as a value of a column that is not Text or Memo, into out.
void valueOfText(std::string_view text, const ColumnDefinition& column,
                 const engine::format::JetFormat& jetFormat, DateOrder order,
                 const FieldReading& reading, Value& out) {
    using engine::sql::valueForField;
    switch (column.type) {
        case ColumnType::Boolean: {
            if (text == "1" || text == "-1") {
                out = true;
            } else if (text == "0") {
                out = false;
            } else if (auto truth = readYesNo(text)) {
                out = *truth;
            } else {
                cannotConvert(column, "takes true, false, yes, no, 1, -1 or 0, not '" +
                                          std::string(text) + "'");
            }
            return;
        }
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Numeric:
        case ColumnType::Single:
        case ColumnType::Double: {
            NumberText readHere;
            const NumberText* shape = &reading.number;
            if (!reading.numberRead) {
                shape = readNumberText(text, readHere) ? &readHere : nullptr;
            } else if (!reading.isNumber) {
                shape = nullptr;
            }
            if (!shape) cannotConvert(column, "takes numbers, not '" + std::string(text) + "'");
            if (quickNumber(*shape, column.type, reading, out)) return;
            auto number = shape->read();
            if (!number) cannotConvert(column, "takes numbers, not '" + std::string(text) + "'");
            // An import never rounds: a value with more decimals than the field keeps is refused.
            uint32_t keeps = std::numeric_limits<uint32_t>::max();
            if (column.type == ColumnType::Currency) keeps = 4;
            if (column.type == ColumnType::Numeric) keeps = column.scale;
            if (column.type != ColumnType::Single && column.type != ColumnType::Double &&
                keeps == std::numeric_limits<uint32_t>::max()) {
                keeps = 0;
            }
            if (keeps != std::numeric_limits<uint32_t>::max() && !number->integer) {
                auto exact = ExactNumber::fromText(number->text);
                if (!exact || exact->scale() > keeps) {
                    cannotConvert(column, "keeps " + std::to_string(keeps) + " decimals, and '" +
                                              std::string(text) + "' has more");
                }
            }
            out = valueForField(engine::sql::Literal(std::move(*number)), column, jetFormat);
            return;
        }
        case ColumnType::DateTime: {
            const auto date = reading.dateRead ? reading.date : readDateText(text, order);
            if (!date)
                cannotConvert(column, "takes dates and times, not '" + std::string(text) + "'");
            out = valueForField(engine::sql::Literal(*date), column, jetFormat);
            return;
        }
        case ColumnType::Guid: {
            auto guid = readGuidText(text);
            if (!guid) cannotConvert(column, "takes {GUID}s, not '" + std::string(text) + "'");
            out = valueForField(engine::sql::Literal(*guid), column, jetFormat);
            return;
        }
        case ColumnType::Binary:
        case ColumnType::Ole: {
            auto bytes = readHex(text);
            if (!bytes)
                cannotConvert(column, "takes hexadecimal digits, not '" + std::string(text) + "'");
            if (column.type == ColumnType::Binary && bytes->size() > column.length) {
                throw EngineError(ErrorCode::FieldTooSmall,
                                  "The field '" + column.name +
                                      "' is too small to accept the amount of data you "
                                      "attempted to add: it holds at most " +
                                      std::to_string(column.length) + " bytes.");
            }
            out = std::move(*bytes);
            return;
        }
        default:
            throw EngineError(ErrorCode::NotSupported,
                              "The field '" + column.name + "' is of a type (" +
                                  engine::format::columnTypeName(column.type) +
                                  ") an import does not fill.");
    }
}

// What field tells of its column's type, into guess; what was read of its text goes into
// reading.
void judge(ColumnGuess& guess, const CsvField& field, DateOrder order, FieldReading& reading) {
    if (field.text.empty() && !field.quoted) return;
    guess.seen = true;
    guess.quoted = guess.quoted || field.quoted;
    // A text of UTF-8 takes at most as many UTF-16 units as bytes: only a long one is
    // measured (what is not UTF-8 is refused when the value is stored as text).
    constexpr size_t kTextLimit = 255;
    if (field.text.size() > kTextLimit) reading.length = utf16Length(field.text);
    guess.longest = std::max(guess.longest,
                             field.text.size() > kTextLimit ? reading.length : field.text.size());
    if (guess.quoted) return;
    const std::string_view text = field.text;
    guess.yesNo = guess.yesNo && readYesNo(text).has_value();
    if (guess.number) {
        reading.numberRead = true;
        reading.isNumber = readNumberText(text, reading.number);
        if (!reading.isNumber) {
            guess.number = guess.whole = false;
        } else {
            const NumberText& parsed = reading.number;
            guess.whole = guess.whole && wholeOf(parsed).has_value();
            guess.doubleKeepsAll = guess.doubleKeepsAll && doubleKeeps(parsed, reading);
            if (parsed.exponent) {
                // Digits an exponent moves are counted by the exact form.
                const auto read = parsed.read();
                auto exact = read ? ExactNumber::fromText(read->text) : std::nullopt;
                guess.integerDigits =
                    std::max(guess.integerDigits, exact ? exact->integerDigits() : 99);
                guess.decimals = std::max(guess.decimals, exact ? exact->scale() : 99u);
            } else {
                guess.integerDigits = std::max(guess.integerDigits, parsed.integerDigits);
                guess.decimals = std::max(guess.decimals, parsed.decimals);
            }
        }
    }
    if (guess.date && !guess.number) {
        reading.dateRead = true;
        reading.date = readDateText(text, order);
        guess.date = reading.date.has_value();
    } else {
        guess.date = false;
    }
    guess.guid = guess.guid && readGuidText(text).has_value();
}

// readFieldValue, with what judging the field read of it.
void readValue(CsvField& field, const ColumnDefinition& column,
               const engine::format::JetFormat& jetFormat, DateOrder order,
               const FieldReading& reading, Value& out) {
    if (field.text.empty() && !field.quoted) {
        out = Value();
        return;
    }
    const std::string_view text = field.text;
    switch (column.type) {
        case ColumnType::Text:
        case ColumnType::Memo: {
            const size_t characters =
                reading.length != std::string::npos ? reading.length : utf16Length(text);
            if (characters == std::numeric_limits<size_t>::max()) {
                cannotConvert(column, "cannot take text that is not UTF-8");
            }
            // characters > length / bytes per character, without dividing
            if (column.type == ColumnType::Text &&
                characters * jetFormat.bytesPerTextCharacter > column.length) {
                // refuses
                out = engine::sql::valueForField(engine::sql::Literal(std::string(text)), column,
                                                 jetFormat);
            } else if (auto* held = std::get_if<std::string>(&out)) {
                held->assign(text);  // keeps the room the row's last text had
            } else {
                out = std::string(text);
            }
            return;
        }
        default:
            break;
    }
    if (text.empty()) {
        out = Value();
        return;
    }
    valueOfText(text, column, jetFormat, order, reading, out);
}

}  // namespace

void readFieldValue(CsvField& field, const ColumnDefinition& column,
                    const engine::format::JetFormat& format, DateOrder order, Value& out) {
    FieldReading reading;
    readValue(field, column, format, order, reading, out);
}

void judgeAndReadField(CsvField& field, ColumnGuess& guess, const ColumnDefinition& column,
                       const engine::format::JetFormat& format, DateOrder order, Value& out) {
    FieldReading reading;
    judge(guess, field, order, reading);
    readValue(field, column, format, order, reading, out);
}

void ColumnGuess::add(const CsvField& field, DateOrder order) {
    FieldReading reading;
    judge(*this, field, order, reading);
}

void ColumnGuess::merge(const ColumnGuess& other) {
    seen = seen || other.seen;
    quoted = quoted || other.quoted;
    yesNo = yesNo && other.yesNo;
    whole = whole && other.whole;
    number = number && other.number;
    doubleKeepsAll = doubleKeepsAll && other.doubleKeepsAll;
    date = date && other.date;
    guid = guid && other.guid;
    longest = std::max(longest, other.longest);
    integerDigits = std::max(integerDigits, other.integerDigits);
    decimals = std::max(decimals, other.decimals);
}

engine::catalog::NewColumn ColumnGuess::column(const std::string& name, bool hasDecimal) const {
    engine::catalog::NewColumn column{.name = name};
    if (!seen || quoted) {
        column.type = longest > 255 ? ColumnType::Memo : ColumnType::Text;
    } else if (yesNo) {
        column.type = ColumnType::Boolean;
    } else if (whole) {
        column.type = ColumnType::Long;
    } else if (number && (doubleKeepsAll || !hasDecimal || integerDigits + decimals > 28)) {
        column.type = ColumnType::Double;
    } else if (number) {
        column.type = ColumnType::Numeric;
        column.precision = 28;
        column.scale = static_cast<uint8_t>(decimals);
    } else if (date) {
        column.type = ColumnType::DateTime;
    } else if (guid) {
        column.type = ColumnType::Guid;
    } else {
        column.type = longest > 255 ? ColumnType::Memo : ColumnType::Text;
    }
    return column;
}

engine::catalog::NewColumn namedType(const std::string& column, const std::string& type) {
    static const std::vector<std::pair<std::string, ColumnType>> kTypes = {
        {"yesno", ColumnType::Boolean},   {"byte", ColumnType::Byte},
        {"integer", ColumnType::Integer}, {"long", ColumnType::Long},
        {"bigint", ColumnType::BigInt},   {"single", ColumnType::Single},
        {"double", ColumnType::Double},   {"currency", ColumnType::Currency},
        {"decimal", ColumnType::Numeric}, {"date", ColumnType::DateTime},
        {"text", ColumnType::Text},       {"memo", ColumnType::Memo},
        {"guid", ColumnType::Guid},
    };
    for (const auto& [name, columnType] : kTypes) {
        if (name != lowered(type)) continue;
        engine::catalog::NewColumn request{.name = column, .type = columnType};
        if (columnType == ColumnType::Numeric) {
            request.precision = 28;
            request.scale = 4;
        }
        return request;
    }
    throw UsageError("unknown type '" + type +
                     "' (yesno, byte, integer, long, bigint, single, double, currency, decimal, "
                     "date, text, memo or guid)");
}

}  // namespace tools
