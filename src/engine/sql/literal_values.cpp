#include "engine/sql/literal_values.h"

#include "engine/error.h"
#include "engine/format/rows/exact_number.h"
#include "engine/format/rows/row_encoder.h"
#include "engine/storage/unicode.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace engine::sql {

using format::ExactNumber;

using format::ColumnType;
using format::Value;

namespace {

// The day numbers of 100-01-01 and 9999-12-31, the engine's first and last dates.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;

std::string fieldText(const format::ColumnDefinition& field) {
    return "the field '" + field.name + "' (" + format::columnTypeName(field.type) + ")";
}

[[noreturn]] void mismatch(const format::ColumnDefinition& field, const Literal& literal) {
    static const char* const kKinds[] = {"NULL",   "TRUE or FALSE", "a number",
                                         "a text", "a date",        "a GUID"};
    throw EngineError(ErrorCode::DataTypeMismatch, "Data type mismatch: " + fieldText(field) +
                                                       " cannot take " + kKinds[literal.index()] +
                                                       ".");
}

[[noreturn]] void overflow(const format::ColumnDefinition& field) {
    throw EngineError(ErrorCode::NumericOverflow,
                      "Numeric field overflow: the value does not fit " + fieldText(field) + ".");
}

// A number or TRUE/FALSE as an exact number; nullopt for other literals.
std::optional<ExactNumber> exactOf(const Literal& literal) {
    if (const bool* truth = std::get_if<bool>(&literal)) {
        return ExactNumber::fromInteger(*truth ? -1 : 0);
    }
    if (const Number* number = std::get_if<Number>(&literal)) {
        return ExactNumber::fromText(number->text);
    }
    return std::nullopt;
}

template <typename T>
Value wholeNumber(const Literal& literal, const format::ColumnDefinition& field) {
    const auto exact = exactOf(literal);
    if (!exact) mismatch(field, literal);
    const auto whole = exact->toScaledInteger(0);
    if (!whole || *whole < std::numeric_limits<T>::min() ||
        *whole > std::numeric_limits<T>::max()) {
        overflow(field);
    }
    return static_cast<T>(*whole);
}

Value floatingNumber(const Literal& literal, const format::ColumnDefinition& field) {
    double value = 0;
    if (const bool* truth = std::get_if<bool>(&literal)) {
        value = *truth ? -1 : 0;
    } else if (const Number* number = std::get_if<Number>(&literal)) {
        value = number->value;
    } else {
        mismatch(field, literal);
    }
    if (field.type == ColumnType::Double) return value;
    if (std::fabs(value) > std::numeric_limits<float>::max()) overflow(field);
    return static_cast<float>(value);
}

Value text(const Literal& literal, const format::ColumnDefinition& field,
           const format::JetFormat& format) {
    std::string text;
    if (const std::string* string = std::get_if<std::string>(&literal)) {
        text = *string;
    } else if (const Number* number = std::get_if<Number>(&literal)) {
        text = number->text;
    } else {
        mismatch(field, literal);
    }
    const size_t characters = storage::utf8ToUtf16(text).size();
    const size_t room = field.length / format.bytesPerTextCharacter;
    if (field.type == ColumnType::Text && characters > room) {
        throw EngineError(ErrorCode::FieldTooSmall,
                          "The field '" + field.name +
                              "' is too small to accept the amount of data you attempted to "
                              "add: it holds at most " +
                              std::to_string(room) + " characters.");
    }
    return text;
}

}  // namespace

