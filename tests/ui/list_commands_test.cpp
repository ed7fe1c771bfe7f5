// "Delete Table(s)" and "Rename Table" driven through the table manager over real files: the
// boxes shown, in order, and the files afterwards.
#include "app/error_locations.h"

#include "two_databases.h"
#include <QProgressBar>

namespace ui {
namespace {

using app::MessageAnswer;
using support::tableRows;
using support::userTables;

class ListCommands : public TwoDatabases {
protected:
    void SetUp() override {
        support::makeDatabase(file1, {"Customers", "Orders", "Products"});
        support::makeDatabase(file2, {"Archive", "Invoices"});
        start();
    }
    void expectSound() {
        EXPECT_EQ(support::integrityProblems(file1), "");
        EXPECT_EQ(support::integrityProblems(file2), "");
    }
    static app::InputBoxRequest newNameOf(const QString& old) {
        return {.prompt = QStringLiteral("Enter new name of ") + old + QLatin1Char(':'),
                .defaultAnswer = old};
    }
};

const std::vector<std::string> kTables1{"Customers", "Orders", "Products"};

TEST_F(ListCommands, deleteWithNoCurrentEntryAsksForATableAndDropsNothing) {
    list("List1").clear();
    harness.boxes.answerMessage();
    Qt::CursorShape pointer{};
    harness.boxes.whileShown = [&] { pointer = harness.form2().cursor().shape(); };
    click("PushButton4");
    EXPECT_EQ(harness.boxes.messages(), std::vector{note("Please select a table")});
    EXPECT_EQ(pointer, Qt::WaitCursor) << "the hourglass is up while the message shows";
    EXPECT_EQ(harness.form2().cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(userTables(file1), kTables1);
}

TEST_F(ListCommands, deleteWithACurrentEntryButNoSelectionDropsNothingSilently) {
    ASSERT_EQ(list("List1").currentRow(), 0);
    click("PushButton4");
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(entries("List1").size(), 3u);
    EXPECT_EQ(userTables(file1), kTables1);
}

TEST_F(ListCommands, deleteDropsEverySelectedTableWithoutAQuestion) {
    select("List1", {"Customers", "Products"});
    select("List2", {"Archive"});
    auto& progress = harness.in2<QProgressBar>("ProgressBar1");
    std::vector<int> values;
    QObject::connect(&progress, &QProgressBar::valueChanged,
                     [&](int value) { values.push_back(value); });
    click("PushButton4");
    EXPECT_TRUE(harness.boxes.shown().empty());
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.front(), 50) << "one table of two done";
    EXPECT_EQ(values.back(), 0);
    EXPECT_EQ(progress.value(), 0);
    EXPECT_EQ(entries("List1"), std::vector<QString>{"Orders"});
    EXPECT_EQ(userTables(file1), std::vector<std::string>{"Orders"});
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices"}));
    EXPECT_EQ(userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));

    click("PushButton9");  // Archive, still selected in the other list
    EXPECT_EQ(entries("List2"), std::vector<QString>{"Invoices"});
    EXPECT_EQ(userTables(file2), std::vector<std::string>{"Invoices"});
    expectSound();
}

TEST_F(ListCommands, aFailedDropIsReportedAndItsEntryRemovedAllTheSame) {
    list("List2").addItem(QStringLiteral("Ghost"));
    select("List2", {"Ghost", "Invoices"});
    harness.boxes.answerMessage();
    click("PushButton9");
    EXPECT_EQ(harness.boxes.messages(),
              std::vector{report(QStringLiteral("Table 'Ghost' does not exist."),
                                 app::location::kForm2PushButton9Click, 116)});
    EXPECT_EQ(entries("List2"), std::vector<QString>{"Archive"});
    EXPECT_EQ(userTables(file2), std::vector<std::string>{"Archive"});
}

TEST_F(ListCommands, deleteOnADatabaseThatCannotBeOpenedReportsEachStep) {
    select("List1", {"Orders"});
    std::filesystem::rename(file1, harness.folder / "moved.mdb");
    for (int box = 0; box < 2; ++box) harness.boxes.answerMessage();
    click("PushButton4");
    const auto& shown = harness.boxes.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral(" at line 108\r\r")));
    EXPECT_EQ(shown[1],
              report(QStringLiteral("Operation is not allowed when the object is closed."),
                     app::location::kForm2PushButton4Click, 116));
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "Products"}));
}

TEST_F(ListCommands, renameAsksForOneSelectedTable) {
    for (int box = 0; box < 2; ++box) harness.boxes.answerMessage();
    click("PushButton5");
    select("List2", {"Archive", "Invoices"});
    click("PushButton10");
    EXPECT_EQ(harness.boxes.messages(),
              std::vector(2, note(QStringLiteral("Please select just one table to rename."))));

    select("List1", {"Orders"});
    list("List1").setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    harness.boxes.answerMessage();
    click("PushButton5");
    EXPECT_EQ(harness.boxes.messages().back(),
              note(QStringLiteral("Please select a table to rename.")));
    EXPECT_EQ(userTables(file1), kTables1);
    EXPECT_EQ(userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
}

TEST_F(ListCommands, renameMovesTheTableAndAddsTheNewNameAtTheEnd) {
    select("List1", {"Orders"});
    std::vector<Qt::CursorShape> pointers;
    harness.boxes.whileShown = [&] { pointers.push_back(harness.form2().cursor().shape()); };
    harness.boxes.answerInput(QStringLiteral("Orders 2026"));
    const auto rows = tableRows(file1, "Orders");
    click("PushButton5");
    EXPECT_EQ(harness.boxes.shown(), std::vector<support::ShownBox>{newNameOf("Orders")});
    EXPECT_EQ(pointers, std::vector{Qt::WaitCursor});
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "Products", "Orders 2026"}));
    EXPECT_EQ(userTables(file1),
              (std::vector<std::string>{"Customers", "Orders 2026", "Products"}));
    EXPECT_EQ(tableRows(file1, "Orders 2026"), rows);
    EXPECT_EQ(harness.form2().cursor().shape(), Qt::ArrowCursor);
    expectSound();
}

