// Syntax errors in the engine's own words. Each error number has the sentence the database
// engine reports for it; the parser adds a second sentence saying what it found where.
#pragma once

#include "engine/error.h"

#include <string>

namespace engine::sql {

// The engine's sentence for a syntax error number: "Syntax error in FROM clause." for
// SyntaxError, "Syntax error in DROP TABLE or DROP INDEX." for DropSyntax, and so on.
const char* engineWording(ErrorCode code);

// An EngineError whose text is the engine's sentence, a blank and the detail.
[[noreturn]] void throwSyntaxError(ErrorCode code, const std::string& detail);

}  // namespace engine::sql
