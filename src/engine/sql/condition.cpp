#include "engine/sql/condition.h"

#include "engine/format/rows/column_type.h"
#include "engine/format/rows/exact_number.h"
#include "engine/sql/like_pattern.h"
#include "engine/sql/syntax_error.h"
#include "engine/storage/unicode.h"

#include <cstring>
#include <optional>

namespace engine::sql {

using format::ExactNumber;

using format::ColumnType;
using format::Value;

namespace {

// What a value is, as far as comparing it goes.
enum class Kind { Null, Number, Text, Guid, Uncomparable };

Kind kindOf(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Numeric:
        case ColumnType::DateTime:
            return Kind::Number;
        case ColumnType::Text:
        case ColumnType::Memo:
            return Kind::Text;
        case ColumnType::Guid:
            return Kind::Guid;
        default:
            return Kind::Uncomparable;
    }
}

// A number in the form it compares best in.
struct Numeric {
    enum class Form { Integer, Exact, Approximate };
    Form form = Form::Integer;
    int64_t integer = 0;
    ExactNumber exact;
    long double approximate = 0;

    long double toLongDouble() const {
        switch (form) {
            case Form::Integer:
                return static_cast<long double>(integer);
            case Form::Exact:
                return exact.toDouble();
            case Form::Approximate:
                break;
        }
        return approximate;
    }
    ExactNumber toExact() const {
        return form == Form::Integer ? ExactNumber::fromInteger(integer) : exact;
    }
};

Numeric integerNumber(int64_t value) { return {.form = Numeric::Form::Integer, .integer = value}; }
Numeric exactNumber(ExactNumber value) {
    return {.form = Numeric::Form::Exact, .exact = std::move(value)};
}
Numeric approximateNumber(long double value) {
    return {.form = Numeric::Form::Approximate, .approximate = value};
}

template <typename T>
int sign(T left, T right) {
    return (left > right) - (left < right);
}

int compareNumbers(const Numeric& left, const Numeric& right) {
    using Form = Numeric::Form;
    if (left.form == Form::Integer && right.form == Form::Integer) {
        return sign(left.integer, right.integer);
    }
    if (left.form == Form::Approximate || right.form == Form::Approximate) {
        return sign(left.toLongDouble(), right.toLongDouble());
    }
    return left.toExact().compare(right.toExact());
}

// A value ready to compare: NULL, a number, a text with its letter case folded, or a GUID.
using Scalar = std::variant<std::monostate, Numeric, std::string, format::Guid>;

Scalar scalarOf(const Value& value) {
    return std::visit(
        [](const auto& typed) -> Scalar {
            using T = std::decay_t<decltype(typed)>;
            if constexpr (std::is_same_v<T, bool>) {
                return integerNumber(typed ? -1 : 0);
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
                return integerNumber(typed);
            } else if constexpr (std::is_same_v<T, format::Currency>) {
                return exactNumber(ExactNumber::fromScaled(typed.scaled, 4));
            } else if constexpr (std::is_same_v<T, format::Decimal>) {
                return exactNumber(ExactNumber::fromDecimal(typed));
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                return approximateNumber(typed);
            } else if constexpr (std::is_same_v<T, format::DateTime>) {
                return approximateNumber(typed.days);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return storage::foldedCase(typed);
            } else if constexpr (std::is_same_v<T, format::Guid>) {
                return typed;
            } else {
                // NULL, and the types binding refuses to compare.
                return std::monostate();
            }
        },
        value);
}

Scalar scalarOf(const Literal& literal) {
    if (const bool* truth = std::get_if<bool>(&literal)) return integerNumber(*truth ? -1 : 0);
    if (const Number* number = std::get_if<Number>(&literal)) {
        if (number->integer) return integerNumber(*number->integer);
        if (auto exact = ExactNumber::fromText(number->text)) return exactNumber(*exact);
        return approximateNumber(number->value);
    }
    if (const std::string* text = std::get_if<std::string>(&literal)) {
        return storage::foldedCase(*text);
    }
    if (const Date* date = std::get_if<Date>(&literal)) return approximateNumber(date->days);
    if (const Guid* guid = std::get_if<Guid>(&literal)) return format::Guid{guid->bytes};
    return std::monostate();
}

// Negative, zero or positive; nullopt when either side is NULL.
std::optional<int> compareScalars(const Scalar& left, const Scalar& right) {
    if (left.index() != right.index() || std::holds_alternative<std::monostate>(left)) {
        return std::nullopt;
    }
    if (const auto* number = std::get_if<Numeric>(&left)) {
        return compareNumbers(*number, std::get<Numeric>(right));
    }
    if (const auto* text = std::get_if<std::string>(&left)) {
        return sign(text->compare(std::get<std::string>(right)), 0);
    }
    const auto& leftBytes = std::get<format::Guid>(left).bytes;
    const auto& rightBytes = std::get<format::Guid>(right).bytes;
    return sign(std::memcmp(leftBytes.data(), rightBytes.data(), leftBytes.size()), 0);
}

bool comparisonHolds(CompareOp op, int order) {
    switch (op) {
        case CompareOp::Equal:
            return order == 0;
        case CompareOp::NotEqual:
            return order != 0;
        case CompareOp::Less:
            return order < 0;
        case CompareOp::LessOrEqual:
            return order <= 0;
        case CompareOp::Greater:
            return order > 0;
        case CompareOp::GreaterOrEqual:
            break;
    }
    return order >= 0;
}

[[noreturn]] void invalidPattern() {
    throwSyntaxError(ErrorCode::WhereSyntax,
                     "A LIKE pattern has a '[' that is never closed or a range whose ends are "
                     "the wrong way round.");
}

[[noreturn]] void mismatch(const std::string& detail) {
    throw EngineError(ErrorCode::DataTypeMismatch,
                      "Data type mismatch in criteria expression: " + detail);
}

// One value of a condition: a field of the row, a literal, or a condition in parentheses used
// as a value (true -1, false 0, unknown NULL).
struct Operand {
    Kind kind = Kind::Null;
    std::optional<size_t> column;
    Scalar literal;
    std::unique_ptr<Condition::Node> condition;
    std::string description;  // for messages; never a literal's value
};

}  // namespace

