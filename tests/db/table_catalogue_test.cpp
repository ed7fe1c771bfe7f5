#include "db/table_catalogue.h"

#include "ado/com_error.h"
#include "ado/object_factory.h"
#include "ado/tables_rowset.h"
#include "app/error_locations.h"
#include "app/error_trap.h"
#include "db/connection_string.h"
#include "support/app/database_files.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"

#include "doubles.h"

#include <fstream>
#include <gtest/gtest.h>

namespace db {
namespace {

QString qpath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

class TableCatalogue : public ::testing::Test {
protected:
    // What the provider says when it cannot open the database: the text the lister shows.
    QString openFailure(const QString& path, const QString& password) {
        try {
            factory.createObject(ado::kConnectionClass)
                ->open(GetConnectionString(texts, path, password).toStdString());
        } catch (const ado::ComError& error) {
            return QString::fromStdString(error.what());
        }
        ADD_FAILURE() << "the database opened";
        return {};
    }

    // The names the provider's tables rowset gives as "TABLE", in its order.
    QStringList rowsetTables(const QString& path) {
        auto connection = factory.createObject(ado::kConnectionClass);
        connection->open(GetConnectionString(texts, path, QString()).toStdString());
        auto rowset = connection->openSchema(ado::kSchemaTables);
        QStringList names;
        for (; !rowset->eof(); rowset->moveNext()) {
            if (std::get<std::string>(rowset->field("TABLE_TYPE")) == "TABLE") {
                names.append(
                    QString::fromStdString(std::get<std::string>(rowset->field("TABLE_NAME"))));
            }
        }
        return names;
    }

    static app::MessageBoxRequest notice(const QString& text) { return {.text = text}; }

    support::TempDir folder;
    support::ScriptedModalBoxes boxes;
    ado::ObjectFactory factory;
    support::FixedTexts texts;
    support::MemoryTableList list1{{QStringLiteral("Earlier1")}};
    support::MemoryTableList list2{{QStringLiteral("Earlier2")}};
    support::CountedLists lists{list1, list2};
    Globals globals;
    Session session{boxes, factory, texts, lists, globals};
};

TEST_F(TableCatalogue, listsTheUserTablesInTheRowsetsOrderWithTheFirstCurrentNotSelected) {
    const auto one = folder / "one.mdb";
    const auto two = folder / "two.mdb";
    support::makeDatabase(one, {"Zebra", "apple", "Mango"});
    support::makeDatabase(two, {"Orders"});
    texts.path1 = qpath(one);
    texts.path2 = qpath(two);

    AddTablesToAccessListbox(session);
    AddTablesToAccessListbox2(session);

    const QStringList expected = rowsetTables(qpath(one));
    EXPECT_EQ(expected.size(), 3);
    EXPECT_EQ(list1.entries(), expected);
    QStringList sorted = list1.entries();
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"Mango", "Zebra", "apple"})) << "no system table is listed";
    EXPECT_EQ(list1.currentIndex(), 0);
    EXPECT_EQ(list1.selectedCount(), 0);
    EXPECT_EQ(list2.entries(), QStringList{"Orders"});
    EXPECT_EQ(list2.currentIndex(), 0);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(globals.TableListFailed);
}

TEST_F(TableCatalogue, aDatabaseWithoutUserTablesEmptiesTheListWithoutAWord) {
    const auto empty = folder / "empty.mdb";
    support::makeDatabase(empty, {});
    texts.path1 = qpath(empty);
    texts.path2 = qpath(empty);
    list1.setCurrentIndex(0);
    list2.setCurrentIndex(0);

    AddTablesToAccessListbox(session);
    AddTablesToAccessListbox2(session);

    EXPECT_TRUE(list1.entries().isEmpty());
    EXPECT_TRUE(list2.entries().isEmpty());
    EXPECT_EQ(list1.currentIndex(), kNoEntry);
    EXPECT_EQ(list2.currentIndex(), kNoEntry);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(globals.TableListFailed);
}

TEST_F(TableCatalogue, aWrongPasswordForDatabaseOneGivesTwoBoxesAndKeepsTheList) {
    const auto locked = folder / "locked.mdb";
    support::makeDatabase(locked, {"Secrets"}, "opensesame");
    texts.path1 = qpath(locked);
    for (const QString& typed : {QString(), QStringLiteral("wrong")}) {
        texts.password1 = typed;
        globals.TableListFailed = false;
        boxes.clearShown();
        boxes.answerMessage();
        boxes.answerMessage();

        AddTablesToAccessListbox(session);

        const QString failure = openFailure(qpath(locked), typed);
        EXPECT_FALSE(failure.isEmpty());
        EXPECT_EQ(boxes.messages(),
                  (std::vector{notice(qpath(locked) + QStringLiteral("\r\n") + failure),
                               notice(QStringLiteral("Unable to access the database"))}));
        EXPECT_EQ(list1.entries(), QStringList{"Earlier1"});
        EXPECT_TRUE(globals.TableListFailed);
    }
}