Value valueForField(const Literal& literal, const format::ColumnDefinition& field,
                    const format::JetFormat& format) {
    if (std::holds_alternative<std::monostate>(literal)) return Value();
    switch (field.type) {
        case ColumnType::Boolean: {
            const auto exact = exactOf(literal);
            if (!exact) mismatch(field, literal);
            return !exact->isZero();
        }
        case ColumnType::Byte:
            return wholeNumber<uint8_t>(literal, field);
        case ColumnType::Integer:
            return wholeNumber<int16_t>(literal, field);
        case ColumnType::Long:
            return wholeNumber<int32_t>(literal, field);
        case ColumnType::BigInt:
            return wholeNumber<int64_t>(literal, field);
        case ColumnType::Currency: {
            const auto exact = exactOf(literal);
            if (!exact) mismatch(field, literal);
            const auto scaled = exact->toScaledInteger(4);
            if (!scaled) overflow(field);
            return format::Currency{*scaled};
        }
        case ColumnType::Numeric: {
            const auto exact = exactOf(literal);
            if (!exact) mismatch(field, literal);
            const auto decimal = exact->toDecimal(field.precision, field.scale);
            if (!decimal) overflow(field);
            return *decimal;
        }
        case ColumnType::Single:
        case ColumnType::Double:
            return floatingNumber(literal, field);
        case ColumnType::DateTime:
            if (const Date* date = std::get_if<Date>(&literal)) {
                return format::DateTime{date->days};
            }
            if (const Number* number = std::get_if<Number>(&literal)) {
                if (number->value < kFirstDay || number->value >= kLastDay + 1) overflow(field);
                return format::DateTime{number->value};
            }
            mismatch(field, literal);
        case ColumnType::Text:
        case ColumnType::Memo:
            return text(literal, field, format);
        case ColumnType::Guid:
            if (const Guid* guid = std::get_if<Guid>(&literal)) return format::Guid{guid->bytes};
            mismatch(field, literal);
        default:
            mismatch(field, literal);
    }
}

namespace {

Number numberOf(std::string text, double value, std::optional<int64_t> integer = std::nullopt) {
    return Number{std::move(text), value, integer};
}

Number wholeLiteral(int64_t whole) {
    return numberOf(std::to_string(whole), static_cast<double>(whole), whole);
}

// A stored value as the literal that writes it.
Literal literalOf(const Value& value) {
    return std::visit(
        [](const auto& typed) -> Literal {
            using T = std::decay_t<decltype(typed)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return std::monostate();
            } else if constexpr (std::is_same_v<T, bool>) {
                return typed;
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
                return wholeLiteral(typed);
            } else if constexpr (std::is_same_v<T, format::Currency>) {
                const ExactNumber exact = ExactNumber::fromScaled(typed.scaled, 4);
                return numberOf(exact.toText(), exact.toDouble());
            } else if constexpr (std::is_same_v<T, format::Decimal>) {
                const ExactNumber exact = ExactNumber::fromDecimal(typed);
                return numberOf(exact.toText(), exact.toDouble());
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                char buffer[64];
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, typed).ptr;
                return numberOf(std::string(buffer, end), static_cast<double>(typed));
            } else if constexpr (std::is_same_v<T, format::DateTime>) {
                return Date{typed.days};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return typed;
            } else if constexpr (std::is_same_v<T, format::Guid>) {
                return Guid{typed.bytes};
            } else {
                // Binary data and the like: no literal writes them.
                return std::monostate();
            }
        },
        value);
}

}  // namespace

// Whether value holds what a field of type stores, so that it can be stored as it is. Texts
// are measured against the field's size and decimals rounded to its scale on the way instead.
bool storesAsIs(const Value& value, ColumnType type) {
    return !format::isTextType(type) && type != ColumnType::Numeric &&
           format::holdsTypeOf(type, value);
}

Value valueForField(const Value& value, const format::ColumnDefinition& field,
                    const format::JetFormat& format) {
    if (format::isNull(value)) return Value();
    if (storesAsIs(value, field.type)) return value;
    const Literal literal = literalOf(value);
    if (std::holds_alternative<std::monostate>(literal)) {
        throw EngineError(ErrorCode::DataTypeMismatch,
                          "Data type mismatch: " + fieldText(field) +
                              " cannot take binary data or a value of a type of its own.");
    }
    return valueForField(literal, field, format);
}

}  // namespace engine::sql