TEST_F(ListCommands, renameCancelledEmptyOrUnchangedChangesNothing) {
    select("List2", {"Invoices"});
    harness.boxes.answerInput(std::nullopt);
    harness.boxes.answerInput(QString());
    harness.boxes.answerInput(QStringLiteral("Invoices"));
    for (int time = 0; time < 3; ++time) click("PushButton10");
    EXPECT_EQ(harness.boxes.shown(), std::vector<support::ShownBox>(3, newNameOf("Invoices")));
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Archive", "Invoices"}));
    EXPECT_EQ(userTables(file2), (std::vector<std::string>{"Archive", "Invoices"}));
}

TEST_F(ListCommands, renameOntoAnotherTableAsksFirst) {
    select("List1", {"Orders"});
    harness.boxes.answerInput(QStringLiteral("PRODUCTS"));
    harness.boxes.answerMessage(MessageAnswer::No);
    click("PushButton5");
    EXPECT_EQ(harness.boxes.messages(), std::vector{overwrite(QStringLiteral("PRODUCTS"))});
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "Orders", "Products"}));
    EXPECT_EQ(userTables(file1), kTables1);

    harness.boxes.clearShown();
    harness.boxes.answerInput(QStringLiteral("Customers"));
    harness.boxes.answerMessage(MessageAnswer::Yes);
    const auto rows = tableRows(file1, "Orders");
    click("PushButton5");
    EXPECT_EQ(harness.boxes.messages(), std::vector{overwrite(QStringLiteral("Customers"))});
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Products", "Customers"}));
    EXPECT_EQ(userTables(file1), (std::vector<std::string>{"Customers", "Products"}));
    EXPECT_EQ(tableRows(file1, "Customers"), rows);
    expectSound();
}

// The replaced table's entry goes whatever its letter case, so the list keeps one entry per
// table, and deleting an entry can only drop the table it names.
TEST_F(ListCommands, renameOntoATableNamedInOtherLetterCaseTakesItsEntryAway) {
    const std::string orders = exported(file1, "Orders");
    select("List1", {"Orders"});
    harness.boxes.answerInput(QStringLiteral("products"));
    harness.boxes.answerMessage(MessageAnswer::Yes);
    click("PushButton5");
    EXPECT_EQ(harness.boxes.messages(), std::vector{overwrite(QStringLiteral("products"))});
    EXPECT_EQ(entries("List1"), (std::vector<QString>{"Customers", "products"}));
    EXPECT_EQ(userTables(file1), (std::vector<std::string>{"Customers", "products"}));
    EXPECT_EQ(exported(file1, "products"), orders);

    select("List1", {"Customers"});
    click("PushButton4");
    EXPECT_EQ(entries("List1"), std::vector<QString>{"products"});
    EXPECT_EQ(userTables(file1), std::vector<std::string>{"products"});
    EXPECT_EQ(exported(file1, "products"), orders) << "the renamed table is kept";
    expectSound();
}

TEST_F(ListCommands, aNameTheCopyCannotCarryIsReportedAndStillListed) {
    select("List1", {"Orders"});
    harness.boxes.answerInput(QStringLiteral("Or`ders"));
    harness.boxes.answerMessage();
    click("PushButton5");
    ASSERT_EQ(harness.boxes.messages().size(), 1u);
    const app::MessageBoxRequest& shown = harness.boxes.messages()[0];
    EXPECT_EQ(shown.title, QString::fromLatin1(app::kErrorReportTitle));
    EXPECT_TRUE(shown.text.contains(QString::fromLatin1(app::location::kForm2PushButton5Click) +
                                    QStringLiteral("at line 118\r\r")))
        << qs(shown.text);
    EXPECT_EQ(entries("List1"),
              (std::vector<QString>{"Customers", "Orders", "Products", "Or`ders"}));
    EXPECT_EQ(userTables(file1), kTables1);
    EXPECT_EQ(tableRows(file1, "Orders").size(), 3u);
}

TEST_F(ListCommands, aChangeOfLetterCaseOnlyRenamesTheTable) {
    select("List2", {"Archive"});
    harness.boxes.answerInput(QStringLiteral("ARCHIVE"));
    const auto rows = tableRows(file2, "Archive");
    click("PushButton10");
    EXPECT_EQ(harness.boxes.shown(), std::vector<support::ShownBox>{newNameOf("Archive")});
    EXPECT_EQ(entries("List2"), (std::vector<QString>{"Invoices", "ARCHIVE"}));
    EXPECT_EQ(userTables(file2), (std::vector<std::string>{"ARCHIVE", "Invoices"}));
    EXPECT_EQ(tableRows(file2, "ARCHIVE"), rows);
    expectSound();
}

}  // namespace
}  // namespace ui