TEST_F(TableCatalogue, anUnreadableDatabaseTwoGivesOnlyTheListersBox) {
    const auto foreign = folder / "notes.mdb";
    std::ofstream(foreign) << "These are my notes, not a database.\n";
    texts.path1 = qpath(foreign);
    texts.path2 = qpath(foreign);
    boxes.answerMessage();

    AddTablesToAccessListbox2(session);

    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text,
              qpath(foreign) + QStringLiteral("\r\n") + openFailure(qpath(foreign), QString()));
    EXPECT_EQ(list2.entries(), QStringList{"Earlier2"});
    EXPECT_TRUE(globals.TableListFailed);
    EXPECT_EQ(lists.references, 0) << "the lists are not touched when nothing was read";
}

TEST_F(TableCatalogue, aPathNamingNoFileLeavesTheFlagAsItWas) {
    texts.path1 = qpath(folder / "gone.mdb");
    texts.path2 = qpath(folder / "gone too.mdb");
    for (const bool before : {false, true}) {
        globals.TableListFailed = before;
        boxes.clearShown();
        boxes.answerMessage();

        AddTablesToAccessListbox(session);
        AddTablesToAccessListbox2(session);

        EXPECT_EQ(boxes.messages(),
                  std::vector{notice(QStringLiteral("Unable to access the database"))});
        EXPECT_EQ(globals.TableListFailed, before);
        EXPECT_EQ(GetAccessTables(session, texts.path1, QString()), std::nullopt);
    }
    EXPECT_EQ(list1.entries(), QStringList{"Earlier1"});
    EXPECT_EQ(list2.entries(), QStringList{"Earlier2"});
}

TEST_F(TableCatalogue, aSecondFillReplacesTheFirst) {
    const auto one = folder / "one.mdb";
    support::makeDatabase(one, {"Customers", "Orders"});
    texts.path1 = qpath(one);

    AddTablesToAccessListbox(session);
    AddTablesToAccessListbox(session);

    QStringList sorted = list1.entries();
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"Customers", "Orders"}));
}

TEST_F(TableCatalogue, withoutTheEngineTheListerRaisesTheFlagAndShowsThePathAndTheFailure) {
    const auto one = folder / "one.mdb";
    support::makeDatabase(one, {"Customers"});
    factory.setConnectionClassAbsent(true);
    QString failure;
    try {
        factory.createObject(ado::kConnectionClass);
    } catch (const ado::ComError& error) {
        failure = QString::fromStdString(error.what());
    }
    boxes.answerMessage();

    EXPECT_EQ(GetAccessTables(session, qpath(one), QString()), std::nullopt);

    EXPECT_EQ(boxes.messages(), std::vector{notice(qpath(one) + QStringLiteral("\r\n") + failure)});
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_TRUE(globals.TableListFailed);
}

// A list that refuses new entries: each refusal is reported under the line that adds, and the
// fill goes on.
class RefusingList : public support::MemoryTableList {
public:
    void addItem(const QString&) override { throw std::runtime_error("The list is full."); }
};

TEST_F(TableCatalogue, aFailingStepIsReportedWithItsLineAndTheFillGoesOn) {
    const auto two = folder / "two.mdb";
    support::makeDatabase(two, {"Customers", "Orders"});
    texts.path2 = qpath(two);
    RefusingList refusing;
    support::CountedLists refusingLists{list1, refusing};
    const Session refusingSession{boxes, factory, texts, refusingLists, globals};
    boxes.answerMessage();
    boxes.answerMessage();

    AddTablesToAccessListbox2(refusingSession);

    const app::MessageBoxRequest report{
        .text = app::errorReportText(
            QStringLiteral("The list is full."),
            QString::fromLatin1(app::location::kAccessAddTablesToAccessListbox2), 112),
        .title = QStringLiteral("Application Error"),
        .icon = app::MessageIcon::Exclamation};
    EXPECT_EQ(boxes.messages(), (std::vector{report, report}));
    EXPECT_EQ(refusing.currentIndex(), kNoEntry);
}

}  // namespace
}  // namespace db
