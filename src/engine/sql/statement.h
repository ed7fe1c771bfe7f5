// The statement tree: what the parser makes of one SQL statement, ready for the executor.
//
// Names are UTF-8 exactly as written between their quotes ([brackets], `backquotes`) or bare;
// the tree no longer says how a name was quoted. Letter case is kept: the engine compares
// names without regard to case when it looks them up.
//
//   SELECT [DISTINCT] [TOP n] items [INTO table [IN 'file']] FROM source [[AS] alias]
//          [WHERE condition] [GROUP BY field, ...] [ORDER BY term [ASC|DESC], ...]
//   CREATE TABLE name (column type [(size)] [NOT NULL] [[CONSTRAINT c] PRIMARY KEY|UNIQUE], ...
//                      [, CONSTRAINT c PRIMARY KEY|UNIQUE (column, ...)] ...)
//   DROP TABLE name
//   INSERT INTO name [(column, ...)] VALUES (literal, ...)
//   INSERT INTO name [(column, ...)] SELECT ...
//   DELETE [*] FROM name [WHERE condition]
//   UPDATE name SET column = literal [, column = literal ...] [WHERE condition]
//
// A source is a table of the statement's own database, or a table of another file named by a
// connect string: [MS Access;DATABASE=path;PWD=password].[table]. The tree then holds that
// password: whoever prints a tree must leave it out.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace engine::sql {

// ---- Literals -----------------------------------------------------------------------------

// A number as written, sign included ("-12.5", "1E3"): the text lets the executor convert
// exactly to Currency or Decimal; value is the nearest double; integer is set when the text
// is a whole number without point or exponent that fits in 64 bits.
struct Number {
    std::string text;
    double value = 0;
    std::optional<int64_t> integer;
};

// #date# literals: days since 1899-12-30 00:00, the time of day as the fraction. Before that
// day the fraction counts away from zero (-1.25 is 1899-12-29 06:00), as the files store it.
struct Date {
    double days = 0;
};

// {guid {...}} literals, in the files' byte order: the first three groups little-endian.
struct Guid {
    std::array<uint8_t, 16> bytes{};
};

// NULL (monostate), TRUE/FALSE, a number, a 'string' or "string", a date or a GUID.
using Literal = std::variant<std::monostate, bool, Number, std::string, Date, Guid>;

// ---- Expressions --------------------------------------------------------------------------

struct Expression;
using ExpressionPtr = std::unique_ptr<Expression>;

// column, or qualifier.column where the qualifier is a table's name or alias.
struct ColumnRef {
    std::string qualifier;  // empty when none
    std::string column;
};

enum class CompareOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

struct Comparison {
    CompareOp op = CompareOp::Equal;
    ExpressionPtr left;
    ExpressionPtr right;
};

enum class LogicalOp { And, Or };

struct Logical {
    LogicalOp op = LogicalOp::And;
    ExpressionPtr left;
    ExpressionPtr right;
};

// NOT operand
struct Negation {
    ExpressionPtr operand;
};

// operand IS [NOT] NULL
struct NullTest {
    ExpressionPtr operand;
    bool negated = false;
};

// operand [NOT] LIKE pattern; the pattern is an expression whose wildcards the executor reads.
struct LikeTest {
    ExpressionPtr operand;
    ExpressionPtr pattern;
    bool negated = false;
};

struct Expression {
    std::variant<Literal, ColumnRef, Comparison, Logical, Negation, NullTest, LikeTest> node;
};

// ---- Tables and columns -------------------------------------------------------------------

struct ExternalDatabase {
    std::string path;      // verbatim, never empty
    std::string password;  // verbatim; empty when none was given
};

struct TableReference {
    std::string name;
    std::optional<ExternalDatabase> database;  // unset: the statement's own database
};

// The column types of CREATE TABLE, after the engine's synonyms are resolved (INT is Long,
// MONEY is Currency, ...). Counter is a Long Integer AutoNumber column.
enum class DataType {
    Boolean,
    Byte,
    Integer,
    Long,
    Counter,
    BigInt,
    Currency,
    Single,
    Double,
    Decimal,
    DateTime,
    Guid,
    Text,
    Memo,
    Binary,
    OleObject,
};

struct ColumnDefinition {
    std::string name;
    DataType type = DataType::Text;
    std::optional<uint32_t> size;  // Text and Binary: the size given in parentheses, if any
    uint8_t precision = 18;        // Decimal only: DECIMAL(precision, scale), 18 and 0 if absent
    uint8_t scale = 0;
    bool notNull = false;
};

