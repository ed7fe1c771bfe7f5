// Reads one SQL statement into its tree (statement.h).
//
// One statement per call: after it only blanks and at most one ";" may follow; anything else
// is refused, so that a second statement never runs. The grammar and the names are described
// in statement.h and lexer.h. Rules worth knowing:
//
// - A bare name is a word of letters, digits and "_" that is not a reserved word
//   (reserved_words.h); Order, Table or a name with a blank must be [bracketed] or
//   `backquoted`.
// - A name in brackets or backquotes may hold anything but control characters and the
//   characters . ! ` [ ] (the engine's rule for object names); it may not begin with a blank
//   and has at most 64 characters. Other names are refused with InvalidName (3125), never
//   cut or changed.
// - A table of another file is named [connect string].[table] (connect_string.h); a bracketed
//   part holding ";" is always read as a connect string, never as a name.
// - TEXT without a size is a Memo column, TEXT(n) a Text column, as in the engine; CHAR,
//   VARCHAR and the other text names make Text columns with or without a size.
// - Unary + and - apply to numbers only. Comparisons do not chain: a = b = c is an error.
// - Statements are at most 64,000 characters long; parentheses and NOT nest at most 100
//   deep, and the tree of a condition is at most 100 levels deep (each AND, OR, NOT,
//   comparison or test adds one): beyond that QueryTooComplex (3360). The tree's users may
//   therefore walk it recursively.
//
// Errors are EngineError with the engine's number for the clause at fault (InvalidStatement
// 3129, SyntaxError 3131 for the FROM clause, SelectSyntax 3141, InsertSyntax 3134, UpdateSyntax
// 3144, WhereSyntax 3145, ExpressionSyntax 3075, CreateTableSyntax 3290, FieldSyntax 3292,
// InvalidFieldType 3259, DropSyntax 3295, TrailingCharacters 3142, IsamNotFound 3170,
// NoDatabaseNamed 3321, InvalidName 3125, QueryTooComplex 3360). The text is the engine's sentence
// followed by what was found where; it never shows a password (statement_text.h).
#pragma once

#include "engine/sql/statement.h"

#include <cstddef>
#include <string_view>

namespace engine::sql {

inline constexpr size_t kMaxStatementCharacters = 64000;
inline constexpr int kMaxNesting = 100;

Statement parseStatement(std::string_view text);

}  // namespace engine::sql
