// Runs one SQL statement (parser.h) on a database.
//
//   SELECT [DISTINCT] items INTO t [IN 'file'] FROM s [AS a] [WHERE c]   make-table
//   SELECT [DISTINCT] items FROM s [AS a] [WHERE c]                      rows
//   ... [GROUP BY f, ...] [ORDER BY k, ...], TOP n, aggregates           rows (shaped_query.h)
//   CREATE TABLE, INSERT INTO ... VALUES | SELECT, UPDATE, DELETE,       table_statements.h
//   DROP TABLE
//
// A make-table query takes no GROUP BY, ORDER BY, TOP or aggregate (NotSupported). INSERT INTO
// ... SELECT reads its rows as a plain SELECT gives them; when it reads the table it fills, it
// reads every row before it adds any.
//
// The make-table creates t from the part of s the statement selects, as table_copy.h copies.
// Items are *, s.* or a.*, and fields with or without AS new name; fields are found by name with
// letter case ignored (table_scope.h); the WHERE condition is condition.h's. The result's field
// names must differ (DuplicateField); other expressions than fields are not supported.
//
// s may be a table of another file, [MS Access;DATABASE=path;PWD=password].[table]. That file is
// opened for reading with its password for the statement's length, so a wrong password or a
// missing file fails as opening it does. When it turns out to be the file being written (the
// database's own file, or the IN file, found by device and inode whatever the path's spelling),
// the rows are read through the database being written, as a copy within one file must be.
// A source must be a table stored in the file: a linked table or a query is refused.
#pragma once

#include "engine/database.h"
#include "engine/sql/shaped_query.h"
#include "engine/table_copy.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace engine::sql {

struct ExecuteOptions {
    // Refuse every change (ReadOnly), as on a connection opened for reading.
    bool readOnly = false;
    // False: files of the ACE formats that a statement names are refused with
    // UnrecognizedFormat, as the Jet 4.0 engine, which knows none, refuses them.
    bool opensAceFiles = true;
    // Opens the file an IN clause names, for writing. Unset: Database::open. A caller that
    // holds files open gives one that hands out the database it holds, since a second writer
    // of a file is refused.
    std::function<std::shared_ptr<Database>(const std::string& path)> openDestination;
    // Told how far a make-table copy is (table_copy.h). Unset: nobody is told.
    CopyProgress progress;
};

// The rows of a plain SELECT, read one at a time. They come from the database given to execute,
// which must outlive them, or from a file they hold open themselves.
class QueryRows {
public:
    QueryRows(std::shared_ptr<Database> source, std::unique_ptr<ResultRows> rows)
        : m_source(std::move(source)), m_rows(std::move(rows)) {}

    const std::vector<std::string>& columnNames() const { return m_rows->names(); }
    bool next(std::vector<format::Value>& row) { return m_rows->next(row); }
    ResultRows& rows() { return *m_rows; }

private:
    std::shared_ptr<Database> m_source;
    std::unique_ptr<ResultRows> m_rows;
};

// Returns the rows of a plain SELECT, nullptr for every other statement. Throws EngineError:
// the parser's syntax errors, InputTableNotFound, TableExists, TableNotFound, UnknownField,
// DuplicateField, DataTypeMismatch, NotSupported, ReadOnly, the errors of opening a file ...
std::unique_ptr<QueryRows> execute(Database& database, std::string_view statement,
                                   const ExecuteOptions& options = {});

// True for a statement that only reads (a plain SELECT), which needs no more than a database
// open for reading; false for every other statement and for text that does not parse.
bool onlyReads(std::string_view statement);

// The definition of a table stored in database, for a statement that reads or fills it. Throws
// InputTableNotFound, or NotSupported for a linked table or a query of that name.
format::TableDefinition storedTable(Database& database, std::string_view name);

}  // namespace engine::sql
