#include "engine/error.h"
#include "engine/sql/parser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace engine::sql {
namespace {

struct Refusal {
    std::string statement;
    ErrorCode code;
    std::string messagePart = {};  // a part the message must contain, if given
};

void expectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& refusal : refusals) {
        try {
            parseStatement(refusal.statement);
            ADD_FAILURE() << "accepted: " << refusal.statement;
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), refusal.code)
                << refusal.statement << "\n  message: " << error.what();
            EXPECT_NE(std::string(error.what()).find(refusal.messagePart), std::string::npos)
                << refusal.statement << "\n  message: " << error.what();
        }
    }
}

const std::string kFrom = "FROM [MS Access;DATABASE=x.mdb].[T]";

TEST(MalformedStatement, refusesWhatIsNoStatement) {
    expectRefusals({
        {"", ErrorCode::InvalidStatement, "The statement is empty."},
        {" \r\n\t ", ErrorCode::InvalidStatement, "empty"},
        {";", ErrorCode::InvalidStatement, "found ';' at position 1"},
        {"DELETE", ErrorCode::SyntaxError, "FROM"},
        {"DELETE T", ErrorCode::SyntaxError, "FROM"},
        {"DELETE FROM", ErrorCode::SyntaxError, "table name"},
        {"DELETE FROM T x", ErrorCode::SyntaxError, "WHERE or the end"},
        {"DELETE FROM T WHERE", ErrorCode::WhereSyntax, "condition"},
        {"DELETE FROM T WHERE a = 1 b", ErrorCode::ExpressionSyntax, "'a = 1 b'"},
        {"MERGE INTO T", ErrorCode::InvalidStatement, "Invalid SQL statement; expected"},
        {"UPDATE", ErrorCode::UpdateSyntax, "table name"},
        {"UPDATE T a = 1", ErrorCode::UpdateSyntax, "SET"},
        {"UPDATE T SET", ErrorCode::UpdateSyntax, "field name"},
        {"UPDATE T SET a", ErrorCode::UpdateSyntax, "'='"},
        {"UPDATE T SET a = b", ErrorCode::UpdateSyntax, "a value"},
        {"UPDATE T SET a = 1,", ErrorCode::UpdateSyntax, "field name"},
        {"UPDATE T SET a = 1 b = 2", ErrorCode::UpdateSyntax, "',', WHERE or the end"},
        {"UPDATE T SET a = 1 WHERE", ErrorCode::WhereSyntax, "condition"},
        {"SELEC * FROM T", ErrorCode::InvalidStatement, "'SELEC'"},
        {"-- DROP TABLE T", ErrorCode::InvalidStatement},
        {"(SELECT * FROM T)", ErrorCode::InvalidStatement},
    });
}

TEST(MalformedStatement, neverRunsASecondStatement) {
    expectRefusals({
        {"DROP TABLE a; DROP TABLE b", ErrorCode::TrailingCharacters,
         "Characters found after end of SQL statement."},
        {"DROP TABLE `a`;;", ErrorCode::TrailingCharacters, "after the ';' at position 15"},
        {"SELECT * FROM T; SELECT * FROM U", ErrorCode::TrailingCharacters},
        {"SELECT  * INTO X " + kFrom + "; DROP TABLE Y", ErrorCode::TrailingCharacters},
        {"SELECT a1.* INTO `N` FROM `O` AS a1; x", ErrorCode::TrailingCharacters},
        {"INSERT INTO T VALUES (1); INSERT INTO T VALUES (2)", ErrorCode::TrailingCharacters},
        {"DROP TABLE a b", ErrorCode::DropSyntax, "the end of the statement but found 'b'"},
        {"SELECT * FROM T WHERE a = 1 DROP TABLE T", ErrorCode::ExpressionSyntax},
    });
}

