// Adding a column to a table that exists, and dropping one.
//
// A column is spliced into the table's stored definition (format/rows/table_definition_writer.h)
// with the number after every column slot the table has had, and a new variable slot when it
// is variable; rows stored before it hold fewer columns, so the column reads NULL (Yes/No: No)
// in each of them and no row is rewritten. A dropped column leaves the definition, its
// properties leave the catalogue, and the pages of its long values are freed; its place in the
// rows stored before stays, unread, as Access leaves it until the database is compacted.
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/catalog/new_column.h"
#include "engine/catalog/write_context.h"

#include <string_view>

namespace engine::catalog {

// Adds the column to the table. Throws FieldExists (3380), TooManyColumns, InvalidName,
// InvalidArgument (a size out of range, a type the format lacks), NotSupported for an
// AutoNumber or calculated column, or a Required one, added to a table that has rows (existing
// rows would break its rule), a Text, Memo, OLE or Binary column added to a table of only fixed
// fields that has rows (its rows lack the part variable fields need), or a Required column in an
// Access 97 file.
void addColumn(const WriteContext& context, const CatalogObject& table, const NewColumn& column);

// Drops the column of that name (letter case ignored). Throws UnknownField (3070), FieldInIndex
// (3280) for a column an index holds (relationships hold theirs through indexes), and
// InvalidArgument for a table's last column.
void dropColumn(const WriteContext& context, const CatalogObject& table, std::string_view name);

// Records a change to the table's design in its catalogue row: DateUpdate becomes now, and its
// properties become properties when given (NULL when they are empty).
void recordDesignChange(const WriteContext& context, const CatalogObject& table,
                        const format::ByteString* properties = nullptr);

}  // namespace engine::catalog
