// Reading the text of number, date and GUID literals into their values.
//
// Dates (the text between the # signs, blanks around it ignored):
//   yyyy-mm-dd  yyyy/mm/dd       year first when it has four digits
//   m/d/yyyy    m-d-yyyy  m/d/yy month first otherwise (the engine's US order); a two-digit
//                                year means 1930-1999 from 30 on, 2000-2029 below
//   either followed by a time, or a time alone (on 1899-12-30):
//   h:mm  h:mm:ss                with AM or PM the hour runs 1-12
// Years run from 100 to 9999, as the engine's dates do.
#pragma once

#include "engine/sql/statement.h"

#include <optional>
#include <string_view>

namespace engine::sql {

// nullopt when the text is not a date or names a day that does not exist.
std::optional<Date> readDate(std::string_view text);

// The digits of a number token, negated when negative. nullopt when the value is out of the
// range of a double.
std::optional<Number> readNumber(std::string_view digits, bool negative);

// The 36 characters xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx the lexer has checked.
Guid readGuid(std::string_view text);

}  // namespace engine::sql
