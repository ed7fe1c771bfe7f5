// ADODB.Connection: one open database file, its statements and its tables schema rowset.
//
//   ado::ObjectFactory factory;
//   auto connection = factory.createObject("ADODB.Connection");
//   connection->setCursorLocation(ado::kUseServer);
//   connection->setMode(ado::kModeReadWrite);
//   connection->open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/a.accdb;"
//                    "JET OLEDB:Database Password=");
//   auto tables = connection->openSchema(ado::kSchemaTables);
//   connection->close();
//
// Open checks the connection string (connection_string.h), the provider and the file
// (provider.h), then opens the file through the engine, shared with the process's other
// connections to it (shared_databases.h). Mode 0 (the default) and 3 open for writing when the
// file allows it and for reading otherwise; a read-only file's changes then fail with the
// engine's read-only error. Mode 1 opens for reading: this connection changes nothing.
//
// Statements run on the provider's engine: on a Jet 4.0 connection, a statement naming an ACE
// file fails as opening one does. A statement's IN 'file' destination is opened through the
// same sharing, so a file another connection holds open can be written. The rows of a SELECT
// are read whole into the recordset.
//
// Every failure raises ComError (com_error.h). The cursor location changes nothing here: rows
// are always read on the connection's side.
//
// Beyond ADO, a connection can carry a progress callback (setCopyProgress), told as the rows of a
// make-table statement are copied, so that a window can show how far a long statement is.
#pragma once

#include "ado/provider.h"
#include "ado/recordset.h"
#include "ado/shared_databases.h"
#include "engine/table_copy.h"

#include <memory>
#include <string>

namespace ado {

inline constexpr int kUseServer = 2;  // CursorLocation, the default
inline constexpr int kUseClient = 3;

inline constexpr int kModeUnknown = 0;  // Mode, the default: read and write when able
inline constexpr int kModeRead = 1;
inline constexpr int kModeWrite = 2;
inline constexpr int kModeReadWrite = 3;

inline constexpr int kStateClosed = 0;  // State
inline constexpr int kStateOpen = 1;

class Connection {
public:
    Connection() = default;
    // Releasing an open connection closes it.
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int cursorLocation() const { return m_cursorLocation; }
    // Throws 3001 for a value other than kUseServer and kUseClient.
    void setCursorLocation(int location);
    int mode() const { return m_mode; }
    // Throws 3001 for a value other than the four above, 3705 while open.
    void setMode(int mode);
    int state() const { return m_database ? kStateOpen : kStateClosed; }

    // Told how far the copy of each make-table statement run by execute is (table_copy.h), on
    // the calling thread. Empty: nobody is told.
    void setCopyProgress(engine::CopyProgress progress) { m_copyProgress = std::move(progress); }

    // Throws 3705 when open already; see above for the rest.
    void open(const std::string& connectionString);
    // Runs one SQL statement (engine/sql/executor.h). Returns the rows of a SELECT, and a
    // closed recordset for every other statement. Throws 3704 when closed.
    std::unique_ptr<Recordset> execute(const std::string& statement);
    // Only the tables rowset (kSchemaTables) is provided; others raise 3251. Throws 3704 when
    // closed.
    std::unique_ptr<Recordset> openSchema(int schema);
    // Throws 3704 when closed already.
    void close();

private:
    engine::Database& database();

    int m_cursorLocation = kUseServer;
    int m_mode = kModeUnknown;
    Provider m_provider = Provider::Ace12;  // the open connection's
    std::shared_ptr<SharedDatabase> m_database;
    engine::CopyProgress m_copyProgress;
};

}  // namespace ado
