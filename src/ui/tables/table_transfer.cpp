#include "ui/tables/table_transfer.h"

#include "app/error_locations.h"
#include "app/error_trap.h"
#include "db/connection_string.h"
#include "db/connections.h"
#include "db/object_variable.h"
#include "db/statement_runner.h"
#include "db/table_catalogue.h"
#include "ui/tables/command_progress.h"

#include <QProgressBar>

#include <filesystem>
#include <memory>
#include <system_error>

namespace ui {
namespace {

// What one direction of the transfer works on.
struct Direction {
    const char* location;
    int lineShift;  // added to the statement numbers from the loop on
    db::TableList& (db::TableLists::*sourceList)();
    db::TableList& (db::TableLists::*destinationList)();
    QString (db::DatabaseTexts::*sourcePath)() const;
    QString (db::DatabaseTexts::*sourcePassword)() const;
    QString (db::DatabaseTexts::*destinationPath)() const;
    void (*refillSourceList)(const db::Session&);
};

const Direction kToDatabase2{app::location::kForm2PushButton3Click,
                             0,
                             &db::TableLists::List1,
                             &db::TableLists::List2,
                             &db::DatabaseTexts::Text1,
                             &db::DatabaseTexts::Text2,
                             &db::DatabaseTexts::Text3,
                             &db::AddTablesToAccessListbox};
const Direction kToDatabase1{app::location::kForm2PushButton8Click,
                             6,
                             &db::TableLists::List2,
                             &db::TableLists::List1,
                             &db::DatabaseTexts::Text3,
                             &db::DatabaseTexts::Text4,
                             &db::DatabaseTexts::Text1,
                             &db::AddTablesToAccessListbox2};

// True when both paths name one existing file, however each is spelled (relative or absolute,
// through links, with "." and ".." in it). A path that names no file matches nothing.
bool sameFile(const QString& first, const QString& second) {
    std::error_code error;
    const bool same =
        std::filesystem::equivalent(std::filesystem::path(first.toStdString()),
                                    std::filesystem::path(second.toStdString()), error);
    return same && !error;
}

QString dropStatement(const QString& name) {
    return QStringLiteral("DROP TABLE `") + name + QLatin1Char('`');
}

QString ontoItselfMessage(const QString& name) {
    return QStringLiteral("The table ") + name +
           QStringLiteral(
               " cannot be copied onto itself: database #1 and database #2 are the "
               "same file.");
}

}  // namespace

QString makeTableStatement(const QString& name, const QString& path, const QString& password) {
    QString statement = QStringLiteral("SELECT ") + QStringLiteral(" * INTO ") + name +
                        QStringLiteral(" FROM [MS Access;DATABASE=") + path;
    // Only the empty text is no password; blanks are one.
    if (!password.isEmpty()) {
        statement += QStringLiteral(";PWD=") + password;
    }
    return statement + QStringLiteral("].[") + name + QLatin1Char(']');
}

void transferTables(const db::Session& session, TransferDirection which,
                    app::WindowPointer& pointer, QProgressBar& progress) {
    const Direction& direction =
        which == TransferDirection::ToDatabase2 ? kToDatabase2 : kToDatabase1;
    const auto line = [&](int number) { return number + direction.lineShift; };
    app::TrappedProcedure procedure(session.boxes, QString::fromLatin1(direction.location));
    const auto sourceList = [&]() -> db::TableList& {
        return (session.lists.*direction.sourceList)();
    };
    const auto destinationList = [&]() -> db::TableList& {
        return (session.lists.*direction.destinationList)();
    };

    std::unique_ptr<db::Connection> connection1;
    std::unique_ptr<db::Connection> connection2;
    procedure.step(100, [&] { connection1 = session.factory.createObject(db::kConnectionClass); });
    procedure.step(102, [&] { connection2 = session.factory.createObject(db::kConnectionClass); });
    std::unique_ptr<db::Connection>& destination =
        which == TransferDirection::ToDatabase2 ? connection2 : connection1;

    if (procedure.test(114, [&] { return sourceList().currentIndex() == db::kNoEntry; })) {
        procedure.step(line(192), [&] {
            session.boxes.message({.text = QStringLiteral("Please select a table.")});
        });
        return;
    }
    procedure.step(116, [&] { pointer.setKind(app::PointerKind::Busy); });
    procedure.step(120, [&] {
        db::objectOf(connection1)
            .open(
                db::GetConnectionString(session.texts, session.texts.Text1(), session.texts.Text2())
                    .toStdString());
    });
    procedure.step(122, [&] {
        db::objectOf(connection2)
            .open(
                db::GetConnectionString(session.texts, session.texts.Text3(), session.texts.Text4())
                    .toStdString());
    });

    int count = 0;
    int selected = 0;
    procedure.step(line(124), [&] {
        count = sourceList().count();
        selected = sourceList().selectedCount();
    });
    CommandProgress commandProgress(progress, selected);
    if (destination != nullptr) {
        destination->setCopyProgress(
            [&](uint64_t rows, uint64_t total) { commandProgress.rowsDone(rows, total); });
    }
    for (int index = count - 1; index >= 0; --index) {
        if (!procedure.test(line(138), [&] { return sourceList().isSelected(index); })) {
            continue;
        }
        QString name;
        procedure.step(line(140), [&] { name = sourceList().text(index); });
        bool goAhead = true;

        if (procedure.test(line(144), [&] { return db::IsInListbox(name, destinationList()); })) {
            // When both databases are one file, the destination table of that name is the
            // source table itself: dropping it would lose it, and it cannot be copied onto
            // itself.
            bool ontoItself = false;
            procedure.step(line(144), [&] {
                ontoItself = sameFile((session.texts.*direction.sourcePath)(),
                                      (session.texts.*direction.destinationPath)());
            });
            if (ontoItself) {
                procedure.step(line(146),
                               [&] { session.boxes.message({.text = ontoItselfMessage(name)}); });
                goAhead = false;
            } else {
                // A question that could not be asked replaces nothing.
                app::MessageAnswer answer = app::MessageAnswer::No;
                procedure.step(line(146), [&] {
                    answer = session.boxes.message(
                        {.text = QStringLiteral("Would you like to overwrite ") + name +
                                 QLatin1Char('?'),
                         .title = QStringLiteral("Overwrite?"),
                         .buttons = app::MessageButtons::YesNo});
                });
                if (procedure.test(line(148), [&] { return answer == app::MessageAnswer::Yes; })) {
                    procedure.step(line(150), [&] {
                        db::objectOf(destination).execute(dropStatement(name).toStdString());
                    });
                    // Every entry of the dropped table goes, whatever its letter case.
                    procedure.step(line(152),
                                   [&] { db::RemoveTableFromListbox(destinationList(), name); });
                } else {
                    procedure.step(line(154), [&] { goAhead = false; });
                }
            }
        }

        if (procedure.test(line(156), [&] { return goAhead; })) {
            QString statement;
            const auto path = [&] { return (session.texts.*direction.sourcePath)(); };
            if (procedure.test(line(164), [&] {
                    return (session.texts.*direction.sourcePassword)().isEmpty();
                })) {
                procedure.step(line(166),
                               [&] { statement = makeTableStatement(name, path(), {}); });
            } else {
                procedure.step(line(168), [&] {
                    statement = makeTableStatement(name, path(),
                                                   (session.texts.*direction.sourcePassword)());
                });
            }
            procedure.step(line(172), [&] {
                db::ExecuteStatement(session.boxes, db::objectOf(destination), statement);
            });
            procedure.step(line(174), [&] { destinationList().addItem(name); });
        }
        commandProgress.tableDone();
    }

    procedure.step(line(182), [&] { direction.refillSourceList(session); });
    procedure.step(line(184), [&] { db::objectOf(connection1).close(); });
    procedure.step(line(186), [&] { db::objectOf(connection2).close(); });
    procedure.step(line(188), [&] { pointer.setKind(app::PointerKind::Default); });
    procedure.step(line(190), [&] { progress.setValue(0); });
}

}  // namespace ui