TEST(MalformedStatement, refusesBadDropStatements) {
    expectRefusals({
        {"DROP TABLE", ErrorCode::DropSyntax, "Syntax error in DROP TABLE or DROP INDEX."},
        {"DROP TABLE ;", ErrorCode::DropSyntax},
        {"DROP INDEX i", ErrorCode::DropSyntax, "Expected ON and the name of the table"},
        {"DROP INDEX ON T", ErrorCode::DropSyntax, "reserved word 'ON'"},
        {"DROP INDEX i ON T extra", ErrorCode::DropSyntax},
        {"DROP VIEW V", ErrorCode::DropSyntax, "TABLE or INDEX"},
        {"CREATE INDEX i ON T", ErrorCode::CreateIndexSyntax,
         "Syntax error in CREATE INDEX statement."},
        {"CREATE UNIQUE i ON T (a)", ErrorCode::CreateIndexSyntax, "INDEX after CREATE UNIQUE"},
        {"CREATE INDEX i ON T ()", ErrorCode::CreateIndexSyntax, "a field name"},
        {"CREATE INDEX i ON T (a b)", ErrorCode::CreateIndexSyntax, "ASC, DESC"},
        {"CREATE INDEX i ON T (a) WITH", ErrorCode::CreateIndexSyntax, "PRIMARY, DISALLOW NULL"},
        {"CREATE INDEX i ON T (a) WITH IGNORE", ErrorCode::CreateIndexSyntax, "NULL after IGNORE"},
        {"CREATE INDEX i ON T (a) WITH PRIMARY DISALLOW NULL", ErrorCode::CreateIndexSyntax},
        {"CREATE VIEW V AS SELECT 1", ErrorCode::CreateTableSyntax, "TABLE, INDEX"},
        {"ALTER TABLE T", ErrorCode::AlterTableSyntax, "Syntax error in ALTER TABLE statement."},
        {"ALTER T ADD a TEXT", ErrorCode::AlterTableSyntax, "TABLE after ALTER"},
        {"ALTER TABLE T ADD COLUMN a", ErrorCode::FieldSyntax},
        {"ALTER TABLE T ADD COLUMN a TEXT, b TEXT", ErrorCode::AlterTableSyntax},
        {"ALTER TABLE T ADD CONSTRAINT k (a)", ErrorCode::AlterTableSyntax,
         "PRIMARY KEY or UNIQUE"},
        {"ALTER TABLE T DROP", ErrorCode::AlterTableSyntax, "a field name"},
        {"ALTER TABLE T DROP CONSTRAINT", ErrorCode::AlterTableSyntax},
        {"ALTER TABLE T RENAME a TO b", ErrorCode::AlterTableSyntax, "ADD or DROP"},
        {"DROP TABLE Order", ErrorCode::DropSyntax, "the reserved word 'Order'"},
        {"DROP TABLE table", ErrorCode::DropSyntax, "reserved word"},
        {"DROP TABLE Order Details", ErrorCode::DropSyntax},
        {"DROP TABLE `unclosed", ErrorCode::DropSyntax, "backquote at position 12"},
        {"DROP TABLE [unclosed", ErrorCode::DropSyntax, "'[' at position 12 that is never closed"},
        {"DROP TABLE `a`b`", ErrorCode::DropSyntax},
        {"DROP TABLE 2010Sales", ErrorCode::DropSyntax, "begins with a digit"},
        {"DROP TABLE a\x01", ErrorCode::DropSyntax, "control character at position 13"},
        {std::string("DROP TABLE a\0b", 14), ErrorCode::DropSyntax, "control character"},
        {std::string("DROP TABLE [a\0b]", 16), ErrorCode::DropSyntax, "control character"},
        {"DROP TABLE \xff\xfe", ErrorCode::DropSyntax, "not UTF-8"},
        {"DROP TABLE \xc0\x80", ErrorCode::DropSyntax, "not UTF-8"},      // overlong NUL
        {"DROP TABLE \xed\xa0\x80", ErrorCode::DropSyntax, "not UTF-8"},  // a surrogate
        {"DROP TABLE a\xc2\xa0"
         "b",
         ErrorCode::DropSyntax, "unexpected character"},  // NBSP
        {"DROP TABLE a@b", ErrorCode::DropSyntax, "'@'"},
        {"DROP TABLE [MS Access;DATABASE=x.mdb]", ErrorCode::DropSyntax, "connect string"},
        {"DROP TABLE T IN 'x.mdb'", ErrorCode::DropSyntax},
    });
}

