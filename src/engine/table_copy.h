// Copying a table into a database, as a make-table statement does, and reading the part of a
// table a query selects.
//
// A copy's new table takes the selected source columns' types and sizes, in the order selected,
// under the names given, and every selected row exactly. Nothing else of the source's
// definition comes along: no indexes or keys, no defaults or validation, and AutoNumber columns
// arrive as plain Long Integer (GUID AutoNumber as plain Replication ID) that keep the numbers
// the rows had, and calculated columns as plain columns of their results' type that keep the
// stored results. The database engine's own make-table queries behave so, by the accounts
// available; the engine copies no column properties in any case.
#pragma once

#include "engine/database.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace engine {

// Which part of a table to take.
struct Selection {
    struct Column {
        size_t source = 0;  // position in the source definition's columns
        std::string name;   // the name it takes
    };
    std::vector<Column> columns;  // empty: every column under its own name
    // Keeps a row when it returns true. It is given the whole source row, of which only the
    // columns listed in filterColumns are read (the others are NULL). Null keeps every row.
    std::function<bool(const std::vector<format::Value>& row)> filter;
    std::vector<size_t> filterColumns;
    // Each row once: rows whose values are all equal (texts with letter case ignored, as the
    // engine compares them) count once, the first one read standing for them.
    bool distinct = false;
};

// The selected rows of one table, read one at a time in the table's order. Like TableReader, it
// throws Corrupt at the end when the table was dropped or replaced while it was read.
class SelectedRows {
public:
    SelectedRows(Database& source, format::TableDefinition definition, Selection selection);

    // The source columns selected, in order, and the names they take.
    const std::vector<const format::ColumnDefinition*>& columns() const { return m_columns; }
    const std::vector<std::string>& names() const { return m_names; }
    // Moves to the next selected row; false at the end.
    bool next(std::vector<format::Value>& row);

    // Whether the selection takes every column in its place and every row (no filter, no
    // DISTINCT), so that rows can be passed on as the source stores them.
    bool takesRowsWhole() const;
    const format::TableDefinition& definition() const { return m_definition; }
    // When it takes rows whole: moves to the next row without decoding it (its bytes are
    // storedRow(), valid until the next call); false at the end.
    bool nextStored();
    storage::Bytes storedRow() const { return m_scan.rowBytes(); }
    // Decodes the row nextStored moved to, as next() would give it.
    void decodeStored(std::vector<format::Value>& row) { m_scan.decode(row); }

private:
    format::TableDefinition m_definition;
    Selection m_selection;
    std::vector<const format::ColumnDefinition*> m_columns;
    std::vector<std::string> m_names;
    std::vector<bool> m_wanted;
    std::vector<bool> m_lastUse;  // per selected column: no later column takes its value
    Database& m_source;
    format::TableScan m_scan;
    std::optional<catalog::CatalogObject> m_listing;  // checked again after the last row
    std::vector<format::Value> m_sourceRow;
    std::set<std::string> m_seen;  // distinct: the rows given so far, as keys
};

// A key equal for two rows exactly when DISTINCT counts them as one (texts with letter case
// ignored).
std::string distinctKey(const std::vector<format::Value>& row);

// Told how far a copy is, once for each row read for it (before the row is written): the rows
// read so far and the rows the source table holds by its definition's count. A selection that
// leaves rows out ends below that count. What it throws ends the copy, which then changes
// nothing.
using CopyProgress = std::function<void(uint64_t rowsRead, uint64_t rowsInTable)>;

// Copies the selection of table of source into destination as newName. source may be
// destination itself. Throws InputTableNotFound, TableExists, NotSupported (attachment,
// multi-value or unknown columns), and whatever creating the table throws.
void copyTable(Database& source, std::string_view table, Database& destination,
               const std::string& newName, const Selection& selection = {},
               const CopyProgress& progress = {});

// Copies a table whole, as the product's own import brings it: its columns with their types,
// AutoNumber (numbering on from the source's next value) and calculated columns (their
// expressions kept; Access 2010 formats and later), its rows, its primary key and every other
// index with their columns, orders and flags, and the properties of the table and its columns
// (description, caption, format, default value, validation rule and text, required, allow zero
// length ...), except their GUIDs, which name the source's objects. Indexes that only serve a
// relationship, and the relationships, are not copied. Properties cannot go to or from an Access
// 97 file (NotSupported when the table has any), nor calculated columns to a format without
// them. Throws as copyTable does, and DuplicateKey or PrimaryKeyNull when the source's rows break
// its own indexes.
void copyWholeTable(Database& source, std::string_view table, Database& destination,
                    const std::string& newName, const CopyProgress& progress = {});

}  // namespace engine
