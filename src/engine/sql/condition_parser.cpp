#include "engine/sql/literal_text.h"
#include "engine/sql/statement_parser.h"

#include <utility>

namespace engine::sql {
namespace {

template <typename Node>
ExpressionPtr makeExpression(Node node) {
    auto expression = std::make_unique<Expression>();
    expression->node = std::move(node);
    return expression;
}

}  // namespace

bool StatementParser::atLiteral() const {
    switch (current().kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Date:
        case TokenKind::Guid:
        case TokenKind::Plus:
        case TokenKind::Minus:
            return true;
        default:
            return atWord("NULL") || atWord("TRUE") || atWord("FALSE");
    }
}

Literal StatementParser::parseLiteral(const std::string& expected) {
    const Token& start = current();
    const bool negative = start.kind == TokenKind::Minus;
    if (take(TokenKind::Minus) || take(TokenKind::Plus)) {
        if (current().kind != TokenKind::Number) fail("a number after the sign");
    }
    const Token& token = current();
    Literal literal;
    switch (token.kind) {
        case TokenKind::Number: {
            auto number = readNumber(token.value, negative);
            if (!number) failLiteral("number", token, "The number is out of range.");
            literal = std::move(*number);
            break;
        }
        case TokenKind::String:
            literal = token.value;
            break;
        case TokenKind::Date: {
            const auto date = readDate(token.value);
            if (!date) {
                failLiteral("date", token,
                            "Write dates as #yyyy-mm-dd#, #m/d/yyyy# or #hh:mm:ss#, each part "
                            "in its range.");
            }
            literal = *date;
            break;
        }
        case TokenKind::Guid:
            literal = readGuid(token.value);
            break;
        default:
            if (atWord("NULL")) {
                literal = std::monostate{};
            } else if (atWord("TRUE") || atWord("FALSE")) {
                literal = atWord("TRUE");
            } else {
                fail(expected);
            }
    }
    advance();
    return literal;
}

// ---- conditions -----------------------------------------------------------------------------

bool StatementParser::atExpression() const {
    return current().kind == TokenKind::LeftParen || atWord("NOT") || atLiteral() || atName();
}

ExpressionPtr StatementParser::parseCondition() {
    m_code = ErrorCode::ExpressionSyntax;
    m_expressionStart = current().offset;
    return parseOr().node;
}

Parsed StatementParser::wrap(ExpressionPtr node, int childDepth) const {
    if (childDepth + 1 > kMaxNesting) failTooComplex();
    return Parsed{std::move(node), childDepth + 1};
}

Parsed StatementParser::parseOr() {
    Parsed left = parseAnd();
    while (takeWord("OR")) {
        Parsed right = parseAnd();
        const int depth = std::max(left.depth, right.depth);
        left = wrap(
            makeExpression(Logical{LogicalOp::Or, std::move(left.node), std::move(right.node)}),
            depth);
    }
    return left;
}

Parsed StatementParser::parseAnd() {
    Parsed left = parseNot();
    while (takeWord("AND")) {
        Parsed right = parseNot();
        const int depth = std::max(left.depth, right.depth);
        left = wrap(
            makeExpression(Logical{LogicalOp::And, std::move(left.node), std::move(right.node)}),
            depth);
    }
    return left;
}

Parsed StatementParser::parseNot() {
    if (!atWord("NOT")) return parsePredicate();
    NestingGuard guard(*this);
    advance();
    Parsed operand = parseNot();
    return wrap(makeExpression(Negation{std::move(operand.node)}), operand.depth);
}

Parsed StatementParser::parsePredicate() {
    Parsed left = parseOperand();
    static constexpr std::pair<TokenKind, CompareOp> kComparisons[] = {
        {TokenKind::Equal, CompareOp::Equal},
        {TokenKind::NotEqual, CompareOp::NotEqual},
        {TokenKind::Less, CompareOp::Less},
        {TokenKind::LessOrEqual, CompareOp::LessOrEqual},
        {TokenKind::Greater, CompareOp::Greater},
        {TokenKind::GreaterOrEqual, CompareOp::GreaterOrEqual},
    };
    for (const auto& [kind, op] : kComparisons) {
        if (!take(kind)) continue;
        Parsed right = parseOperand();
        const int depth = std::max(left.depth, right.depth);
        return wrap(makeExpression(Comparison{op, std::move(left.node), std::move(right.node)}),
                    depth);
    }
    if (takeWord("IS")) {
        const bool negated = takeWord("NOT");
        expectWord("NULL", negated ? "NULL after IS NOT" : "NULL or NOT NULL after IS");
        return wrap(makeExpression(NullTest{std::move(left.node), negated}), left.depth);
    }
    const bool negated = atWord("NOT") && isWord(ahead(1), "LIKE");
    if (negated) advance();
    if (takeWord("LIKE")) {
        Parsed pattern = parseOperand();
        const int depth = std::max(left.depth, pattern.depth);
        return wrap(
            makeExpression(LikeTest{std::move(left.node), std::move(pattern.node), negated}),
            depth);
    }
    return left;
}

Parsed StatementParser::parseOperand() {
    if (current().kind == TokenKind::LeftParen) {
        NestingGuard guard(*this);
        advance();
        Parsed inner = parseOr();
        expect(TokenKind::RightParen, "')'");
        return inner;
    }
    if (atLiteral()) return Parsed{makeExpression(parseLiteral("a value")), 1};
    if (!atName()) fail("a value, a column name or '('");
    ColumnRef column;
    column.column = takeName("a column name");
    if (take(TokenKind::Dot)) {
        column.qualifier = std::move(column.column);
        column.column = takeName("a column name after '.'");
    }
    return Parsed{makeExpression(std::move(column)), 1};
}

}  // namespace engine::sql
