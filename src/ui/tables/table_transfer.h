// "Send To Access #2" and "Send To Access #1": every selected table of one database copied into
// the other by one make-table statement run on the destination database's connection, which
// names the source file by its path (and password), so no row passes through the program.
//
//   SELECT  * INTO NAME FROM [MS Access;DATABASE=PATH].[NAME]
//   SELECT  * INTO NAME FROM [MS Access;DATABASE=PATH;PWD=PASSWORD].[NAME]
//   DROP TABLE `NAME`                          (before replacing a destination table)
//
// NAME, PATH and PASSWORD go in unchanged: a name, path or password the statement cannot carry
// makes the engine refuse it, and the statement runner reports that like any other failure.
// The source list is visited from its last entry; a destination table of the same name (letter
// case ignored) is replaced only after the user says Yes, and its entries go with it. When both
// databases are one file, a table found in the destination list is its own source: it is neither
// dropped nor copied, and the user is told so.
//
// The two directions run one procedure; they differ in the lists, the texts, the error
// location, and the statement numbers from the loop on, which are 6 higher going to #1.
#pragma once

#include "app/window_pointer.h"
#include "db/session.h"

class QProgressBar;

namespace ui {

enum class TransferDirection { ToDatabase2, ToDatabase1 };

// The window's pointer shows the hourglass while the command runs; the progress bar shows the
// selected tables done and the rows of the table being copied (command_progress.h), and is set
// to 0 at the end. Every failing step is reported and the command goes on.
void transferTables(const db::Session& session, TransferDirection direction,
                    app::WindowPointer& pointer, QProgressBar& progress);

// The statement that copies the table NAME of the database at path into the connection's
// database, as described above.
QString makeTableStatement(const QString& name, const QString& path, const QString& password);

}  // namespace ui