struct Condition::Node {
    enum class Type { Compare, And, Or, Not, IsNull, Like, Truth };
    Type type = Type::Truth;
    CompareOp op = CompareOp::Equal;
    bool negated = false;
    Operand left;
    Operand right;
    std::unique_ptr<Node> first;
    std::unique_ptr<Node> second;
    std::optional<LikePattern> pattern;  // a literal pattern, compiled once
};

namespace {

using Node = Condition::Node;

std::optional<bool> evaluate(const Node& node, const std::vector<Value>& row);

Scalar valueOf(const Operand& operand, const std::vector<Value>& row) {
    if (operand.column) return scalarOf(row[*operand.column]);
    if (operand.condition) {
        const auto truth = evaluate(*operand.condition, row);
        if (!truth) return std::monostate();
        return integerNumber(*truth ? -1 : 0);
    }
    return operand.literal;
}

bool isNullOperand(const Operand& operand, const std::vector<Value>& row) {
    if (operand.column) return format::isNull(row[*operand.column]);
    return std::holds_alternative<std::monostate>(valueOf(operand, row));
}

std::optional<bool> evaluate(const Node& node, const std::vector<Value>& row) {
    switch (node.type) {
        case Node::Type::Compare: {
            const auto order = compareScalars(valueOf(node.left, row), valueOf(node.right, row));
            if (!order) return std::nullopt;
            return comparisonHolds(node.op, *order);
        }
        case Node::Type::And: {
            const auto left = evaluate(*node.first, row);
            if (left == false) return false;
            const auto right = evaluate(*node.second, row);
            if (right == false) return false;
            if (!left || !right) return std::nullopt;
            return true;
        }
        case Node::Type::Or: {
            const auto left = evaluate(*node.first, row);
            if (left == true) return true;
            const auto right = evaluate(*node.second, row);
            if (right == true) return true;
            if (!left || !right) return std::nullopt;
            return false;
        }
        case Node::Type::Not: {
            const auto operand = evaluate(*node.first, row);
            if (!operand) return std::nullopt;
            return !*operand;
        }
        case Node::Type::IsNull:
            return isNullOperand(node.left, row) != node.negated;
        case Node::Type::Like: {
            const Scalar text = valueOf(node.left, row);
            if (std::holds_alternative<std::monostate>(text)) return std::nullopt;
            bool matched = false;
            if (node.pattern) {
                matched = node.pattern->matches(std::get<std::string>(text));
            } else {
                const Scalar pattern = valueOf(node.right, row);
                if (std::holds_alternative<std::monostate>(pattern)) return std::nullopt;
                const auto compiled = LikePattern::compile(std::get<std::string>(pattern));
                if (!compiled) invalidPattern();
                matched = compiled->matches(std::get<std::string>(text));
            }
            return matched != node.negated;
        }
        case Node::Type::Truth:
            break;
    }
    const Scalar value = valueOf(node.left, row);
    if (std::holds_alternative<std::monostate>(value)) return std::nullopt;
    return compareNumbers(std::get<Numeric>(value), integerNumber(0)) != 0;
}

std::string literalDescription(const Literal& literal) {
    switch (literal.index()) {
        case 0:
            return "NULL";
        case 1:
            return "TRUE or FALSE";
        case 2:
            return "a number";
        case 3:
            return "a text";
        case 4:
            return "a date";
        default:
            return "a GUID";
    }
}

Kind literalKind(const Literal& literal) {
    switch (literal.index()) {
        case 0:
            return Kind::Null;
        case 1:
        case 2:
        case 4:
            return Kind::Number;
        case 3:
            return Kind::Text;
        default:
            return Kind::Guid;
    }
}

class Binder {
public:
    Binder(const TableScope& scope, std::vector<size_t>& columns)
        : m_scope(scope), m_columns(columns) {}

