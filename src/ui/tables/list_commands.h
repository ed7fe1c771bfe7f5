// "Delete Table(s)" and "Rename Table": commands on the tables of one list's own database. Each
// brings that list up to date itself; neither re-reads the database nor touches the other list.
//
// Delete drops every selected table at once, without a question, visiting the list from its
// last entry so that the indexes still to be visited stay valid as entries go:
//
//   DROP TABLE `NAME`;
//
// A failed drop is reported and the entry removed all the same. Rename asks for the new name of
// the one selected table and renames it through RenameAccessTable (db/table_rename.h), then adds
// the new name at the end of the list.
#pragma once

#include "app/window_pointer.h"
#include "db/session.h"

class QProgressBar;

namespace ui {

// Which list, with its database: #1 (List1, Text1 and Text2) or #2 (List2, Text3 and Text4).
enum class ListSide { Database1, Database2 };

// The window's pointer shows the hourglass while either command works. Every failing step is
// reported and the command goes on. Delete shows the selected tables dropped so far on the
// progress bar (command_progress.h) and sets it to 0 at the end.
void deleteTables(const db::Session& session, ListSide side, app::WindowPointer& pointer,
                  QProgressBar& progress);
void renameTable(const db::Session& session, ListSide side, app::WindowPointer& pointer);

}  // namespace ui
