#include "engine/sql/syntax_error.h"

namespace engine::sql {

const char* engineWording(ErrorCode code) {
    switch (code) {
        case ErrorCode::InvalidStatement:
            return "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                   "'UPDATE'.";
        case ErrorCode::InsertSyntax:
            return "Syntax error in INSERT INTO statement.";
        case ErrorCode::SelectSyntax:
            return "The SELECT statement includes a reserved word or an argument name that is "
                   "misspelled or missing, or the punctuation is incorrect.";
        case ErrorCode::TrailingCharacters:
            return "Characters found after end of SQL statement.";
        case ErrorCode::UpdateSyntax:
            return "Syntax error in UPDATE statement.";
        case ErrorCode::WhereSyntax:
            return "Syntax error in WHERE clause.";
        case ErrorCode::IsamNotFound:
            return "Could not find installable ISAM.";
        case ErrorCode::InvalidFieldType:
            return "Invalid field data type.";
        case ErrorCode::CreateTableSyntax:
            return "Syntax error in CREATE TABLE statement.";
        case ErrorCode::CreateIndexSyntax:
            return "Syntax error in CREATE INDEX statement.";
        case ErrorCode::AlterTableSyntax:
            return "Syntax error in ALTER TABLE statement.";
        case ErrorCode::FieldSyntax:
            return "Syntax error in field definition.";
        case ErrorCode::DropSyntax:
            return "Syntax error in DROP TABLE or DROP INDEX.";
        case ErrorCode::NoDatabaseNamed:
            return "No database specified in connection string or IN clause.";
        case ErrorCode::QueryTooComplex:
            return "Query is too complex.";
        case ErrorCode::OrderBySyntax:
            return "Syntax error in ORDER BY clause.";
        case ErrorCode::SyntaxError:
            return "Syntax error in FROM clause.";
        default:
            return "Syntax error.";
    }
}

void throwSyntaxError(ErrorCode code, const std::string& detail) {
    throw EngineError(code, std::string(engineWording(code)) + " " + detail);
}

}  // namespace engine::sql
