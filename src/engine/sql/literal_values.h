// Literals stored into fields, as INSERT INTO ... VALUES stores them.
//
//   field                          takes
//   Yes/No                         TRUE, FALSE, a number (true when not zero)
//   Byte, Integer, Long Integer,   a number, rounded to a whole one (halves to even);
//   Large Number                   TRUE (-1), FALSE (0)
//   Currency                       a number, rounded to 4 decimals (halves to even); TRUE, FALSE
//   Decimal                        a number, rounded to the field's scale; TRUE, FALSE
//   Single, Double                 a number; TRUE, FALSE
//   Date/Time                      a #date#, or a number of days (years 100 to 9999)
//   Text, Memo                     a 'text', or a number as it is written
//   Replication ID                 a {guid {...}}
//   every field                    NULL
// Anything else is a DataTypeMismatch; a number too large for its field a NumericOverflow; a
// text longer than its Text field allows FieldTooSmall. Binary, OLE Object and Date/Time
// Extended fields take only NULL.
#pragma once

#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"
#include "engine/sql/statement.h"

namespace engine::sql {

// field belongs to a table of a file of format (Text lengths count its bytes a character).
format::Value valueForField(const Literal& literal, const format::ColumnDefinition& field,
                            const format::JetFormat& format);

// A value read from a table or a query, stored into field: as it is when it already has the
// field's type (texts and decimals excepted, which are measured and rounded), else as the
// literal that writes it would be (a number, a text, a date, TRUE or FALSE). Binary and OLE
// data go only into fields of their own type.
format::Value valueForField(const format::Value& value, const format::ColumnDefinition& field,
                            const format::JetFormat& format);

}  // namespace engine::sql