TEST(MalformedStatement, refusesNamesTheEngineCannotHold) {
    const std::string message =
        "is not a valid name. Make sure that it does not include invalid characters or "
        "punctuation and that it is not too long.";
    expectRefusals({
        {"DROP TABLE [a.b]", ErrorCode::InvalidName, "'a.b' " + message},
        {"DROP TABLE [a!b]", ErrorCode::InvalidName},
        {"DROP TABLE [x`y]", ErrorCode::InvalidName},
        {"DROP TABLE `a]b`", ErrorCode::InvalidName},
        {"DROP TABLE `a[b`", ErrorCode::InvalidName},
        {"DROP TABLE [ leading]", ErrorCode::InvalidName},
        {"DROP TABLE []", ErrorCode::InvalidName, "'' is not"},
        {"DROP TABLE ``", ErrorCode::InvalidName},
        {"DROP TABLE [a\tb]", ErrorCode::InvalidName},
        {"DROP TABLE [a\nb]", ErrorCode::InvalidName},
        {"DROP TABLE [" + std::string(65, 'x') + "]", ErrorCode::InvalidName},
        {"DROP TABLE " + std::string(65, 'x'), ErrorCode::InvalidName},
        {"SELECT a1.* INTO `a.b` FROM `OLD` AS a1;", ErrorCode::InvalidName},
        {"SELECT * FROM T WHERE [a.b] = 1", ErrorCode::InvalidName},
    });
}

TEST(MalformedStatement, refusesTransferStatementsWithBadNamesOrPaths) {
    expectRefusals({
        // A destination name with a blank or a reserved word stands bare after INTO.
        {"SELECT  * INTO Order Details FROM [MS Access;DATABASE=x.mdb].[Order Details]",
         ErrorCode::SelectSyntax, "the reserved word 'Order'"},
        {"SELECT  * INTO Sales 2019 FROM [MS Access;DATABASE=x.mdb].[Sales 2019]",
         ErrorCode::SelectSyntax, "Expected FROM but found '2019'"},
        {"SELECT  * INTO Table FROM [MS Access;DATABASE=x.mdb].[Table]", ErrorCode::SelectSyntax},
        {"SELECT  * INTO Select FROM [MS Access;DATABASE=x.mdb].[Select]", ErrorCode::SelectSyntax},
        {"SELECT  * INTO Values FROM [MS Access;DATABASE=x.mdb].[Values]", ErrorCode::SelectSyntax},
        // A "]" or ";" in the path.
        {R"(SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\a]b.mdb].[Orders])",
         ErrorCode::SyntaxError, "Expected '.' and the table name after the connect string"},
        {R"(SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\a;b.mdb].[Orders])",
         ErrorCode::SyntaxError, "'b.mdb' at position 53 is not of the form KEYWORD=value"},
        {"SELECT  * INTO T FROM [MS Access;DATABASE=x.mdb;DATABASE=y.mdb].[T]",
         ErrorCode::SyntaxError, "gives DATABASE twice"},
        {"SELECT  * INTO T FROM [MS Access;DATABASE=x.mdb;UID=admin].[T]", ErrorCode::SyntaxError,
         "keyword 'UID' at position 49 is unknown"},
        {"SELECT  * INTO T FROM [MS Access;DATABASE=x.mdb;=y].[T]", ErrorCode::SyntaxError},
        // A backquote in a new name.
        {"SELECT a1.* INTO `N`ew` FROM `OLD` AS a1;", ErrorCode::SelectSyntax},
        {"DROP TABLE `N`ew`", ErrorCode::DropSyntax},
        // Other kinds of database, and no database at all.
        {"SELECT * FROM [Excel 8.0;DATABASE=x.xls].[Sheet1]", ErrorCode::IsamNotFound,
         "Could not find installable ISAM. The connect string names the database kind "
         "'Excel 8.0'"},
        {"SELECT * FROM [ODBC;DSN=x].[T]", ErrorCode::IsamNotFound},
        {"SELECT * FROM [MS Access;DATABASE=].[T]", ErrorCode::NoDatabaseNamed,
         "No database specified in connection string or IN clause."},
        {"SELECT * FROM [MS Access;].[T]", ErrorCode::NoDatabaseNamed},
        {"SELECT * FROM [;PWD=x].[T]", ErrorCode::NoDatabaseNamed},
        {"SELECT * INTO T IN '' FROM S", ErrorCode::NoDatabaseNamed},
        // The connect string must be followed by the table.
        {"SELECT * FROM [MS Access;DATABASE=x.mdb]", ErrorCode::SyntaxError},
        {"SELECT * FROM [MS Access;DATABASE=x.mdb].", ErrorCode::SyntaxError},
        {"SELECT * FROM [MS Access;DATABASE=x.mdb].[MS Access;DATABASE=y.mdb]",
         ErrorCode::SyntaxError, "found a connect string"},
        {"SELECT * FROM [MS Access;DATABASE=x.mdb", ErrorCode::SyntaxError, "never closed"},
        {"SELECT * FROM [a].[b]", ErrorCode::SyntaxError, "[MS Access;DATABASE=path].[table]"},
        {"SELECT * INTO [MS Access;DATABASE=y.mdb] FROM T", ErrorCode::SelectSyntax,
         "a connect string"},
    });
}

