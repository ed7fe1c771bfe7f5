#include "db/statement_runner.h"

#include "ado/com_error.h"
#include "ado/connection.h"

namespace db {
namespace {

// Whether two names stand for one table of a database.
bool sameTable(const QString& first, const QString& second) {
    return first.toLower() == second.toLower();
}

}  // namespace

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

bool IsInListbox(const QString& name, const TableList& list) {
    bool found = false;
    const int count = list.count();
    for (int index = 0; index < count; ++index) {
        if (sameTable(list.text(index), name)) {
            found = true;
        }
    }
    return found;
}

void RemoveTableFromListbox(TableList& list, const QString& name) {
    // From the last entry, so that the entries still to be looked at keep their indexes.
    for (int index = list.count() - 1; index >= 0; --index) {
        if (sameTable(list.text(index), name)) {
            list.removeItem(index);
        }
    }
}

void RemoveFromListbox(TableList& list, const QString& name) {
    const int count = list.count();
    for (int index = 0; index < count; ++index) {
        // Past the list's current end nothing matches.
        if (index < list.count() && list.text(index) == name) {
            list.removeItem(index);
        }
    }
}

}  // namespace db
