#include "db/table_rename.h"

#include "ado/com_error.h"
#include "ado/object_factory.h"
#include "support/app/database_files.h"
#include "support/app/scripted_modal_boxes.h"
#include "support/fixtures.h"

#include "doubles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace db {
namespace {

using Tables = std::vector<std::string>;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RenameAccessTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        support::makeDatabase(database, {"Customers", "Orders", "Archive"}, "pw");
        ordersRows = support::tableRows(database, "Orders", "pw");
        texts.path1 = path();
    }

    QString path() const { return QString::fromStdString(database.string()); }

    bool rename(const QString& oldName, const QString& newName) {
        return RenameAccessTable(session, oldName, newName, path(), QStringLiteral("pw"), list);
    }

    static app::MessageBoxRequest overwriteQuestion(const QString& name) {
        return {.text = QStringLiteral("Would you like to overwrite ") + name + QLatin1Char('?'),
                .title = QStringLiteral("Overwrite?"),
                .buttons = app::MessageButtons::YesNo};
    }

    Tables tables() const { return support::userTables(database, "pw"); }

    support::TempDir folder;
    std::filesystem::path database = folder / "sales.mdb";
    std::vector<std::vector<engine::format::Value>> ordersRows;
    support::ScriptedModalBoxes boxes;
    ado::ObjectFactory factory;
    support::FixedTexts texts;
    support::MemoryTableList list{{"Customers", "Orders", "Archive"}};
    support::MemoryTableList other;
    support::CountedLists lists{list, other};
    Globals globals;
    Session session{boxes, factory, texts, lists, globals};
};

TEST_F(RenameAccessTableTest, copiesUnderAFreeNameDropsTheOldTableAndItsEntry) {
    EXPECT_TRUE(rename(QStringLiteral("Orders"), QStringLiteral("Orders 2014")));

    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(tables(), (Tables{"Archive", "Customers", "Orders 2014"}));
    EXPECT_EQ(support::tableRows(database, "Orders 2014", "pw"), ordersRows);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Archive"}));
}

TEST_F(RenameAccessTableTest, leavesEverythingAsItWasWhenTheUserKeepsTheOtherTable) {
    const std::string before = fileBytes(database);
    boxes.answerMessage(app::MessageAnswer::No);

    EXPECT_FALSE(rename(QStringLiteral("Orders"), QStringLiteral("archive")));

    EXPECT_EQ(boxes.messages(), std::vector{overwriteQuestion(QStringLiteral("archive"))});
    EXPECT_EQ(fileBytes(database), before);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Orders", "Archive"}));
}

TEST_F(RenameAccessTableTest, replacesTheOtherTableWhenTheUserSaysYes) {
    boxes.answerMessage(app::MessageAnswer::Yes);

    EXPECT_TRUE(rename(QStringLiteral("Orders"), QStringLiteral("Archive")));

    EXPECT_EQ(boxes.messages(), std::vector{overwriteQuestion(QStringLiteral("Archive"))});
    EXPECT_EQ(tables(), (Tables{"Archive", "Customers"}));
    EXPECT_EQ(support::tableRows(database, "Archive", "pw"), ordersRows);
    EXPECT_EQ(list.entries(), QStringList{"Customers"});
}

// The engine drops the table whatever the case of its name, so its entry goes too, however it
// is spelled: a leftover entry would name the renamed table, and deleting it would drop that.
TEST_F(RenameAccessTableTest, removesTheReplacedTablesEntryWhateverItsLetterCase) {
    boxes.answerMessage(app::MessageAnswer::Yes);

    EXPECT_TRUE(rename(QStringLiteral("Orders"), QStringLiteral("ARCHIVE")));

    EXPECT_EQ(boxes.messages(), std::vector{overwriteQuestion(QStringLiteral("ARCHIVE"))});
    EXPECT_EQ(tables(), (Tables{"ARCHIVE", "Customers"}));
    EXPECT_EQ(support::tableRows(database, "ARCHIVE", "pw"), ordersRows);
    EXPECT_EQ(list.entries(), QStringList{"Customers"});
}

TEST_F(RenameAccessTableTest, doesNothingWhenTheNewNameIsTheOldOne) {
    const std::string before = fileBytes(database);

    EXPECT_FALSE(rename(QStringLiteral("Orders"), QStringLiteral("Orders")));

    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(fileBytes(database), before);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Orders", "Archive"}));
}

TEST_F(RenameAccessTableTest, changesOnlyTheLetterCaseThroughAnInterimName) {
    EXPECT_TRUE(rename(QStringLiteral("Orders"), QStringLiteral("ORDERS")));

    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(tables(), (Tables{"Archive", "Customers", "ORDERS"}));
    EXPECT_EQ(support::tableRows(database, "ORDERS", "pw"), ordersRows);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Archive"}));
}

TEST_F(RenameAccessTableTest, picksAnInterimNameThatNoTableBears) {
    const auto crowded = folder / "crowded.mdb";
    support::makeDatabase(crowded, {"Orders", "~Rename1", "~RENAME2"});
    texts.path1 = QString::fromStdString(crowded.string());
    const auto interimRows = support::tableRows(crowded, "~Rename1");
    support::MemoryTableList crowdedList{{"Orders", "~rename3"}};

    EXPECT_TRUE(RenameAccessTable(session, QStringLiteral("Orders"), QStringLiteral("orders"),
                                  texts.path1, QString(), crowdedList));

    EXPECT_EQ(support::userTables(crowded), (Tables{"orders", "~RENAME2", "~Rename1"}));
    EXPECT_EQ(support::tableRows(crowded, "~Rename1"), interimRows);
    EXPECT_EQ(crowdedList.entries(), QStringList{"~rename3"});
}

TEST_F(RenameAccessTableTest, aConnectionThatCannotOpenChangesNothing) {
    const std::string before = fileBytes(database);
    EXPECT_THROW(RenameAccessTable(session, QStringLiteral("Orders"), QStringLiteral("Sales"),
                                   path(), QStringLiteral("wrong"), list),
                 ado::ComError);
    EXPECT_EQ(fileBytes(database), before);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Orders", "Archive"}));
}

TEST_F(RenameAccessTableTest, aRefusedCopyKeepsTheOldTableAndItsEntry) {
    EXPECT_THROW(rename(QStringLiteral("Orders"), QStringLiteral("Ord`ers")), ado::ComError);
    EXPECT_EQ(tables(), (Tables{"Archive", "Customers", "Orders"}));
    EXPECT_EQ(support::tableRows(database, "Orders", "pw"), ordersRows);
    EXPECT_EQ(list.entries(), (QStringList{"Customers", "Orders", "Archive"}));
}

}  // namespace
}  // namespace db
