// Running one SQL statement with its own failure message, and looking names up in a table list.
// The look-ups consult the list only, never the database: the list stands for the database's
// tables as last read, or as the commands have changed them since.
#pragma once

#include "app/modal_boxes.h"
#include "db/table_list.h"

#include <QString>

namespace ado {
class Connection;
}

namespace db {

// Runs the statement on the open connection. When it fails, shows "Run-time error: ", the error
// number, a blank and the description, and returns false; the failure goes no further.
bool ExecuteStatement(app::ModalBoxes& boxes, ado::Connection& connection,
                      const QString& statement);

// Whether two table names are one name to the database engine: equal apart from letter case
// in any script, and alike as its catalogue compares names (engine/catalog/object_name.h).
bool SameTableName(const QString& first, const QString& second);

// True when an entry of the list is the same table name (SameTableName).
bool IsInListbox(const QString& name, const TableList& list);

// Removes every entry that IsInListbox finds for the name: after the table of that name has been
// dropped, none of its entries may stay, whatever their letter case, since the database drops
// the table whatever the case it is named in, and deleting a leftover entry would drop the next
// table of that name.
void RemoveTableFromListbox(TableList& list, const QString& name);

// Removes the entries that are the same table name (SameTableName): the table the database
// dropped under that name. The list is scanned once, from the first entry to the number of
// entries it had at the start: after a removal the entry that moves into the freed place is not
// looked at.
void RemoveFromListbox(TableList& list, const QString& name);

}  // namespace db
