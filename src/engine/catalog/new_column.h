// A column as a caller asks for it when creating a table. The engine turns newColumns into column
// definitions (table_definition.h), choosing numbers, offsets and flags as the product does.
#pragma once

#include "engine/format/rows/table_definition.h"

#include <string>
#include <vector>

namespace engine::catalog {

struct NewColumn {
    std::string name;
    format::ColumnType type = format::ColumnType::Text;
    uint16_t size = 255;      // Text: characters (1-255); Binary: bytes (1-510); ignored otherwise
    uint8_t precision = 18;   // Decimal
    uint8_t scale = 0;        // Decimal
    bool autoNumber = false;  // Long Integer: numbered 1, 2, 3 ... by the engine
    bool guidAutoNumber = false;    // Replication ID: a new GUID for every row
    bool hyperlink = false;         // Memo
    bool compressedUnicode = true;  // Text and Memo
    // Required: the column's Required property is set (Jet 4 and later), so that the product
    // refuses rows without a value for it.
    bool required = false;
    // A calculated column (Access 2010 and later) when not empty: the expression, as the
    // product keeps it; type is its result's type. The engine does not evaluate expressions:
    // the rows given carry the results, and they are stored as given.
    std::string expression;

    // The request of an existing column (make-table keeps a source column's type and size). A
    // calculated column becomes a plain column of its result's type; a Decimal result, whose
    // values each carry their own scale, asks for precision 28 and scale 0 (the copy chooses
    // the scale its values need).
    static NewColumn of(const format::ColumnDefinition& column, bool jet3Source);
};

// An index as a caller asks for it when creating a table: its columns (by name), ascending
// unless descending says otherwise.
struct NewIndex {
    std::string name;
    std::vector<std::string> columns;
    bool unique = false;
    bool ignoreNulls = false;  // rows whose indexed columns are all NULL get no entry
    bool primaryKey = false;   // unique and required as well
    bool required = false;     // a row with a NULL in an indexed column is refused
    std::vector<bool> descending;  // per column; empty: every column ascending
};

// Throws InvalidName when name cannot name a table or column of a database of format: empty,
// longer than 64 characters, a leading blank, control characters, any of . ! ` [ ], or (Jet 3,
// which stores names in the database's code page) a character codePage lacks.
void validateName(std::string_view name, storage::FileFormat fileFormat, uint16_t codePage);

// Builds the column definitions of a new table. Throws InvalidName, TooManyColumns,
// InvalidArgument (a size out of range, a type the format lacks, two columns of one name).
// Types that Access 97 files lack are refused for Jet 3 as the Jet 4.0 provider refuses them
// there: Decimal (its documentation of the Decimal type: "These types do not work on previous
// .mdb file formats"), Binary longer than 255 bytes (Jet 3.5's Binary type ends there), and the
// later products' Large Number and Date/Time Extended, which the provider does not know.
std::vector<format::ColumnDefinition> defineColumns(const std::vector<NewColumn>& newColumns,
                                                    storage::FileFormat format, uint16_t codePage,
                                                    storage::SortOrder sortOrder);

}  // namespace engine::catalog
