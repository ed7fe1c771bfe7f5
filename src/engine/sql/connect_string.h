// The connect string that names a table of another database file in a FROM clause:
//
//   [MS Access;DATABASE=D:\Data\Sales.mdb;PWD=secret].[Orders]
//   [;DATABASE=D:\Data\Sales.mdb].[Orders]
//
// The part before the first ";" names the kind of database: "MS Access" (letter case and
// blanks around it ignored) or nothing. The parts after it are KEYWORD=value, keywords in any
// letter case with blanks around them ignored, values verbatim up to the next ";" (the lexer
// already ended the whole at the first "]"). Empty parts (";;", a closing ";") are skipped.
//
//   DATABASE  the file; required and not empty
//   PWD       its password; absent or empty means none, a blank is a password
//
// Anything else is refused rather than guessed at, so that a path or password holding ";" or
// "]" can never turn into a different statement: another kind of database, a part without
// "=", an unknown keyword and a keyword given twice are all errors.
#pragma once

#include "engine/sql/statement.h"
#include "engine/sql/statement_text.h"

#include <cstddef>
#include <string_view>

namespace engine::sql {

// content is the text between the brackets, which start at contentOffset - 1 of the statement.
// Throws EngineError: IsamNotFound for another kind of database, NoDatabaseNamed without a
// file, SyntaxError for the rest.
ExternalDatabase readConnectString(std::string_view content, size_t contentOffset,
                                   const StatementText& statement);

}  // namespace engine::sql