TEST(MalformedStatement, refusesBadSelectStatements) {
    expectRefusals({
        {"SELECT", ErrorCode::SelectSyntax, "The SELECT statement includes a reserved word"},
        {"SELECT FROM T", ErrorCode::SelectSyntax},
        {"SELECT * T", ErrorCode::SelectSyntax, "Expected ',', INTO or FROM but found 'T'"},
        {"SELECT *, FROM T", ErrorCode::SelectSyntax},
        {"SELECT TOP 5 PERCENT * FROM T", ErrorCode::NotSupported, "PERCENT"},
        {"SELECT TOP 0 * FROM T", ErrorCode::SelectSyntax, "whole number from 1"},
        {"SELECT TOP * FROM T", ErrorCode::SelectSyntax},
        {"SELECT COUNT(*, a) FROM T", ErrorCode::SelectSyntax, "')' after the aggregate"},
        {"SELECT SUM(*) FROM T", ErrorCode::SelectSyntax},
        {"SELECT DISTINCTROW * FROM T", ErrorCode::SelectSyntax},
        {"SELECT a AS FROM T", ErrorCode::SelectSyntax},
        {"SELECT a b FROM T", ErrorCode::SelectSyntax},
        {"SELECT * INTO FROM T", ErrorCode::SelectSyntax},
        {"SELECT * INTO T IN x FROM S", ErrorCode::SelectSyntax},
        {"SELECT * FROM", ErrorCode::SyntaxError, "Syntax error in FROM clause."},
        {"SELECT * FROM T, U", ErrorCode::SyntaxError},
        {"SELECT * FROM T ORDER a", ErrorCode::SyntaxError, "reserved word 'ORDER'"},
        {"SELECT * FROM T ORDER BY", ErrorCode::OrderBySyntax, "Syntax error in ORDER BY clause."},
        {"SELECT * FROM T ORDER BY a DOWN", ErrorCode::OrderBySyntax, "ASC, DESC"},
        {"SELECT * FROM T ORDER BY a GROUP BY a", ErrorCode::OrderBySyntax},
        {"SELECT * FROM T GROUP BY", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T GROUP BY a,", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T AS", ErrorCode::SyntaxError},
        {"SELECT * FROM T x y", ErrorCode::SyntaxError},
        {"SELECT * FROM T WHERE", ErrorCode::WhereSyntax, "Syntax error in WHERE clause."},
        {"SELECT * FROM T WHERE ;", ErrorCode::WhereSyntax},
    });
}

