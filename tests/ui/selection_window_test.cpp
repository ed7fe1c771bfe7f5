#include "app/modal_boxes.h"
#include "app/settings_store.h"
#include "support/app/database_files.h"

#include "program_harness.h"
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace ui {
namespace {

QStringList entries(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts.append(list.item(row)->text());
    return texts;
}

class SelectionWindow : public ::testing::Test {
protected:
    void SetUp() override {
        support::makeDatabase(sales, {"Customers", "Orders"});
        support::makeDatabase(archive, {"Orders 2013"});
        harness.form1().show();
        harness.form1().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&harness.form1()));
    }

    QLineEdit& box(const char* name) { return harness.in1<QLineEdit>(name); }
    void click(const char* button) {
        QTest::mouseClick(&harness.in1<QPushButton>(button), Qt::LeftButton);
    }
    // Puts a text into a box at once, as a paste does.
    void enter(const char* name, const QString& text) { box(name).setText(text); }
    static app::MessageBoxRequest notice(const char* text) {
        return {.text = QString::fromLatin1(text)};
    }
    bool tableManagerShown() {
        return harness.program().loadedForm2() != nullptr &&
               harness.program().loadedForm2()->isVisible();
    }

    support::ProgramHarness harness;
    std::filesystem::path sales = harness.folder / "sales.mdb";
    std::filesystem::path archive = harness.folder / "archive.mdb";
};

TEST_F(SelectionWindow, nextWithoutDatabaseOneSaysSoWhateverDatabaseTwoHolds) {
    for (const QString& second : {QString(), harness.qpath(archive)}) {
        enter("Text3", second);
        harness.boxes.answerMessage();
        click("PushButton2");
    }
    EXPECT_EQ(harness.boxes.messages(),
              (std::vector{notice("Database #1 does not appear to be valid or is currently open."),
                           notice("Database #1 does not appear to be valid or is currently "
                                  "open.")}));
    EXPECT_EQ(harness.program().loadedForm2(), nullptr);
}

TEST_F(SelectionWindow, nextWithAMissingDatabaseTwoSaysSoWithoutOpeningDatabaseOne) {
    enter("Text1", harness.qpath(sales));
    enter("Text3", harness.qpath(harness.folder / "nowhere.mdb"));
    harness.boxes.answerMessage();
    click("PushButton2");
    EXPECT_EQ(harness.boxes.messages(),
              std::vector{notice("Database #2 does not appear to be valid or is currently open.")});
    EXPECT_EQ(harness.program().loadedForm2(), nullptr) << "no table list was filled";
    EXPECT_TRUE(harness.form1().isVisible());
}

TEST_F(SelectionWindow, nextWithTheSameFileTwiceListsItTwiceAndMovesOn) {
    enter("Text1", harness.qpath(sales));
    enter("Text3", harness.qpath(sales));
    click("PushButton2");
    EXPECT_TRUE(harness.boxes.shown().empty());
    ASSERT_TRUE(tableManagerShown());
    EXPECT_FALSE(harness.form1().isVisible());
    const QStringList tables = entries(harness.in2<QListWidget>("List1"));
    EXPECT_EQ(tables.size(), 2);
    EXPECT_EQ(entries(harness.in2<QListWidget>("List2")), tables);
}

TEST_F(SelectionWindow, aWrongPasswordForDatabaseOneIsReportedFirstAndTheWindowStays) {
    const auto locked = harness.folder / "locked.mdb";
    support::makeDatabase(locked, {"Secrets"}, "right");
    enter("Text1", harness.qpath(locked));
    enter("Text2", QStringLiteral("wrong"));
    enter("Text3", harness.qpath(archive));
    harness.boxes.answerMessage();
    harness.boxes.answerMessage();

    click("PushButton2");

    ASSERT_EQ(harness.boxes.messages().size(), 2u);
    EXPECT_TRUE(harness.boxes.messages()[0].text.startsWith(harness.qpath(locked) + "\r\n"));
    EXPECT_EQ(harness.boxes.messages()[1], notice("Unable to access the database"));
    EXPECT_EQ(entries(harness.in2<QListWidget>("List2")), QStringList{"Orders 2013"})
        << "database #2 is listed all the same";
    EXPECT_FALSE(tableManagerShown());
    EXPECT_TRUE(harness.form1().isVisible());
}