// PRIMARY KEY or UNIQUE, on one field (after its type) or on several (CONSTRAINT name ...).
struct KeyConstraint {
    std::string name;  // empty when no CONSTRAINT name was given
    std::vector<std::string> columns;
    bool primaryKey = false;  // else UNIQUE
};

// ---- Statements ---------------------------------------------------------------------------

struct AllColumns {
    std::string qualifier;  // empty for *, else the table or alias of qualifier.*
};

enum class Aggregate { Count, Sum, Min, Max, Avg };

// A selected value: a field (any expression, which the executor may refuse), or an aggregate
// of a field over the rows of a group: COUNT(field), SUM, MIN, MAX, AVG, and COUNT(*).
struct OutputColumn {
    Expression expression;  // the field; an aggregate's argument; a NULL literal for COUNT(*)
    std::string alias;      // empty when no AS was given
    std::optional<Aggregate> aggregate;
    bool everyRow = false;  // COUNT(*)
};

struct OrderKey {
    OutputColumn term;  // a field, an alias of the result, or an aggregate; never has an alias
    bool descending = false;
};

using SelectItem = std::variant<AllColumns, OutputColumn>;

struct TableSource {
    TableReference table;
    std::string alias;  // empty when none
};

// A plain SELECT returns rows; with `into` it is the make-table statement.
struct SelectStatement {
    bool distinct = false;
    std::optional<uint64_t> top;  // TOP n: at least 1
    std::vector<SelectItem> items;
    std::optional<TableReference> into;  // its database, if any, carries no password
    TableSource from;
    ExpressionPtr where;  // null when there is no WHERE clause
    std::vector<ColumnRef> groupBy;
    std::vector<OrderKey> orderBy;
};

struct CreateTableStatement {
    std::string table;
    std::vector<ColumnDefinition> columns;  // at least one
    std::vector<KeyConstraint> keys;        // in the order given
};

struct DropTableStatement {
    std::string table;
};

// CREATE [UNIQUE] INDEX name ON table (field [ASC|DESC], ...)
//     [WITH PRIMARY | WITH DISALLOW NULL | WITH IGNORE NULL]
struct CreateIndexStatement {
    std::string index;
    std::string table;
    std::vector<std::string> columns;  // at least one
    std::vector<bool> descending;      // per field
    bool unique = false;
    bool primaryKey = false;    // WITH PRIMARY
    bool disallowNull = false;  // WITH DISALLOW NULL
    bool ignoreNull = false;    // WITH IGNORE NULL
};

// DROP INDEX name ON table
struct DropIndexStatement {
    std::string index;
    std::string table;
};

// ALTER TABLE table ADD [COLUMN] field type [NOT NULL] [PRIMARY KEY | UNIQUE]
// ALTER TABLE table ADD CONSTRAINT name PRIMARY KEY | UNIQUE (field, ...)
// ALTER TABLE table DROP [COLUMN] field
// ALTER TABLE table DROP CONSTRAINT name
struct AlterTableStatement {
    enum class Action { AddColumn, AddConstraint, DropColumn, DropConstraint };
    std::string table;
    Action action = Action::AddColumn;
    ColumnDefinition column;          // AddColumn
    std::vector<KeyConstraint> keys;  // AddColumn: the field's own keys; AddConstraint: one
    std::string name;                 // DropColumn: the field; DropConstraint: the index
};

// INSERT INTO ... VALUES when select is null, else INSERT INTO ... SELECT.
struct InsertStatement {
    std::string table;
    std::vector<std::string> columns;  // empty: the table's columns in order
    std::vector<Literal> values;       // at least one without a select
    std::unique_ptr<SelectStatement> select;
};

struct DeleteStatement {
    std::string table;
    ExpressionPtr where;  // null when there is no WHERE clause: every row goes
};

struct Assignment {
    std::string column;
    Literal value;
};

struct UpdateStatement {
    std::string table;
    std::vector<Assignment> assignments;  // at least one
    ExpressionPtr where;                  // null when there is no WHERE clause: every row
};

using Statement = std::variant<SelectStatement, CreateTableStatement, DropTableStatement,
                               InsertStatement, DeleteStatement, UpdateStatement,
                               CreateIndexStatement, DropIndexStatement, AlterTableStatement>;

}  // namespace engine::sql
