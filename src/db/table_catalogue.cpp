#include "db/table_catalogue.h"

#include "ado/object_factory.h"
#include "ado/tables_rowset.h"
#include "app/error_locations.h"
#include "app/error_trap.h"
#include "app/failure_description.h"
#include "app/window_helpers.h"
#include "db/connection_string.h"

#include <memory>
#include <string>
#include <variant>

namespace db {
namespace {

bool isUserTable(const ado::Recordset& rowset) {
    const auto* type = std::get_if<std::string>(&rowset.field("TABLE_TYPE"));
    return type != nullptr && *type == "TABLE";
}

}  // namespace

std::optional<QStringList> GetAccessTables(const Session& session, const QString& path,
                                           const QString& password) {
    std::optional<QStringList> result;
    try {
        std::unique_ptr<ado::Connection> connection =
            session.factory.createObject(ado::kConnectionClass);
        if (!app::FileExists(path)) {
            return std::nullopt;
        }
        connection->open(GetConnectionString(session.texts, path, password).toStdString());
        std::unique_ptr<ado::Recordset> rowset = connection->openSchema(ado::kSchemaTables);
        QStringList names;
        while (!rowset->eof()) {
            if (isUserTable(*rowset)) {
                names.append(
                    QString::fromStdString(std::get<std::string>(rowset->field("TABLE_NAME"))));
            }
            rowset->moveNext();
        }
        result = names;
        rowset->close();
        connection->close();
    } catch (...) {
        // The list stays the result when only the closing failed.
        session.globals.TableListFailed = true;
        session.boxes.message(
            {.text = path + QStringLiteral("\r\n") + app::describeCurrentException()});
    }
    return result;
}

void AddTablesToAccessListbox(const Session& session) {
    app::TrappedProcedure procedure(
        session.boxes, QString::fromLatin1(app::location::kAccessAddTablesToAccessListbox));
    std::optional<QStringList> names;
    procedure.step(102, [&] {
        names = GetAccessTables(session, session.texts.Text1(), session.texts.Text2());
    });
    if (procedure.test(104, [&] { return !names.has_value(); })) {
        procedure.step(106, [&] {
            session.boxes.message({.text = QString::fromLatin1(kUnableToAccessMessage)});
        });
        procedure.step(108, [&] { names.reset(); });
        return;
    }
    procedure.step(110, [&] { session.lists.List1().clear(); });
    qsizetype count = 0;
    procedure.step(112, [&] { count = names->size(); });
    for (qsizetype position = 0; position < count; ++position) {
        procedure.step(114, [&] { session.lists.List1().addItem(names->at(position)); });
    }
    procedure.step(118, [&] { names.reset(); });
    if (procedure.test(120, [&] { return session.lists.List1().count() > 0; })) {
        procedure.step(120, [&] { session.lists.List1().setCurrentIndex(0); });
    }
}

void AddTablesToAccessListbox2(const Session& session) {
    app::TrappedProcedure procedure(
        session.boxes, QString::fromLatin1(app::location::kAccessAddTablesToAccessListbox2));
    std::optional<QStringList> names;
    procedure.step(102, [&] {
        names = GetAccessTables(session, session.texts.Text3(), session.texts.Text4());
    });
    if (procedure.test(104, [&] { return !names.has_value(); })) {
        procedure.step(106, [&] { names.reset(); });
        return;
    }
    procedure.step(108, [&] { session.lists.List2().clear(); });
    qsizetype count = 0;
    procedure.step(110, [&] { count = names->size(); });
    for (qsizetype position = 0; position < count; ++position) {
        procedure.step(112, [&] { session.lists.List2().addItem(names->at(position)); });
    }
    procedure.step(116, [&] { names.reset(); });
    if (procedure.test(118, [&] { return session.lists.List2().count() > 0; })) {
        procedure.step(118, [&] { session.lists.List2().setCurrentIndex(0); });
    }
}

}  // namespace db
