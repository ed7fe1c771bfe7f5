// Renaming a table of one database. The engine is not asked to rename: the table is copied under
// the new name and the old table dropped, on a connection of the routine's own, and the
// database's table list is kept in step. The routine never drops the table it renames:
//
//   new name                             what happens
//   the old name exactly                 nothing: no question, no statement, the list as it was
//   the old name in other letter case    the table goes through an interim name that no table
//                                        bears: copy to it, drop the old, copy to the new name,
//                                        drop the interim
//   the name of another table (letter    "Would you like to overwrite NEW?"; Yes drops that
//   case ignored)                        table and its entry, whatever the entry's letter case,
//                                        No changes nothing
//   any other name                       copy to the new name, drop the old
#pragma once

#include "db/session.h"

#include <QString>

namespace db {

// Renames the table and takes the old name (and a replaced table's name) out of the list; the
// caller adds the new name when the result is true. False when nothing was renamed: the new name
// is the old one, or the user declined to replace another table. Failures are not caught: the
// first one ends the routine, what was done before it stays done, and the error goes to the
// caller.
bool RenameAccessTable(const Session& session, const QString& oldName, const QString& newName,
                       const QString& path, const QString& password, TableList& list);

}  // namespace db
