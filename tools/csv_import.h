// Importing a CSV file (csv_reader.h) into a table: its first record names the columns, every
// later one is a row.
//
// Into a new table (no table of that name exists), each column takes the type its values call
// for, judged from the whole file (empty fields, which are NULL, do not count):
//   any value in quotes, or values of mixed kinds   Text (255 characters), Memo beyond
//   true/false or yes/no (letter case ignored)      Yes/No
//   whole numbers of Long Integer's range           Long Integer
//   numbers a Double holds as written               Double
//   numbers that need more digits (up to 28)        Decimal (Access 2000 files and later)
//   dates and times (see DateOrder)                 Date/Time
//   {GUID}s                                         Replication ID
//   nothing but empty fields                        Text (255 characters)
// A type named for a column (ImportOptions::types) is taken as it is. Currency takes values with
// at most 4 decimals: it is never guessed, so a column is Currency only when named so.
//
// Into an existing table, each column goes to the field of its name, and its values are
// converted to the field's type (the rules of INSERT INTO, sql/literal_values.h; Binary and OLE
// fields take hexadecimal digits). Fields the file does not name stay NULL.
//
// The rows are stored in one change: a value that does not convert, a record with more or fewer
// fields than the first, or text that is not UTF-8 refuses the whole import, naming the line and
// the column, and the database is left as it was. The first such fault in the file is named.
//
// The file is read once where it can be: the types are judged from its first stretch, and the
// rows are stored while the rest is judged too. When a later value needs another type than the
// stretch gave its column, that change is given up and the rows are stored again, with the
// types the whole file gives.
#pragma once

#include "engine/database.h"

#include "csv_values.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tools {

struct ImportOptions {
    // Column name -> type name: yesno, byte, integer, long, bigint, single, double, currency,
    // decimal, date, text, memo, guid (letter case ignored). Only for a new table.
    std::vector<std::pair<std::string, std::string>> types;
    DateOrder dateOrder = DateOrder::MonthDayYear;
    // Told how many bytes of the file the rows stored so far take, and the file's length, as
    // the rows are stored. Unset: nobody.
    std::function<void(uint64_t done, uint64_t total)> progress;
};

// Imports the CSV file at path into table. Returns the rows stored. Throws CsvError (an
// unreadable or malformed file, naming the line), UsageError (a type option that names no column
// or no type), engine::EngineError (a value that does not convert: its line and column are
// named; and whatever storing the rows throws).
uint64_t importCsv(engine::Database& database, const std::string& path, const std::string& table,
                   const ImportOptions& options);

}  // namespace tools
