#include "engine/sql/statement_parser.h"

#include "engine/sql/connect_string.h"
#include "engine/sql/data_type_names.h"
#include "engine/sql/literal_text.h"
#include "engine/sql/reserved_words.h"
#include "engine/sql/syntax_error.h"

#include <limits>

namespace engine::sql {
namespace {

constexpr size_t kMaxNameCharacters = 64;
constexpr int kMaxDecimalPrecision = 28;

size_t countCharacters(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

Statement parseStatement(std::string_view text) { return StatementParser(text).parse(); }

// ---- errors ---------------------------------------------------------------------------------

std::string StatementParser::found() const {
    const Token& token = current();
    const std::string where = m_text.position(token.offset);
    switch (token.kind) {
        case TokenKind::End:
            return "the end of the statement";
        case TokenKind::Word:
            if (isReservedWord(token.value)) {
                return "the reserved word " + m_text.describe(token.offset, token.length);
            }
            return m_text.describe(token.offset, token.length);
        case TokenKind::BracketName:
            if (token.value.find(';') != std::string::npos) return "a connect string at " + where;
            return m_text.describe(token.offset, token.length);
        case TokenKind::Invalid:
            break;
        default:
            return m_text.describe(token.offset, token.length);
    }
    switch (token.problem) {
        case LexProblem::UnclosedBracket:
            return "a '[' at " + where + " that is never closed";
        case LexProblem::UnclosedBackquote:
            return "a backquote at " + where + " that is never closed";
        case LexProblem::UnclosedString:
            return "a quote at " + where + " that is never closed";
        case LexProblem::UnclosedDate:
            return "a '#' at " + where + " that does not begin a #date#";
        case LexProblem::MalformedGuid:
            return "a '{' at " + where +
                   " that does not begin a GUID written {guid {xxxxxxxx-xxxx-xxxx-xxxx-"
                   "xxxxxxxxxxxx}}";
        case LexProblem::ControlCharacter:
            return "a control character at " + where;
        case LexProblem::NotUtf8:
            return "bytes that are not UTF-8 text at " + where;
        case LexProblem::DigitStartsName:
            return m_text.describe(token.offset, token.length) +
                   ", a bare name that begins with a digit (write it in brackets)";
        case LexProblem::UnexpectedCharacter:
        case LexProblem::None:
            break;
    }
    return "an unexpected character, " + m_text.describe(token.offset, token.length);
}

void StatementParser::fail(const std::string& expected) const {
    if (current().kind == TokenKind::Invalid) failWith(m_code, "Found " + found() + ".");
    failWith(m_code, "Expected " + expected + " but found " + found() + ".");
}

void StatementParser::failWith(ErrorCode code, const std::string& detail) const {
    if (code != ErrorCode::ExpressionSyntax) throwSyntaxError(code, detail);
    // The engine names the expression as far as it was read, the offending token included.
    const Token& token = current();
    size_t end = token.offset + token.length;
    if (token.kind == TokenKind::Invalid) {
        end = token.offset;  // what the lexer could not read is described, not shown
    } else if (token.kind == TokenKind::End && m_index > 0) {
        end = m_tokens[m_index - 1].offset + m_tokens[m_index - 1].length;
    }
    const size_t start = std::min(m_expressionStart, end);
    const auto shown = m_text.quoted(start, end - start);
    const std::string expression = shown ? "in query expression " + *shown
                                         : "in the query expression at " + m_text.position(start);
    throw EngineError(code, "Syntax error (missing operator) " + expression + ". " + detail);
}

void StatementParser::failLiteral(const std::string& kind, const Token& token,
                                  const std::string& detail) const {
    const auto shown = m_text.quoted(token.offset, token.length);
    const std::string expression =
        shown ? "in query expression " + *shown
              : "in the query expression at " + m_text.position(token.offset);
    throw EngineError(ErrorCode::ExpressionSyntax,
                      "Syntax error in " + kind + " " + expression + ". " + detail);
}

void StatementParser::failTooComplex() const {
    throwSyntaxError(ErrorCode::QueryTooComplex,
                     "Parentheses, NOT, AND and OR nest more than " + std::to_string(kMaxNesting) +
                         " levels deep at " + m_text.position(current().offset) + ".");
}

// ---- names ----------------------------------------------------------------------------------

bool StatementParser::atName() const {
    const Token& token = current();
    switch (token.kind) {
        case TokenKind::Word:
            return !isReservedWord(token.value);
        case TokenKind::BracketName:
            return token.value.find(';') == std::string::npos;
        case TokenKind::BackquoteName:
            return true;
        default:
            return false;
    }
}

std::string StatementParser::takeName(const std::string& expected) {
    if (current().kind == TokenKind::Word && isReservedWord(current().value)) {
        failWith(m_code, "Expected " + expected + " but found " + found() +
                             "; a name that is a reserved word must be written in brackets.");
    }
    if (!atName()) fail(expected);
    std::string name = checkedName(current());
    advance();
    return name;
}

std::string StatementParser::checkedName(const Token& token) const {
    const std::string& name = token.value;
    bool valid =
        !name.empty() && name.front() != ' ' && countCharacters(name) <= kMaxNameCharacters;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '.' || c == '!' || c == '`' || c == '[' ||
            c == ']') {
            valid = false;
        }
    }
    if (valid) return name;
    // Quoted names are shown without their quotes, as the engine shows them.
    const bool quoted = token.kind != TokenKind::Word;
    const size_t offset = quoted ? token.offset + 1 : token.offset;
    const size_t length = quoted ? token.length - 2 : token.length;
    const auto shown = m_text.quoted(offset, length);
    const std::string subject = shown ? *shown : "The name at " + m_text.position(token.offset);
    throw EngineError(ErrorCode::InvalidName,
                      subject +
                          " is not a valid name. Make sure that it does not include invalid "
                          "characters or punctuation and that it is not too long.");
}

// ---- statements -----------------------------------------------------------------------------

Statement StatementParser::parse() {
    const std::string_view text = m_text.text();
    if (text.size() > 4 * kMaxStatementCharacters ||
        countCharacters(text) > kMaxStatementCharacters) {
        throwSyntaxError(ErrorCode::QueryTooComplex, "The statement is longer than " +
                                                         std::to_string(kMaxStatementCharacters) +
                                                         " characters.");
    }
    Lexer lexer(text);
    do {
        m_tokens.push_back(lexer.next());
    } while (m_tokens.back().kind != TokenKind::End);

    if (current().kind == TokenKind::End) failWith(m_code, "The statement is empty.");
    if (atWord("SELECT")) return parseSelect();
    if (atWord("CREATE")) return parseCreate();
    if (atWord("DROP")) return parseDrop();
    if (atWord("ALTER")) return parseAlter();
    if (atWord("INSERT")) return parseInsert();
    if (atWord("DELETE")) return parseDelete();
    if (atWord("UPDATE")) return parseUpdate();
    fail(
        "SELECT, CREATE TABLE, CREATE INDEX, DROP TABLE, DROP INDEX, INSERT INTO, UPDATE or "
        "DELETE");
}

void StatementParser::expectEnd(const std::string& expected) {
    if (take(TokenKind::Semicolon)) {
        if (current().kind == TokenKind::End) return;
        failWith(ErrorCode::TrailingCharacters, "Found " + found() + " after the ';' at " +
                                                    m_text.position(m_tokens[m_index - 1].offset) +
                                                    "; only one statement may be given.");
    }
    if (current().kind != TokenKind::End) fail(expected);
}

SelectStatement StatementParser::parseSelect() {
    advance();
    m_code = ErrorCode::SelectSyntax;
    SelectStatement select;
    // DISTINCT (or ALL) and TOP n may come in either order.
    for (bool read = true; read;) {
        read = false;
        if (!select.distinct && takeWord("DISTINCT")) {
            select.distinct = read = true;
        } else if (takeWord("ALL")) {
            read = true;
        } else if (!select.top && takeWord("TOP")) {
            const Token& count = current();
            select.top = parseWholeNumber(1, "a number of rows after TOP: a whole number from 1");
            if (atWord("PERCENT")) {
                failWith(ErrorCode::NotSupported, "TOP " + count.value + " PERCENT at " +
                                                      m_text.position(count.offset) +
                                                      " is not supported; give a number of rows.");
            }
            read = true;
        }
    }
    do {
        select.items.push_back(parseSelectItem());
    } while (take(TokenKind::Comma));

    if (takeWord("INTO")) {
        TableReference target;
        target.name = takeName("a table name after INTO");
        if (takeWord("IN")) {
            const Token& file = current();
            if (file.kind != TokenKind::String) fail("a quoted file name after IN");
            if (file.value.empty()) {
                failWith(ErrorCode::NoDatabaseNamed,
                         "The IN clause at " + m_text.position(file.offset) + " names no file.");
            }
            target.database = ExternalDatabase{file.value, std::string()};
            advance();
        }
        select.into = std::move(target);
        expectWord("FROM", "FROM");
    } else {
        expectWord("FROM", "',', INTO or FROM");
    }

    m_code = ErrorCode::SyntaxError;
    select.from = parseSource();
    std::string next = "WHERE, GROUP BY, ORDER BY or the end of the statement";
    if (takeWord("WHERE")) {
        m_code = ErrorCode::WhereSyntax;
        if (!atExpression()) fail("a condition after WHERE");
        select.where = parseCondition();
        next = "AND, OR, GROUP BY, ORDER BY or the end of the statement";
    }
    if (atWord("GROUP") && isWord(ahead(1), "BY")) {
        advance();
        advance();
        m_code = ErrorCode::ExpressionSyntax;
        do {
            select.groupBy.push_back(parseColumnRef("a field name to group by"));
        } while (take(TokenKind::Comma));
        next = "',', ORDER BY or the end of the statement";
    }
    if (atWord("ORDER") && isWord(ahead(1), "BY")) {
        advance();
        advance();
        m_code = ErrorCode::OrderBySyntax;
        do {
            OrderKey key;
            key.term = parseTerm("a field name or an aggregate to sort by");
            m_code = ErrorCode::OrderBySyntax;
            if (takeWord("DESC")) {
                key.descending = true;
            } else {
                takeWord("ASC");
            }
            select.orderBy.push_back(std::move(key));
        } while (take(TokenKind::Comma));
        next = "ASC, DESC, ',' or the end of the statement";
    }
    expectEnd(next);
    return select;
}

SelectItem StatementParser::parseSelectItem() {
    if (take(TokenKind::Star)) return AllColumns{};
    if (atName() && ahead(1).kind == TokenKind::Dot && ahead(2).kind == TokenKind::Star) {
        AllColumns all{checkedName(current())};
        advance();
        advance();
        advance();
        return all;
    }
    OutputColumn column = parseTerm("a column name, * or an expression");
    m_code = ErrorCode::SelectSyntax;
    if (takeWord("AS")) column.alias = takeName("a column name after AS");
    return column;
}

namespace {

struct AggregateName {
    std::string_view word;
    Aggregate aggregate;
};

constexpr AggregateName kAggregates[] = {
    {"COUNT", Aggregate::Count}, {"SUM", Aggregate::Sum}, {"MIN", Aggregate::Min},
    {"MAX", Aggregate::Max},     {"AVG", Aggregate::Avg},
};

}  // namespace

OutputColumn StatementParser::parseTerm(const std::string& expected) {
    OutputColumn term;
    if (ahead(1).kind == TokenKind::LeftParen) {
        for (const auto& name : kAggregates) {
            if (!atWord(name.word)) continue;
            advance();
            advance();
            term.aggregate = name.aggregate;
            if (name.aggregate == Aggregate::Count && take(TokenKind::Star)) {
                term.everyRow = true;
            } else {
                term.expression.node = parseColumnRef("a field name in the aggregate");
            }
            expect(TokenKind::RightParen, "')' after the aggregate's field");
            return term;
        }
    }
    if (!atExpression()) fail(expected);
    term.expression = std::move(*parseCondition());
    return term;
}

ColumnRef StatementParser::parseColumnRef(const std::string& expected) {
    ColumnRef column;
    column.column = takeName(expected);
    if (take(TokenKind::Dot)) {
        column.qualifier = std::move(column.column);
        column.column = takeName("a field name after '.'");
    }
    return column;
}

TableSource StatementParser::parseSource() {
    TableSource source;
    const Token& first = current();
    if (first.kind == TokenKind::BracketName && first.value.find(';') != std::string::npos) {
        source.table.database = readConnectString(first.value, first.offset + 1, m_text);
        advance();
        expect(TokenKind::Dot, "'.' and the table name after the connect string");
        source.table.name = takeName("the table name after the connect string");
    } else {
        source.table.name = takeName("a table name");
        if (current().kind == TokenKind::Dot) {
            fail(
                "an alias, WHERE or the end of the statement (a table of another file is "
                "named [MS Access;DATABASE=path].[table])");
        }
    }
    if (takeWord("AS")) {
        source.alias = takeName("an alias after AS");
    } else if (atName()) {
        source.alias = takeName("an alias");
    }
    return source;
}

Statement StatementParser::parseCreate() {
    advance();
    if (atWord("UNIQUE") || atWord("INDEX")) return parseCreateIndex();
    m_code = ErrorCode::CreateTableSyntax;
    expectWord("TABLE", "TABLE, INDEX or UNIQUE INDEX after CREATE");
    CreateTableStatement create;
    create.table = takeName("a table name");
    expect(TokenKind::LeftParen, "'(' and the field definitions");
    do {
        m_code = ErrorCode::FieldSyntax;
        if (takeWord("CONSTRAINT")) {
            create.keys.push_back(parseNamedKey());
            continue;
        }
        parseColumn(create);
    } while (take(TokenKind::Comma));
    expect(TokenKind::RightParen, "NOT NULL, PRIMARY KEY, UNIQUE, ',' or ')'");
    m_code = ErrorCode::CreateTableSyntax;
    expectEnd("the end of the statement");
    if (create.columns.empty()) fail("at least one field definition");
    return create;
}

CreateIndexStatement StatementParser::parseCreateIndex() {
    m_code = ErrorCode::CreateIndexSyntax;
    CreateIndexStatement create;
    create.unique = takeWord("UNIQUE");
    expectWord("INDEX", "INDEX after CREATE UNIQUE");
    create.index = takeName("an index name");
    expectWord("ON", "ON and the name of the table");
    create.table = takeName("a table name");
    expect(TokenKind::LeftParen, "'(' and the fields of the index");
    do {
        create.columns.push_back(takeName("a field name"));
        const bool descending = takeWord("DESC");
        if (!descending) takeWord("ASC");
        create.descending.push_back(descending);
    } while (take(TokenKind::Comma));
    expect(TokenKind::RightParen, "ASC, DESC, ',' or ')'");
    if (takeWord("WITH")) {
        if (takeWord("PRIMARY")) {
            create.primaryKey = true;
        } else if (takeWord("DISALLOW")) {
            expectWord("NULL", "NULL after DISALLOW");
            create.disallowNull = true;
        } else if (takeWord("IGNORE")) {
            expectWord("NULL", "NULL after IGNORE");
            create.ignoreNull = true;
        } else {
            fail("PRIMARY, DISALLOW NULL or IGNORE NULL after WITH");
        }
    }
    expectEnd("WITH or the end of the statement");
    return create;
}

KeyConstraint StatementParser::parseNamedKey() {
    KeyConstraint key;
    key.name = takeName("a name for the constraint");
    parseKeyKind(key, "PRIMARY KEY or UNIQUE after the constraint's name");
    expect(TokenKind::LeftParen, "'(' and the fields of the key");
    do {
        key.columns.push_back(takeName("a field name"));
    } while (take(TokenKind::Comma));
    expect(TokenKind::RightParen, "',' or ')'");
    return key;
}

void StatementParser::parseKeyKind(KeyConstraint& key, const std::string& expected) {
    if (atWord("PRIMARY") && isWord(ahead(1), "KEY")) {
        advance();
        advance();
        key.primaryKey = true;
    } else if (!takeWord("UNIQUE")) {
        fail(expected);
    }
}

void StatementParser::parseColumn(CreateTableStatement& create) {
    ColumnDefinition column;
    column.name = takeName("a field name");
    parseDataType(column);
    // NOT NULL, PRIMARY KEY and UNIQUE may follow in any order.
    while (true) {
        if (takeWord("NOT")) {
            expectWord("NULL", "NULL after NOT");
            column.notNull = true;
            continue;
        }
        KeyConstraint key;
        if (takeWord("CONSTRAINT")) {
            key.name = takeName("a name for the constraint");
            parseKeyKind(key, "PRIMARY KEY or UNIQUE after the constraint's name");
        } else if (atWord("UNIQUE") || (atWord("PRIMARY") && isWord(ahead(1), "KEY"))) {
            parseKeyKind(key, "PRIMARY KEY or UNIQUE");
        } else {
            break;
        }
        key.columns.push_back(column.name);
        create.keys.push_back(std::move(key));
    }
    create.columns.push_back(std::move(column));
}

void StatementParser::parseDataType(ColumnDefinition& column) {
    if (current().kind != TokenKind::Word) fail("a data type");
    std::array<std::string_view, kLongestTypeName> words;
    for (size_t i = 0; i < words.size(); ++i) {
        if (ahead(i).kind == TokenKind::Word) words[i] = ahead(i).value;
    }
    const auto name = findDataTypeName(words);
    if (!name) {
        failWith(ErrorCode::InvalidFieldType,
                 m_text.describe(current().offset, current().length) + " is not a data type.");
    }
    for (size_t i = 0; i < name->wordCount; ++i) advance();
    column.type = name->type;
    if (current().kind != TokenKind::LeftParen) return;
    if (name->sizeRule == SizeRule::None) {
        failWith(ErrorCode::FieldSyntax, "A size in parentheses at " +
                                             m_text.position(current().offset) +
                                             " is allowed only for text, binary and decimal "
                                             "fields.");
    }
    advance();
    if (name->sizeRule == SizeRule::Length) {
        column.size = parseWholeNumber(1, "a size: a whole number from 1");
        column.type = name->sizedType;
    } else {
        const size_t at = current().offset;
        const uint32_t precision = parseWholeNumber(1, "a precision: a whole number from 1");
        const uint32_t scale =
            take(TokenKind::Comma) ? parseWholeNumber(0, "a scale: a whole number") : 0;
        if (precision > kMaxDecimalPrecision || scale > precision) {
            failWith(ErrorCode::FieldSyntax,
                     "DECIMAL(precision, scale) at " + m_text.position(at) +
                         " needs a precision from 1 to 28 and a scale from 0 to the precision.");
        }
        column.precision = static_cast<uint8_t>(precision);
        column.scale = static_cast<uint8_t>(scale);
    }
    expect(TokenKind::RightParen, "')' after the size");
}

uint32_t StatementParser::parseWholeNumber(uint32_t minimum, const std::string& expected) {
    const Token& token = current();
    if (token.kind == TokenKind::Number) {
        const auto number = readNumber(token.value, false);
        if (number && number->integer && *number->integer >= minimum &&
            *number->integer <= std::numeric_limits<uint32_t>::max()) {
            advance();
            return static_cast<uint32_t>(*number->integer);
        }
    }
    fail(expected);
}

Statement StatementParser::parseDrop() {
    advance();
    m_code = ErrorCode::DropSyntax;
    if (takeWord("INDEX")) {
        DropIndexStatement drop;
        drop.index = takeName("an index name");
        expectWord("ON", "ON and the name of the table");
        drop.table = takeName("a table name");
        expectEnd("the end of the statement");
        return drop;
    }
    expectWord("TABLE", "TABLE or INDEX after DROP");
    DropTableStatement drop;
    drop.table = takeName("a table name");
    expectEnd("the end of the statement");
    return drop;
}

AlterTableStatement StatementParser::parseAlter() {
    advance();
    m_code = ErrorCode::AlterTableSyntax;
    expectWord("TABLE", "TABLE after ALTER");
    AlterTableStatement alter;
    alter.table = takeName("a table name");
    using Action = AlterTableStatement::Action;
    if (takeWord("ADD")) {
        if (takeWord("CONSTRAINT")) {
            alter.action = Action::AddConstraint;
            alter.keys.push_back(parseNamedKey());
        } else {
            takeWord("COLUMN");
            alter.action = Action::AddColumn;
            CreateTableStatement field;
            m_code = ErrorCode::FieldSyntax;
            parseColumn(field);
            m_code = ErrorCode::AlterTableSyntax;
            alter.column = std::move(field.columns.at(0));
            alter.keys = std::move(field.keys);
        }
    } else if (takeWord("DROP")) {
        if (takeWord("CONSTRAINT")) {
            alter.action = Action::DropConstraint;
            alter.name = takeName("the name of the constraint");
        } else {
            takeWord("COLUMN");
            alter.action = Action::DropColumn;
            alter.name = takeName("a field name");
        }
    } else {
        fail("ADD or DROP after the table's name");
    }
    expectEnd("the end of the statement");
    return alter;
}

InsertStatement StatementParser::parseInsert() {
    advance();
    m_code = ErrorCode::InsertSyntax;
    expectWord("INTO", "INTO after INSERT");
    InsertStatement insert;
    insert.table = takeName("a table name");
    if (take(TokenKind::LeftParen)) {
        do {
            insert.columns.push_back(takeName("a field name"));
        } while (take(TokenKind::Comma));
        expect(TokenKind::RightParen, "',' or ')'");
    }
    if (atWord("SELECT")) {
        insert.select = std::make_unique<SelectStatement>(parseSelect());
        if (insert.select->into) {
            failWith(ErrorCode::InsertSyntax,
                     "The SELECT of an INSERT INTO statement cannot have an INTO clause of its "
                     "own.");
        }
        return insert;
    }
    expectWord("VALUES", "VALUES and a list of values, or SELECT");
    expect(TokenKind::LeftParen, "'(' and the values");
    do {
        insert.values.push_back(parseLiteral(
            "a value: a number, a quoted text, a #date#, a {guid {...}}, TRUE, FALSE or NULL"));
    } while (take(TokenKind::Comma));
    expect(TokenKind::RightParen, "',' or ')'");
    expectEnd("the end of the statement");
    return insert;
}

DeleteStatement StatementParser::parseDelete() {
    advance();
    m_code = ErrorCode::SyntaxError;
    take(TokenKind::Star);
    expectWord("FROM", "FROM and a table name after DELETE");
    DeleteStatement remove;
    remove.table = takeName("a table name");
    if (takeWord("WHERE")) {
        m_code = ErrorCode::WhereSyntax;
        if (!atExpression()) fail("a condition after WHERE");
        remove.where = parseCondition();
        expectEnd("AND, OR or the end of the statement");
    } else {
        expectEnd("WHERE or the end of the statement");
    }
    return remove;
}

UpdateStatement StatementParser::parseUpdate() {
    advance();
    m_code = ErrorCode::UpdateSyntax;
    UpdateStatement update;
    update.table = takeName("a table name");
    expectWord("SET", "SET after the table name");
    do {
        Assignment assignment;
        assignment.column = takeName("a field name");
        expect(TokenKind::Equal, "'=' after the field name");
        assignment.value = parseLiteral(
            "a value: a number, a quoted text, a #date#, a {guid {...}}, TRUE, FALSE or NULL");
        update.assignments.push_back(std::move(assignment));
    } while (take(TokenKind::Comma));
    if (takeWord("WHERE")) {
        m_code = ErrorCode::WhereSyntax;
        if (!atExpression()) fail("a condition after WHERE");
        update.where = parseCondition();
        expectEnd("AND, OR or the end of the statement");
    } else {
        expectEnd("',', WHERE or the end of the statement");
    }
    return update;
}

}  // namespace engine::sql
