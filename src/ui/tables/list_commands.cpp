#include "ui/tables/list_commands.h"

#include "app/error_locations.h"
#include "app/error_trap.h"
#include "db/connection_string.h"
#include "db/connections.h"
#include "db/object_variable.h"
#include "db/table_rename.h"
#include "ui/tables/command_progress.h"

#include <QProgressBar>

#include <memory>
#include <optional>

namespace ui {
namespace {

// What one side's commands work on.
struct Side {
    const char* deleteLocation;
    const char* renameLocation;
    db::TableList& (db::TableLists::*list)();
    QString (db::DatabaseTexts::*path)() const;
    QString (db::DatabaseTexts::*password)() const;
};

const Side& sideOf(ListSide side) {
    static const Side database1{app::location::kForm2PushButton4Click,
                                app::location::kForm2PushButton5Click, &db::TableLists::List1,
                                &db::DatabaseTexts::Text1, &db::DatabaseTexts::Text2};
    static const Side database2{app::location::kForm2PushButton9Click,
                                app::location::kForm2PushButton10Click, &db::TableLists::List2,
                                &db::DatabaseTexts::Text3, &db::DatabaseTexts::Text4};
    return side == ListSide::Database1 ? database1 : database2;
}

QString dropStatement(const QString& name) {
    return QStringLiteral("DROP TABLE `") + name + QStringLiteral("`;");
}

}  // namespace

void deleteTables(const db::Session& session, ListSide which, app::WindowPointer& pointer,
                  QProgressBar& progress) {
    const Side& side = sideOf(which);
    const auto list = [&]() -> db::TableList& { return (session.lists.*side.list)(); };
    app::TrappedProcedure procedure(session.boxes, QString::fromLatin1(side.deleteLocation));

    // Released, and so closed, when the command ends.
    std::unique_ptr<db::Connection> connection;
    procedure.step(100, [&] { connection = session.factory.createObject(db::kConnectionClass); });
    procedure.step(102, [&] { pointer.setKind(app::PointerKind::Busy); });
    procedure.step(104, [&] { db::objectOf(connection).setCursorLocation(db::kUseServer); });
    procedure.step(106, [&] { db::objectOf(connection).setMode(db::kModeReadWrite); });
    procedure.step(108, [&] {
        db::objectOf(connection)
            .open(db::GetConnectionString(session.texts, (session.texts.*side.path)(),
                                          (session.texts.*side.password)())
                      .toStdString());
    });
    if (procedure.test(110, [&] { return list().currentIndex() != db::kNoEntry; })) {
        int count = 0;
        int selected = 0;
        procedure.step(112, [&] {
            count = list().count();
            selected = list().selectedCount();
        });
        CommandProgress commandProgress(progress, selected);
        for (int index = count - 1; index >= 0; --index) {
            if (procedure.test(114, [&] { return list().isSelected(index); })) {
                procedure.step(116, [&] {
                    db::objectOf(connection)
                        .execute(dropStatement(list().text(index)).toStdString());
                });
                procedure.step(118, [&] { list().removeItem(index); });
                commandProgress.tableDone();
            }
        }
    } else {
        procedure.step(
            122, [&] { session.boxes.message({.text = QStringLiteral("Please select a table")}); });
    }
    procedure.step(124, [&] { pointer.setKind(app::PointerKind::Default); });
    procedure.step(124, [&] { progress.setValue(0); });
}

void renameTable(const db::Session& session, ListSide which, app::WindowPointer& pointer) {
    const Side& side = sideOf(which);
    const auto list = [&]() -> db::TableList& { return (session.lists.*side.list)(); };
    app::TrappedProcedure procedure(session.boxes, QString::fromLatin1(side.renameLocation));

    if (procedure.test(100, [&] { return list().selectedCount() != 1; })) {
        procedure.step(126, [&] {
            session.boxes.message(
                {.text = QStringLiteral("Please select just one table to rename.")});
        });
        return;
    }
    if (procedure.test(102, [&] { return list().currentIndex() == db::kNoEntry; })) {
        procedure.step(124, [&] {
            session.boxes.message({.text = QStringLiteral("Please select a table to rename.")});
        });
        return;
    }
    procedure.step(104, [&] { pointer.setKind(app::PointerKind::Busy); });

    QString oldName;
    int count = 0;
    procedure.step(106, [&] { count = list().count(); });
    for (int index = 0; index < count; ++index) {
        if (procedure.test(108, [&] { return list().isSelected(index); })) {
            procedure.step(110, [&] { oldName = list().text(index); });
        }
    }

    // A cancelled input box gives the empty answer, as clearing the field does.
    QString newName;
    procedure.step(114, [&] {
        newName =
            session.boxes
                .input({.prompt = QStringLiteral("Enter new name of ") + oldName + QLatin1Char(':'),
                        .defaultAnswer = oldName})
                .value_or(QString());
    });
    if (procedure.test(116, [&] { return !newName.isEmpty(); })) {
        if (procedure.test(118, [&] {
                return db::RenameAccessTable(session, oldName, newName,
                                             (session.texts.*side.path)(),
                                             (session.texts.*side.password)(), list());
            })) {
            procedure.step(120, [&] { list().addItem(newName); });
        }
    }
    procedure.step(122, [&] { pointer.setKind(app::PointerKind::Default); });
}

}  // namespace ui
