// The parser's working state: the tokens of one statement and the clause being read. Only
// parseStatement (parser.h) uses it; the statements are read in statement_parser.cpp, the
// literals and conditions in condition_parser.cpp.
#pragma once

#include "engine/error.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"
#include "engine/sql/statement.h"
#include "engine/sql/statement_text.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

// A piece of a condition and the depth of its tree.
struct Parsed {
    ExpressionPtr node;
    int depth = 1;
};

class StatementParser {
public:
    explicit StatementParser(std::string_view text) : m_text(text) {}

    Statement parse();

private:
    // ---- tokens
    const Token& current() const { return m_tokens[m_index]; }
    const Token& ahead(size_t count) const {
        return m_tokens[std::min(m_index + count, m_tokens.size() - 1)];
    }
    void advance() {
        if (m_index + 1 < m_tokens.size()) ++m_index;
    }
    static bool isWord(const Token& token, std::string_view upperWord) {
        return token.kind == TokenKind::Word && sameWord(token.value, upperWord);
    }
    bool atWord(std::string_view upperWord) const { return isWord(current(), upperWord); }
    bool take(TokenKind kind) {
        if (current().kind != kind) return false;
        advance();
        return true;
    }
    bool takeWord(std::string_view upperWord) {
        if (!atWord(upperWord)) return false;
        advance();
        return true;
    }
    void expect(TokenKind kind, const std::string& expected) {
        if (!take(kind)) fail(expected);
    }
    void expectWord(std::string_view upperWord, const std::string& expected) {
        if (!takeWord(upperWord)) fail(expected);
    }
    void expectEnd(const std::string& expected);

    // ---- errors
    [[noreturn]] void fail(const std::string& expected) const;
    [[noreturn]] void failWith(ErrorCode code, const std::string& detail) const;
    [[noreturn]] void failLiteral(const std::string& kind, const Token& token,
                                  const std::string& detail) const;
    [[noreturn]] void failTooComplex() const;
    std::string found() const;

    // ---- names
    bool atName() const;
    std::string takeName(const std::string& expected);
    std::string checkedName(const Token& token) const;

    // ---- statements
    SelectStatement parseSelect();
    SelectItem parseSelectItem();
    // A field, an expression or an aggregate: COUNT(*), COUNT/SUM/MIN/MAX/AVG(field).
    OutputColumn parseTerm(const std::string& expected);
    ColumnRef parseColumnRef(const std::string& expected);
    TableSource parseSource();
    Statement parseCreate();
    CreateIndexStatement parseCreateIndex();
    void parseColumn(CreateTableStatement& create);
    void parseKeyKind(KeyConstraint& key, const std::string& expected);
    // After CONSTRAINT: name PRIMARY KEY | UNIQUE (fields).
    KeyConstraint parseNamedKey();
    void parseDataType(ColumnDefinition& column);
    uint32_t parseWholeNumber(uint32_t minimum, const std::string& expected);
    Statement parseDrop();
    AlterTableStatement parseAlter();
    InsertStatement parseInsert();
    DeleteStatement parseDelete();
    UpdateStatement parseUpdate();
    bool atLiteral() const;
    Literal parseLiteral(const std::string& expected);

    // ---- conditions
    bool atExpression() const;
    ExpressionPtr parseCondition();
    Parsed parseOr();
    Parsed parseAnd();
    Parsed parseNot();
    Parsed parsePredicate();
    Parsed parseOperand();
    Parsed wrap(ExpressionPtr node, int childDepth) const;

    class NestingGuard {
    public:
        explicit NestingGuard(StatementParser& parser) : m_parser(parser) {
            if (++m_parser.m_nesting > kMaxNesting) m_parser.failTooComplex();
        }
        ~NestingGuard() { --m_parser.m_nesting; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        StatementParser& m_parser;
    };

    StatementText m_text;
    std::vector<Token> m_tokens;
    size_t m_index = 0;
    ErrorCode m_code = ErrorCode::InvalidStatement;  // the error of the clause being read
    size_t m_expressionStart = 0;  // offset of the condition being read, for its messages
    int m_nesting = 0;
};

}  // namespace engine::sql
