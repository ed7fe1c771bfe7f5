// The engine's one error type. Every failure the engine reports is an EngineError carrying a
// fixed number (the database engine's own error number where one exists, so that callers and
// users see the numbers they know) and a human-readable text that names the object concerned.
// A text never contains a password.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace engine {

using PageNumber = uint32_t;

enum class ErrorCode : int32_t {
    Internal = 3000,            // a broken invariant of the engine itself
    InvalidArgument = 3001,     // a caller passed something the operation cannot take
    TableExists = 3010,         // "Table 'x' already exists."
    ObjectNotFound = 3011,      // an object other than a table is missing
    DuplicateKey = 3022,        // a unique index already holds the key
    PrimaryKeyNull = 3058,      // "Index or primary key cannot contain a Null value."
    FileNotFound = 3024,        // "Could not find file 'path'."
    DiskFull = 3026,            // no space left for a write
    ReadOnly = 3027,            // "Cannot update. Database or object is read-only."
    InvalidPassword = 3031,     // "Not a valid password."
    IoError = 3043,             // the file system refused a read or a write
    FileInUse = 3045,           // "Could not use 'path'; file already in use."
    RecordTooLarge = 3047,      // a row does not fit on a page
    Corrupt = 3049,             // a damaged file: a structure read from disk is inconsistent
    UnknownField = 3070,        // a statement names a field the table does not have
    ExpressionSyntax = 3075,    // "Syntax error (missing operator) in query expression 'x'."
    InputTableNotFound = 3078,  // a table named as a source is missing
    OrderByDistinct = 3093,     // ORDER BY names a field that SELECT DISTINCT does not select
    CannotSort = 3117,          // ORDER BY, GROUP BY, MIN or MAX on binary or OLE data
    GroupOnStar = 3121,         // "Cannot group on fields selected with '*'."
    NotAggregated = 3122,       // a field neither grouped by nor inside an aggregate
    InvalidName = 3125,         // an identifier the engine cannot accept
    UnknownInsertField = 3127,  // INSERT INTO names a field the table does not have
    InvalidStatement = 3129,    // "Invalid SQL statement; expected 'DELETE', 'INSERT', ..."
    SyntaxError = 3131,         // "Syntax error in FROM clause."; any statement it cannot accept
    InsertSyntax = 3134,        // "Syntax error in INSERT INTO statement."
    OrderBySyntax = 3138,       // "Syntax error in ORDER BY clause."
    SelectSyntax = 3141,        // "The SELECT statement includes a reserved word ..."
    TrailingCharacters = 3142,  // "Characters found after end of SQL statement."
    UpdateSyntax = 3144,        // "Syntax error in UPDATE statement."
    WhereSyntax = 3145,         // "Syntax error in WHERE clause."
    FieldTooSmall = 3163,       // a value longer than its field allows
    FieldNotUpdatable = 3164,   // "Field cannot be updated." (an AutoNumber or calculated field)
    IsamNotFound = 3170,        // "Could not find installable ISAM."
    TooManyColumns = 3190,      // more than 255 columns
    DuplicateField = 3191,      // "Cannot define field more than once."
    NotSupported = 3251,        // a valid request the engine does not implement
    InvalidFieldType = 3259,    // "Invalid field data type."
    FieldInIndex = 3280,        // a field an index holds cannot be deleted
    TooManyIndexes = 3281,      // a table would have more than 32 indexes
    PrimaryKeyExists = 3283,    // "Primary key already exists."
    InvalidIndex = 3285,        // "Invalid index definition." (a field twice, too many fields)
    CreateTableSyntax = 3290,   // "Syntax error in CREATE TABLE statement."
    CreateIndexSyntax = 3291,   // "Syntax error in CREATE INDEX statement."
    FieldSyntax = 3292,         // "Syntax error in field definition."
    AlterTableSyntax = 3293,    // "Syntax error in ALTER TABLE statement."
    DropSyntax = 3295,          // "Syntax error in DROP TABLE or DROP INDEX."
    InRelationship = 3303,      // a table or field that a relationship refers to
    RequiredValue = 3314,       // NULL for a field whose Required property is set
    NoDatabaseNamed = 3321,     // "No database specified in connection string or IN clause."
    UnrecognizedFormat = 3343,  // "Unrecognized database format 'path'."
    ValueCountMismatch = 3346,  // INSERT INTO: as many values as fields are needed
    NumericOverflow = 3349,     // "Numeric field overflow."
    QueryTooComplex = 3360,     // "Query is too complex."
    NoSuchIndex = 3371,         // "Cannot find table or constraint."
    IndexNameTaken = 3375,      // "Table 'x' already has an index named 'y'."
    TableNotFound = 3376,       // "Table 'x' does not exist." (DROP)
    FieldExists = 3380,         // "Field 'x' already exists in table 'y'."
    InvalidIndexField = 3409,   // a field an index cannot name: missing, or of a type not indexed
    DataTypeMismatch = 3464,    // a value compared with or stored into a field of another type
};

class EngineError : public std::runtime_error {
public:
    EngineError(ErrorCode code, const std::string& message,
                std::optional<PageNumber> page = std::nullopt)
        : std::runtime_error(message), m_code(code), m_page(page) {}

    ErrorCode code() const { return m_code; }
    int32_t number() const { return static_cast<int32_t>(m_code); }
    // The page where a damaged structure was found, if the error is about one.
    std::optional<PageNumber> page() const { return m_page; }

private:
    ErrorCode m_code;
    std::optional<PageNumber> m_page;
};

}  // namespace engine