    std::unique_ptr<Node> bind(const Expression& expression) {
        auto node = std::make_unique<Node>();
        if (const auto* comparison = std::get_if<Comparison>(&expression.node)) {
            node->type = Node::Type::Compare;
            node->op = comparison->op;
            node->left = operand(*comparison->left);
            node->right = operand(*comparison->right);
            const Kind left = node->left.kind;
            const Kind right = node->right.kind;
            const bool comparable = left == Kind::Null || right == Kind::Null ||
                                    (left == right && left != Kind::Uncomparable);
            if (!comparable) {
                mismatch(node->left.description + " cannot be compared with " +
                         node->right.description + ".");
            }
        } else if (const auto* logical = std::get_if<Logical>(&expression.node)) {
            node->type = logical->op == LogicalOp::And ? Node::Type::And : Node::Type::Or;
            node->first = bind(*logical->left);
            node->second = bind(*logical->right);
        } else if (const auto* negation = std::get_if<Negation>(&expression.node)) {
            node->type = Node::Type::Not;
            node->first = bind(*negation->operand);
        } else if (const auto* test = std::get_if<NullTest>(&expression.node)) {
            node->type = Node::Type::IsNull;
            node->negated = test->negated;
            node->left = operand(*test->operand);
        } else if (const auto* like = std::get_if<LikeTest>(&expression.node)) {
            node->type = Node::Type::Like;
            node->negated = like->negated;
            node->left = operand(*like->operand);
            node->right = operand(*like->pattern);
            for (const Operand* side : {&node->left, &node->right}) {
                if (side->kind != Kind::Text && side->kind != Kind::Null) {
                    mismatch("LIKE compares texts, and " + side->description + " is not one.");
                }
            }
            if (!node->right.column && !node->right.condition) {
                if (const auto* pattern = std::get_if<std::string>(&node->right.literal)) {
                    node->pattern = LikePattern::compile(*pattern);
                    if (!node->pattern) invalidPattern();
                }
            }
        } else {
            node->type = Node::Type::Truth;
            node->left = operand(expression);
            if (node->left.kind != Kind::Number && node->left.kind != Kind::Null) {
                mismatch(node->left.description + " cannot stand as a condition.");
            }
        }
        return node;
    }

private:
    Operand operand(const Expression& expression) {
        Operand result;
        if (const auto* literal = std::get_if<Literal>(&expression.node)) {
            result.kind = literalKind(*literal);
            result.literal = scalarOf(*literal);
            result.description = literalDescription(*literal);
        } else if (const auto* reference = std::get_if<ColumnRef>(&expression.node)) {
            const size_t column = m_scope.column(*reference);
            const auto& definition = m_scope.definition().columns[column];
            result.kind = kindOf(definition.type);
            result.column = column;
            result.description = "the field '" + definition.name + "' (" +
                                 format::columnTypeName(definition.type) + ")";
            if (std::find(m_columns.begin(), m_columns.end(), column) == m_columns.end()) {
                m_columns.push_back(column);
            }
        } else {
            result.kind = Kind::Number;
            result.condition = bind(expression);
            result.description = "a condition";
        }
        return result;
    }

    const TableScope& m_scope;
    std::vector<size_t>& m_columns;
};

}  // namespace

Condition::Condition(const Expression& expression, const TableScope& scope) {
    m_root = Binder(scope, m_columns).bind(expression);
}

Condition::~Condition() = default;

bool Condition::holds(const std::vector<Value>& row) const {
    return evaluate(*m_root, row) == true;
}

int orderValues(const Value& left, const Value& right) {
    const bool leftNull = format::isNull(left);
    const bool rightNull = format::isNull(right);
    if (leftNull || rightNull) return static_cast<int>(rightNull) - static_cast<int>(leftNull);
    return compareScalars(scalarOf(left), scalarOf(right)).value_or(0);
}

}  // namespace engine::sql