TEST_F(SelectionWindow, browsingOffersTheDatabaseFiltersAndPutsTheChoiceInThePathBox) {
    harness.boxes.answerOpenFile(harness.qpath(archive));
    click("PushButton3");

    const auto& request = std::get<app::OpenFileRequest>(harness.boxes.shown().at(0));
    EXPECT_EQ(request.title, QStringLiteral("Select Access Database"));
    EXPECT_EQ(request.flags, 0x280001u);
    EXPECT_EQ(
        request.filters,
        (std::vector<app::FileFilter>{
            {QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)"), QStringLiteral("*.*db")},
            {QStringLiteral("Microsoft Database (*.mdb)"), QStringLiteral("*.mdb")},
            {QStringLiteral("Microsoft 2007 Database (*.accdb)"), QStringLiteral("*.accdb")},
        }));
    EXPECT_EQ(box("Text3").text(), harness.qpath(archive));
    EXPECT_EQ(harness.remembered(app::kAccessMDBFile2Key), harness.qpath(archive));
}

TEST_F(SelectionWindow, cancellingTheDialogLeavesThePathAndItsSetting) {
    enter("Text1", harness.qpath(sales));
    harness.boxes.answerOpenFile(harness.qpath(archive));
    harness.boxes.answerOpenFile(std::nullopt);
    click("PushButton1");
    click("PushButton1");
    EXPECT_EQ(box("Text1").text(), harness.qpath(archive));
    EXPECT_EQ(harness.remembered(app::kAccessMDBFileKey), harness.qpath(archive));
}

TEST_F(SelectionWindow, theSampleButtonFillsBothPathsEvenWithoutASampleFolder) {
    enter("Text2", QStringLiteral("one"));
    enter("Text4", QStringLiteral("two"));
    click("PushButton4");

    const QString sample = harness.qpath(harness.programFolder / "Samples" / "sample.mdb");
    EXPECT_EQ(box("Text1").text(), sample);
    EXPECT_EQ(box("Text3").text(), sample);
    EXPECT_EQ(harness.remembered(app::kAccessMDBFileKey), sample);
    EXPECT_EQ(harness.remembered(app::kAccessMDBFile2Key), sample);
    EXPECT_EQ(harness.remembered(app::kAccessPasswordKey), QStringLiteral("one"));
    EXPECT_EQ(harness.remembered(app::kAccessPassword2Key), QStringLiteral("two"));

    harness.boxes.answerMessage();
    click("PushButton2");
    EXPECT_EQ(harness.boxes.messages(),
              std::vector{notice("Database #1 does not appear to be valid or is currently open.")});
}

TEST_F(SelectionWindow, theSampleBesideTheProgramListsItsTablesInBothLists) {
    harness.besideProgram("Samples/sample.mdb");
    click("PushButton4");
    click("PushButton2");
    ASSERT_TRUE(tableManagerShown());
    QStringList tables = entries(harness.in2<QListWidget>("List1"));
    tables.sort();
    EXPECT_EQ(tables, (QStringList{"Customers", "OrderDetails", "Orders", "Products"}));
    EXPECT_EQ(entries(harness.in2<QListWidget>("List2")),
              entries(harness.in2<QListWidget>("List1")));
}

TEST_F(SelectionWindow, remembersEveryKeystrokeAndAClearedBox) {
    const QString path = QStringLiteral("/data/a b.mdb");
    box("Text1").setFocus();
    for (const QChar character : path) {
        QTest::keyClick(&box("Text1"), character.toLatin1());
        EXPECT_EQ(harness.remembered(app::kAccessMDBFileKey), box("Text1").text());
    }
    EXPECT_EQ(harness.remembered(app::kAccessMDBFileKey), path);
    box("Text1").clear();
    EXPECT_EQ(harness.remembered(app::kAccessMDBFileKey), QString());
}

