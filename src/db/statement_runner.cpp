#include "db/statement_runner.h"

#include "ado/com_error.h"
#include "ado/connection.h"
#include "ado/table_names.h"

namespace db {

bool ExecuteStatement(app::ModalBoxes& boxes, ado::Connection& connection,
                      const QString& statement) {
    try {
        connection.execute(statement.toStdString());
        return true;
    } catch (const ado::ComError& error) {
        boxes.message({.text = QStringLiteral("Run-time error: ") +
                               QString::number(error.number()) + QLatin1Char(' ') +
                               QString::fromStdString(error.what())});
        return false;
    }
}

// A list does not know the sort order of its database's catalogue, so names compare under the
// General order.
bool SameTableName(const QString& first, const QString& second) {
    return ado::sameTableName(first.toStdString(), second.toStdString());
}

bool IsInListbox(const QString& name, const TableList& list) {
    bool found = false;
    const int count = list.count();
    for (int index = 0; index < count; ++index) {
        if (SameTableName(list.text(index), name)) {
            found = true;
        }
    }
    return found;
}

void RemoveTableFromListbox(TableList& list, const QString& name) {
    // From the last entry, so that the entries still to be looked at keep their indexes.
    for (int index = list.count() - 1; index >= 0; --index) {
        if (SameTableName(list.text(index), name)) {
            list.removeItem(index);
        }
    }
}

void RemoveFromListbox(TableList& list, const QString& name) {
    const int count = list.count();
    for (int index = 0; index < count; ++index) {
        // Past the list's current end nothing matches.
        if (index < list.count() && SameTableName(list.text(index), name)) {
            list.removeItem(index);
        }
    }
}

}  // namespace db