TEST(MalformedStatement, refusesBadExpressions) {
    expectRefusals({
        {"SELECT * FROM T WHERE a = = 1", ErrorCode::ExpressionSyntax,
         "Syntax error (missing operator) in query expression 'a = ='."},
        {"SELECT * FROM T WHERE a = 1 = 2", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE (a = 1", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = 1)", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a IS 1", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a LIKE", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a @ 1", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = 1 AND", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = - b", ErrorCode::ExpressionSyntax, "a number after the sign"},
        {"SELECT * FROM T WHERE a = 'open", ErrorCode::ExpressionSyntax, "never closed"},
        {"SELECT * FROM T WHERE a = \"open", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = #2/30/2020#", ErrorCode::ExpressionSyntax,
         "Syntax error in date in query expression '#2/30/2020#'."},
        {"SELECT * FROM T WHERE a = #13/1/2020#", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = #2020-01-01", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = #25:00#", ErrorCode::ExpressionSyntax},
        {"SELECT * FROM T WHERE a = 1E999", ErrorCode::ExpressionSyntax, "out of range"},
        {"SELECT * FROM T WHERE a = {guid {123}}", ErrorCode::ExpressionSyntax, "GUID"},
        {"SELECT * FROM T WHERE a. = 1", ErrorCode::ExpressionSyntax},
        {"SELECT a = FROM T", ErrorCode::ExpressionSyntax},
    });
}

TEST(MalformedStatement, refusesBadCreateTableStatements) {
    expectRefusals({
        {"CREATE TABLE", ErrorCode::CreateTableSyntax, "Syntax error in CREATE TABLE statement."},
        {"CREATE TABLE T", ErrorCode::CreateTableSyntax},
        {"CREATE TABLE T (a TEXT) x", ErrorCode::CreateTableSyntax},
        {"CREATE TABLE T ()", ErrorCode::FieldSyntax, "Syntax error in field definition."},
        {"CREATE TABLE T (a)", ErrorCode::FieldSyntax, "Expected a data type"},
        {"CREATE TABLE T (a TEXT, )", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT NOT)", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT PRIMARY)", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT CONSTRAINT)", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT CONSTRAINT k FOREIGN KEY)", ErrorCode::FieldSyntax,
         "PRIMARY KEY or UNIQUE"},
        {"CREATE TABLE T (a TEXT, CONSTRAINT k UNIQUE)", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT, CONSTRAINT k UNIQUE ())", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (CONSTRAINT k UNIQUE (a))", ErrorCode::CreateTableSyntax},
        {"CREATE TABLE T (Order TEXT)", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a FOO)", ErrorCode::InvalidFieldType, "'FOO' at position 19"},
        {"CREATE TABLE T (a TIMESTAMP)", ErrorCode::InvalidFieldType},
        {"CREATE TABLE T (a NATIONAL)", ErrorCode::InvalidFieldType},
        {"CREATE TABLE T (a TEXT(0))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT(2.5))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT(-1))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a TEXT(99999999999))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a LONG(4))", ErrorCode::FieldSyntax, "only for text, binary and decimal"},
        {"CREATE TABLE T (a DECIMAL(29))", ErrorCode::FieldSyntax, "precision from 1 to 28"},
        {"CREATE TABLE T (a DECIMAL(5,6))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a DECIMAL(5,2,1))", ErrorCode::FieldSyntax},
    });
}

