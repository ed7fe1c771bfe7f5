// Creating a table: its storage first (definition page, usage maps, rows), then the catalogue
// rows that make it exist (MSysObjects, MSysACEs). Until registerTable() runs, nothing in the
// file refers to the new pages, so a change that stops halfway leaves the catalogue untouched.
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/catalog/new_column.h"
#include "engine/catalog/write_context.h"
#include "engine/format/rows/table_appender.h"

#include <memory>

namespace engine::catalog {

class NewTable {
public:
    // Allocates the definition page and writes the usage maps. REQUIRES: a change is running.
    NewTable(const WriteContext& context, std::string name,
             std::vector<format::ColumnDefinition> columns);
    // The same for a table of a given shape: its columns laid out, its type, and indexes (whose
    // columns and flags are set; pages and maps are filled in here, each with an empty root).
    NewTable(const WriteContext& context, std::string name, format::TableDefinition shape);
    ~NewTable();

    const format::TableDefinition& definition() const { return m_definition; }
    // Numbers the AutoNumber column from after last. REQUIRES: no row appended yet.
    void numberAfter(uint32_t last) { m_definition.lastAutoNumber = last; }
    // Appends a row (one value per column, in column order). REQUIRES: the table has no
    // indexes (rows of an indexed table go in through TableEditor once the storage is
    // finished).
    format::RowLocation append(const std::vector<format::Value>& row);
    // Appends a row as another table stores it (format::TableAppender::appendStored); nullopt
    // when the row must be given as values. REQUIRES: as append().
    std::optional<format::RowLocation> appendStored(
        storage::Bytes row, const format::TableAppender::LongValueSource& longValues);
    // Appends a row encoded for this table's definition (format::TableAppender::appendEncoded).
    // REQUIRES: as append(), and no AutoNumber column.
    format::RowLocation appendEncoded(storage::Bytes row);
    // Writes the last pages and the definition.
    void finishStorage();

private:
    format::TableAppender& appender();

    const WriteContext& m_context;
    std::string m_name;
    format::TableDefinition m_definition;
    std::unique_ptr<format::TableAppender> m_appender;
};

// Adds an index to the shape of a new table: a real index on the columns (by number,
// ascending unless descending, when given, says otherwise per column) and the logical index
// that names it. flags are index_flags; kind is the logical index's type (0 normal, 1 primary
// key).
void addIndex(format::TableDefinition& shape, const std::string& name,
              const std::vector<uint16_t>& columns, uint8_t flags, uint8_t kind,
              const std::vector<bool>& descending = {});

// Places usage-map rows of a table that exists, side by side: on the page near (the page of
// one of the table's own maps, as Access gathers a table's maps) when it is a page of maps with
// room for all of them, else on a new page. Returns where each went, in order.
std::vector<format::UsageMapRef> placeMapRows(const WriteContext& context, PageNumber near,
                                              const std::vector<std::vector<uint8_t>>& rows);

// The shape of a new user table: its columns (defineColumns) and the indexes asked for.
// Throws InvalidArgument when an index names a column the table lacks, or has none, or two
// indexes share a name.
format::TableDefinition userTableShape(std::vector<format::ColumnDefinition> columns,
                                       const std::vector<NewIndex>& indexes,
                                       storage::FileFormat fileFormat, uint16_t codePage);

// Enters a table whose storage is written into the catalogue: its MSysObjects row (owned by the
// database's owner, with the table's properties when it has any) and its MSysACEs rows: in Jet 4
// and later files full rights for every account that holds rights on the Tables container; in
// Jet 3 files, as Access 97 writes them, the inheritable rights each account holds on the
// container, the owner's joined by those of the Creator account. Returns the object as the
// catalogue now lists it.
CatalogObject registerTable(const WriteContext& context, const std::string& name,
                            PageNumber definitionPage, const format::ByteString& properties = {});

// The current local time as a Date/Time value.
format::DateTime now();

}  // namespace engine::catalog
