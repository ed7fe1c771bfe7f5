#include "db/statement_runner.h"

#include "ado/com_error.h"
#include "ado/connection.h"
#include "ado/object_factory.h"
#include "support/app/database_files.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"

#include "doubles.h"

#include <gtest/gtest.h>

namespace db {
namespace {

std::string jetConnection(const std::filesystem::path& path, const std::string& password = "") {
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.string() +
           ";JET OLEDB:Database Password=" + password;
}

// The text a failing statement's error would show, taken from the error itself.
QString runTimeErrorText(ado::Connection& connection, const std::string& statement) {
    try {
        connection.execute(statement);
    } catch (const ado::ComError& error) {
        return QStringLiteral("Run-time error: ") + QString::number(error.number()) +
               QLatin1Char(' ') + QString::fromStdString(error.what());
    }
    ADD_FAILURE() << statement << " succeeded";
    return {};
}

class StatementRunner : public ::testing::Test {
protected:
    void SetUp() override {
        support::makeDatabase(database, {"Customers", "Orders"});
        connection = factory.createObject(ado::kConnectionClass);
    }

    support::TempDir folder;
    std::filesystem::path database = folder / "sales.mdb";
    ado::ObjectFactory factory;
    std::unique_ptr<ado::Connection> connection;
    support::ScriptedModalBoxes boxes;
};

TEST_F(StatementRunner, runsAStatementSilentlyAndSaysItRan) {
    connection->open(jetConnection(database));
    EXPECT_TRUE(ExecuteStatement(boxes, *connection, QStringLiteral("DROP TABLE `Orders`")));
    EXPECT_TRUE(boxes.shown().empty());
    connection->close();
    EXPECT_EQ(support::userTables(database), std::vector<std::string>{"Customers"});
}

TEST_F(StatementRunner, showsTheErrorNumberAndDescriptionOfARefusedStatementAndSaysItFailed) {
    connection->open(jetConnection(database));
    const QString expected = runTimeErrorText(*connection, "DROP TABLE `Invoices`");
    boxes.answerMessage();

    EXPECT_FALSE(ExecuteStatement(boxes, *connection, QStringLiteral("DROP TABLE `Invoices`")));

    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0], (app::MessageBoxRequest{.text = expected}));
    EXPECT_TRUE(expected.startsWith(QStringLiteral("Run-time error: -")));
}

TEST_F(StatementRunner, reportsAConnectionThatFailedToOpenInItsOwnMessage) {
    EXPECT_THROW(connection->open(jetConnection(folder / "missing.mdb")), ado::ComError);
    const QString expected = runTimeErrorText(*connection, "DROP TABLE `Orders`");
    boxes.answerMessage();

    EXPECT_FALSE(ExecuteStatement(boxes, *connection, QStringLiteral("DROP TABLE `Orders`")));

    EXPECT_EQ(boxes.messages(), std::vector{app::MessageBoxRequest{.text = expected}});
    EXPECT_EQ(support::userTables(database), (std::vector<std::string>{"Customers", "Orders"}));
}

TEST(IsInListbox, findsANameWhateverItsLetterCase) {
    EXPECT_FALSE(IsInListbox(QStringLiteral("orders"), support::MemoryTableList()));
    const support::MemoryTableList list{{QStringLiteral("Customers"), QStringLiteral("Orders")}};
    EXPECT_TRUE(IsInListbox(QStringLiteral("orders"), list));
    EXPECT_TRUE(IsInListbox(QStringLiteral("CUSTOMERS"), list));
    EXPECT_FALSE(IsInListbox(QStringLiteral("Order"), list));
}

// The look-up takes two names for one exactly when the database engine does: letter case in
// every script, and the sort order's own equalities, but not accents or the Turkish i.
TEST(IsInListbox, comparesNamesAsTheDatabaseDoes) {
    const support::MemoryTableList list{{QStringLiteral("Ấp Bắc"), QStringLiteral("ΟΔΟΣ"),
                                         QStringLiteral("Москва"), QStringLiteral("ＡＢＣ"),
                                         QStringLiteral("Straße"), QStringLiteral("Izmir"),
                                         QStringLiteral("Résumé"), QStringLiteral("😀")}};
    for (const char* same : {"ấp bắc", "οδος", "МОСКВА", "ａｂｃ", "ABC", "STRASSE", "IZMIR"}) {
        EXPECT_TRUE(IsInListbox(QString::fromUtf8(same), list)) << same;
    }
    for (const char* other : {"Ap Bac", "İzmir", "ızmir", "Resume", "😃"}) {
        EXPECT_FALSE(IsInListbox(QString::fromUtf8(other), list)) << other;
    }
}

// The entry that goes is the one of the table the database dropped under that name.
TEST(RemoveFromListbox, removesTheEntriesOfTheSameTableName) {
    support::MemoryTableList list{
        {QStringLiteral("Customers"), QStringLiteral("Orders"), QStringLiteral("Ấp")}};
    RemoveFromListbox(list, QStringLiteral("Invoices"));
    RemoveFromListbox(list, QStringLiteral("Order"));
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Orders", "Ấp"}));
    RemoveFromListbox(list, QStringLiteral("orders"));
    RemoveFromListbox(list, QStringLiteral("ấp"));
    EXPECT_EQ(list.entries(), QStringList{"Customers"});
}

TEST(RemoveFromListbox, doesNotLookAtTheEntryThatMovesIntoAFreedPlace) {
    support::MemoryTableList list{{"A", "X", "X", "B"}};
    RemoveFromListbox(list, QStringLiteral("X"));
    EXPECT_EQ(list.entries(), (QStringList{"A", "X", "B"}));

    support::MemoryTableList trailing{{"A", "B", "X", "X"}};
    RemoveFromListbox(trailing, QStringLiteral("X"));
    EXPECT_EQ(trailing.entries(), (QStringList{"A", "B", "X"}));
}

TEST(RemoveTableFromListbox, removesEveryEntryOfTheTableWhateverItsLetterCase) {
    support::MemoryTableList list{{"Orders", "Customers", "ORDERS", "orders", "Order", "B"}};
    list.setCurrentIndex(1);
    RemoveTableFromListbox(list, QStringLiteral("oRdErS"));
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Order", "B"}));
    EXPECT_EQ(list.currentIndex(), 0) << "the current entry stays the same entry";
    RemoveTableFromListbox(list, QStringLiteral("Invoices"));
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Order", "B"}));
}

}  // namespace
}  // namespace db
