// The words the engine reserves in SQL statements. A bare name may not be one of them: such a
// name is a syntax error and must be written [in brackets] or `in backquotes`.
#pragma once

#include <string_view>

namespace engine::sql {

// Letter case does not matter. Words with non-ASCII letters are never reserved.
bool isReservedWord(std::string_view word);

}  // namespace engine::sql