TEST_F(SelectionWindow, aPasswordIsStoredAndPassedOnAsTyped) {
    QTest::keyClicks(&box("Text4"), QStringLiteral(" s3 cr;t! "));
    EXPECT_EQ(box("Text4").displayText(), QStringLiteral("**********"));
    EXPECT_EQ(harness.form1().Text4(), QStringLiteral(" s3 cr;t! "));
    EXPECT_EQ(harness.remembered(app::kAccessPassword2Key), QStringLiteral(" s3 cr;t! "));
}

TEST_F(SelectionWindow, enteringATextBoxSelectsItsWholeText) {
    box("Text1").setText(QStringLiteral("/data/one.mdb"));
    box("Text3").setText(QStringLiteral("/data/two.mdb"));
    box("Text4").setText(QStringLiteral("secret"));

    box("Text3").setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), &box("Text3"));
    EXPECT_EQ(box("Text3").selectedText(), QStringLiteral("/data/two.mdb"));

    QTest::keyClick(&box("Text3"), Qt::Key_Tab);                // onto the browse button
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Text4
    ASSERT_EQ(QApplication::focusWidget(), &box("Text4"));
    QTest::keyClicks(&box("Text4"), QStringLiteral("new"));
    EXPECT_EQ(box("Text4").text(), QStringLiteral("new"));

    box("Text1").setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(box("Text1").selectedText(), QStringLiteral("/data/one.mdb"));
}

// Enter, like Space, presses the push button that has the focus.
TEST_F(SelectionWindow, enterAndSpacePressTheFocusedButton) {
    const QString sample = harness.qpath(harness.programFolder / "Samples" / "sample.mdb");
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        enter("Text1", QString());
        harness.in1<QPushButton>("PushButton4").setFocus(Qt::TabFocusReason);
        QTest::keyClick(harness.form1().windowHandle(), key);
        EXPECT_EQ(box("Text1").text(), sample) << "key " << key;
    }
}

// Keys go to the focused box through the window, as the window system delivers them.
void type(QWidget& window, const QString& text) {
    for (const QChar character : text) {
        QTest::keyClick(window.windowHandle(), character.toLatin1());
    }
}

// A settings file that cannot be written is told of once, in a notice, however many keys fail,
// until a write succeeds; the box keeps every key.
TEST_F(SelectionWindow, aStoreThatCannotBeWrittenIsToldOnceAndTheBoxKeepsEveryKey) {
    const auto file = harness.settingsFolder / "Quillmere.conf";
    std::filesystem::create_directory(file);  // the file cannot be written where a folder is
    box("Text1").setFocus(Qt::TabFocusReason);
    type(harness.form1(), QStringLiteral("/data/a.mdb"));
    QTest::keyClick(harness.form1().windowHandle(), Qt::Key_Tab);
    QTest::keyClick(harness.form1().windowHandle(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &box("Text2"));
    type(harness.form1(), QStringLiteral("pw"));

    EXPECT_EQ(box("Text1").text(), QStringLiteral("/data/a.mdb"));
    EXPECT_EQ(harness.form1().Text2(), QStringLiteral("pw"));
    ASSERT_EQ(harness.boxes.notices().size(), 1u);
    EXPECT_TRUE(harness.boxes.notices()[0].text.contains(QStringLiteral("Quillmere.conf")));
    EXPECT_TRUE(harness.boxes.messages().empty()) << "no box waited for an answer";

    std::filesystem::remove(file);
    type(harness.form1(), QStringLiteral("1"));
    EXPECT_EQ(harness.remembered(app::kAccessPasswordKey), QStringLiteral("pw1"));
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    type(harness.form1(), QStringLiteral("23"));
    EXPECT_EQ(harness.form1().Text2(), QStringLiteral("pw123"));
    EXPECT_EQ(harness.boxes.notices().size(), 2u) << "told again after a write succeeded";
}

TEST_F(SelectionWindow, showsTheHandOverButtonsAndTheArrowOverTextBoxes) {
    harness.besideProgram("HAND-M.CUR");
    harness.start();
    support::ProgramHarness::moveOver(harness.in1<QPushButton>("PushButton4"));
    EXPECT_EQ(harness.form1().cursor().shape(), Qt::BitmapCursor);
    support::ProgramHarness::moveOver(box("Text2"));
    EXPECT_EQ(harness.form1().cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace ui
