#include "db/statement_runner.h"

#include "ado/com_error.h"
#include "ado/connection.h"

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

bool IsInListbox(const QString& name, const TableList& list) {
    const QString wanted = name.toLower();
    bool found = false;
    const int count = list.count();
    for (int index = 0; index < count; ++index) {
        if (list.text(index).toLower() == wanted) {
            found = true;
        }
    }
    return found;
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