TEST(MalformedStatement, refusesBadInsertStatements) {
    expectRefusals({
        {"INSERT T VALUES (1)", ErrorCode::InsertSyntax, "Syntax error in INSERT INTO statement."},
        {"INSERT INTO T", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES ()", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES (1,)", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES (a)", ErrorCode::InsertSyntax, "Expected a value"},
        {"INSERT INTO T VALUES (-'x')", ErrorCode::InsertSyntax},
        {"INSERT INTO T SELECT * INTO V FROM U", ErrorCode::InsertSyntax, "INTO clause of its own"},
        {"INSERT INTO T TABLE U", ErrorCode::InsertSyntax,
         "VALUES and a list of values, or SELECT"},
        {"INSERT INTO T (a, b VALUES (1, 2)", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES (1) (2)", ErrorCode::InsertSyntax},
        {"INSERT INTO T VALUES (#1/1/99999#)", ErrorCode::ExpressionSyntax},
        {"INSERT INTO T VALUES (#1/1/0099#)", ErrorCode::ExpressionSyntax},
    });
}

// Every part of the password that a message could show: its substrings of three characters.
void expectNoPasswordIn(const std::string& statement, const std::string& password) {
    try {
        parseStatement(statement);
        ADD_FAILURE() << "accepted: " << statement;
    } catch (const EngineError& error) {
        const std::string message = error.what();
        for (size_t i = 0; i + 3 <= password.size(); ++i) {
            EXPECT_EQ(message.find(password.substr(i, 3)), std::string::npos)
                << statement << "\n  message: " << message;
        }
    }
}

TEST(MalformedStatement, neverShowsAPassword) {
    const std::string head = "SELECT  * INTO Orders FROM [MS Access;DATABASE=D:\\Sales.mdb;PWD=";
    expectNoPasswordIn(head + "se]cret].[Orders]", "secret");
    expectNoPasswordIn(head + "se;cret].[Orders]", "secret");
    expectNoPasswordIn(head + "se;cr=et].[Orders]", "secret");
    expectNoPasswordIn(head + "secret", "secret");
    expectNoPasswordIn(head + "secret].[Orders] WHERE", "secret");
    expectNoPasswordIn(head + "secret].[Orders]; DROP TABLE secret", "secret");
    expectNoPasswordIn(head + "secret].[Orders] WHERE secret = = 1", "secret");
    expectNoPasswordIn(head + "secret].[se.cret]", "secret");
    expectNoPasswordIn(head + "secret].[" + std::string(70, 's') + "secret]", "secret");
    expectNoPasswordIn(head + "secret;UNKNOWN=secret].[Orders]", "secret");
    expectNoPasswordIn(head + "sec@ret].[Orders] x@y", "sec@ret");
    expectNoPasswordIn(head + "sec\x01ret].[Orders]", "secret");
    expectNoPasswordIn("SELECT * FROM [MS Access;pwd = secret;DATABASE=].[T]", "secret");
    expectNoPasswordIn("SELECT * FROM [MS Access;DATABASE=x;PASSWORD=secret].[T]", "secret");
    expectNoPasswordIn("SELECT * FROM [Excel;PWD=secret].[T]", "secret");
}

TEST(MalformedStatement, refusesHugeAndDeepStatements) {
    const std::string huge = "SELECT * FROM T WHERE a = '" + std::string(1 << 20, 'x') + "'";
    expectRefusals({
        {huge, ErrorCode::QueryTooComplex, "longer than 64000 characters"},
        {std::string(1 << 20, ' '), ErrorCode::QueryTooComplex},
        {"DROP TABLE " + std::string(kMaxStatementCharacters, 'a'), ErrorCode::QueryTooComplex},
        {"SELECT * FROM T WHERE " + std::string(kMaxNesting + 1, '(') + "a = 1" +
             std::string(kMaxNesting + 1, ')'),
         ErrorCode::QueryTooComplex, "Query is too complex."},
        {"SELECT * FROM T WHERE " + std::string(30000, '('), ErrorCode::QueryTooComplex},
    });
    std::string nots = "SELECT * FROM T WHERE";
    for (int i = 0; i < 10000; ++i) nots += " NOT";
    std::string chain = "SELECT * FROM T WHERE a = 1";
    for (int i = 0; i < kMaxNesting; ++i) chain += " OR a = 1";
    expectRefusals(
        {{nots + " a", ErrorCode::QueryTooComplex}, {chain, ErrorCode::QueryTooComplex}});
    // A statement at the length limit is read in full.
    const std::string longest =
        "INSERT INTO T VALUES ('" + std::string(kMaxStatementCharacters - 25, 'y') + "')";
    ASSERT_EQ(longest.size(), kMaxStatementCharacters);
    EXPECT_NO_THROW(parseStatement(longest));
}

}  // namespace
}  // namespace engine::sql
