// Copying a table into a database, as a make-table statement does: the new table takes the
// source's column names, order, types and sizes, and every row exactly. Nothing else of the
// source's definition comes along: no indexes or keys, no defaults or validation, and
// AutoNumber columns arrive as plain Long Integer (GUID AutoNumber as plain Replication ID) that
// keep the numbers the rows had.
#pragma once

#include "engine/database.h"

#include <string>

namespace engine {

// Copies table of source into destination as newName. source may be destination itself.
// Throws InputTableNotFound, TableExists, NotSupported (attachment, multi-value or unknown
// columns), and whatever creating the table throws.
void copyTable(Database& source, std::string_view table, Database& destination,
               const std::string& newName);

}  // namespace engine
