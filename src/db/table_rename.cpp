#include "db/table_rename.h"

#include "ado/connection.h"
#include "ado/object_factory.h"
#include "ado/tables_rowset.h"
#include "db/connection_string.h"
#include "db/statement_runner.h"

#include <QStringList>

#include <algorithm>
#include <memory>
#include <string>
#include <variant>

namespace db {
namespace {

// Names stand between backquotes, unchanged.
QString copyStatement(const QString& from, const QString& to) {
    return QStringLiteral("SELECT a1.* INTO `") + to + QStringLiteral("` FROM `") + from +
           QStringLiteral("` AS a1;");
}

QString dropStatement(const QString& name) {
    return QStringLiteral("DROP TABLE `") + name + QLatin1Char('`');
}

void execute(ado::Connection& connection, const QString& statement) {
    connection.execute(statement.toStdString());
}

// A name that is the same table name (SameTableName) as none that the database's catalogue or
// the list holds.
QString unusedName(ado::Connection& connection, const TableList& list) {
    QStringList taken;
    std::unique_ptr<ado::Recordset> rowset = connection.openSchema(ado::kSchemaTables);
    while (!rowset->eof()) {
        if (const auto* name = std::get_if<std::string>(&rowset->field("TABLE_NAME"))) {
            taken.append(QString::fromStdString(*name));
        }
        rowset->moveNext();
    }
    rowset->close();
    for (int index = 0; index < list.count(); ++index) {
        taken.append(list.text(index));
    }
    for (int number = 1;; ++number) {
        const QString candidate = QStringLiteral("~Rename%1").arg(number);
        if (std::none_of(taken.begin(), taken.end(),
                         [&](const QString& name) { return SameTableName(name, candidate); })) {
            return candidate;
        }
    }
}

}  // namespace

bool RenameAccessTable(const Session& session, const QString& oldName, const QString& newName,
                       const QString& path, const QString& password, TableList& list) {
    if (newName == oldName) {
        return false;
    }
    std::unique_ptr<ado::Connection> connection =
        session.factory.createObject(ado::kConnectionClass);
    connection->open(GetConnectionString(session.texts, path, password).toStdString());

    // The database takes both names for one (letter case aside, as a rule), so the new name
    // already belongs to the table itself: it moves through an interim name and is never
    // dropped.
    if (SameTableName(newName, oldName)) {
        const QString interim = unusedName(*connection, list);
        execute(*connection, copyStatement(oldName, interim));
        execute(*connection, dropStatement(oldName));
        execute(*connection, copyStatement(interim, newName));
        execute(*connection, dropStatement(interim));
        RemoveFromListbox(list, oldName);
        connection->close();
        return true;
    }

    bool goAhead = true;
    if (IsInListbox(newName, list)) {
        const app::MessageAnswer answer = session.boxes.message(
            {.text = QStringLiteral("Would you like to overwrite ") + newName + QLatin1Char('?'),
             .title = QStringLiteral("Overwrite?"),
             .buttons = app::MessageButtons::YesNo});
        if (answer == app::MessageAnswer::Yes) {
            execute(*connection, dropStatement(newName));
            RemoveTableFromListbox(list, newName);
        } else {
            goAhead = false;
        }
    }
    if (goAhead) {
        execute(*connection, copyStatement(oldName, newName));
        execute(*connection, dropStatement(oldName));
        RemoveFromListbox(list, oldName);
    }
    connection->close();
    return goAhead;
}

}  // namespace db
