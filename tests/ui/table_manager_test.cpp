#include "app/error_locations.h"
#include "app/window_helpers.h"
#include "support/app/database_files.h"
#include "ui/layouts/twips.h"

#include "program_harness.h"
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

namespace ui {
namespace {

std::vector<bool> selection(const QListWidget& list) {
    std::vector<bool> selected;
    for (int row = 0; row < list.count(); ++row) selected.push_back(list.item(row)->isSelected());
    return selected;
}

class TableManager : public ::testing::Test {
protected:
    void SetUp() override {
        support::makeDatabase(one, {"Customers", "Orders", "Products"});
        support::makeDatabase(two, {"Archive", "Invoices"});
        harness.remember(app::kAccessMDBFileKey, harness.qpath(one));
        harness.remember(app::kAccessMDBFile2Key, harness.qpath(two));
    }

    QListWidget& list(const char* name) { return harness.in2<QListWidget>(name); }
    void click(const char* button) {
        QTest::mouseClick(&harness.in2<QPushButton>(button), Qt::LeftButton);
    }

    support::ProgramHarness harness;
    std::filesystem::path one = harness.folder / "one.mdb";
    std::filesystem::path two = harness.folder / "two.mdb";
};

TEST_F(TableManager, loadsCentredWithItsCaptionIconAndHeightBelowTheBottomRow) {
    harness.start();
    Form2& window = harness.form2();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Corvanta"));
    EXPECT_EQ(window.windowIcon().availableSizes(),
              (QList<QSize>{{256, 256}, {128, 128}, {48, 48}, {32, 32}}));
    const TwipScale scale = TwipScale::of(window);
    EXPECT_EQ(window.frameGeometry().height(), scale.pixelsDown(4980 + 405 + 580));
    // Centred with its designed size inside the frame the platform put around it, before the
    // height was set.
    const QSize frame = window.frameGeometry().size() - window.size();
    ASSERT_FALSE(frame.isNull()) << "the platform frames its windows";
    const QRect screen = window.screen()->geometry();
    const QPointF centred = app::centredPosition(
        screen.size(),
        QSizeF(scale.pixelsAcross(8040) + frame.width(), scale.pixelsDown(5520) + frame.height()));
    EXPECT_EQ(window.frameGeometry().topLeft(),
              screen.topLeft() + QPoint(static_cast<int>(std::floor(centred.x())),
                                        static_cast<int>(std::floor(centred.y()))));
    EXPECT_EQ(window.palette().color(QPalette::Window), app::buttonFaceColor());
}

// A settings file that can be read but not written (immutable here, as under a read-only
// configuration folder) still gives both remembered databases: the program goes on to the table
// manager, and tells only once that the file cannot be written.
TEST_F(TableManager, opensFromASettingsFileThatCannotBeWritten) {
    support::ImmutableFile immutable(harness.settingsFolder / "Quillmere.conf");
    if (!immutable.made()) GTEST_SKIP() << "this system cannot make a file immutable";
    harness.start();
    ASSERT_NE(harness.program().loadedForm2(), nullptr);
    EXPECT_TRUE(harness.program().loadedForm2()->isVisible());
    EXPECT_EQ(selection(list("List1")).size(), 3u);
    EXPECT_EQ(selection(list("List2")).size(), 2u);
    EXPECT_LE(harness.boxes.notices().size(), 1u);
    for (const auto& notice : harness.boxes.notices()) {
        EXPECT_TRUE(notice.text.contains(QStringLiteral("cannot be written")))
            << notice.text.toStdString();
    }
    EXPECT_TRUE(harness.boxes.messages().empty());
}

TEST_F(TableManager, selectAllAndDeselectAllMarkOnlyTheirOwnList) {
    harness.start();
    click("PushButton1");
    EXPECT_EQ(selection(list("List1")), (std::vector{true, true, true}));
    EXPECT_EQ(selection(list("List2")), (std::vector{false, false}));
    click("PushButton6");
    click("PushButton2");
    EXPECT_EQ(selection(list("List1")), (std::vector{false, false, false}));
    EXPECT_EQ(selection(list("List2")), (std::vector{true, true}));
    click("PushButton7");
    EXPECT_EQ(selection(list("List2")), (std::vector{false, false}));
    EXPECT_EQ(list("List1").count(), 3);
    EXPECT_EQ(list("List2").count(), 2);
    EXPECT_TRUE(harness.boxes.shown().empty());
}

// Marking entries through the list makes the last one marked current, as on the platform the
// program was written for; the list scrolls to it.
TEST_F(TableManager, selectAllAndDeselectAllLeaveTheLastEntryCurrent) {
    harness.start();
    list("List1").setCurrentRow(0, QItemSelectionModel::NoUpdate);
    click("PushButton1");
    EXPECT_EQ(list("List1").currentRow(), 2);
    list("List1").setCurrentRow(1, QItemSelectionModel::NoUpdate);
    click("PushButton2");
    EXPECT_EQ(list("List1").currentRow(), 2);
    EXPECT_EQ(list("List2").currentRow(), 0) << "the other list keeps its current entry";
    click("PushButton6");
    EXPECT_EQ(list("List2").currentRow(), 1);
}

// Select All and Deselect All are one step of the list whatever its length: on 5,000 entries
// the list tells of each change once, not once an entry.
TEST_F(TableManager, selectAllAndDeselectAllOnALongListAreOneStep) {
    harness.start();
    db::TableList& tables = harness.program().List1();
    tables.clear();
    for (int number = 1; number <= 5000; ++number) {
        tables.addItem(QStringLiteral("Table %1").arg(number));
    }
    QListWidget& widget = list("List1");
    int changes = 0;
    QObject::connect(widget.selectionModel(), &QItemSelectionModel::selectionChanged,
                     [&] { ++changes; });
    click("PushButton1");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(tables.selectedCount(), 5000);
    EXPECT_EQ(tables.currentIndex(), 4999);
    click("PushButton2");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(tables.selectedCount(), 0);
}

// Enter, like Space, presses the push button that has the focus.
TEST_F(TableManager, enterAndSpacePressTheFocusedButton) {
    harness.start();
    Form2& window = harness.form2();
    harness.in2<QPushButton>("PushButton12").setFocus(Qt::TabFocusReason);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        harness.boxes.answerMessage();
        QTest::keyClick(window.windowHandle(), key);
    }
    EXPECT_EQ(harness.boxes.messages().size(), 3u) << "Help answered each key";

    harness.in2<QPushButton>("PushButton11").setFocus(Qt::TabFocusReason);
    QTest::keyClick(window.windowHandle(), Qt::Key_Return);
    EXPECT_FALSE(window.isVisible()) << "< Back went back";
    EXPECT_TRUE(harness.form1().isVisible());
}

TEST_F(TableManager, selectAllAndDeselectAllOnEmptyListsDoNothing) {
    for (const char* button : {"PushButton1", "PushButton2", "PushButton6", "PushButton7"}) {
        click(button);
    }
    EXPECT_EQ(list("List1").count(), 0);
    EXPECT_EQ(list("List2").count(), 0);
    EXPECT_TRUE(harness.boxes.shown().empty());
}

TEST_F(TableManager, backShowsTheSelectionWindowAndNextRefillsTheLists) {
    harness.start();
    list("List1").item(1)->setSelected(true);
    list("List2").addItem(QStringLiteral("Stale"));

    click("PushButton11");
    EXPECT_TRUE(harness.form1().isVisible());
    EXPECT_FALSE(harness.form2().isVisible());
    EXPECT_EQ(list("List1").count(), 3) << "the lists stay while the window is hidden";

    QTest::mouseClick(&harness.in1<QPushButton>("PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(harness.form2().isVisible());
    EXPECT_FALSE(harness.form1().isVisible());
    EXPECT_EQ(selection(list("List1")), (std::vector{false, false, false}));
    EXPECT_EQ(list("List2").count(), 2);
    EXPECT_EQ(list("List1").currentRow(), 0);
}

TEST_F(TableManager, helpNamesTheContactForm) {
    harness.boxes.answerMessage();
    click("PushButton12");
    EXPECT_EQ(harness.boxes.messages(),
              std::vector{app::MessageBoxRequest{
                  .text = QStringLiteral("Questions? Please contact Team Quillmere at "
                                         "https://www.quillmere.example/contact")}});
}

TEST_F(TableManager, showsTheHandOverButtonsOnlyWhenThePointerFileIsThere) {
    harness.besideProgram("HAND-M.CUR");
    Form2& withHand = harness.form2();
    support::ProgramHarness::moveOver(harness.in2<QPushButton>("PushButton3"));
    EXPECT_EQ(withHand.cursor().shape(), Qt::BitmapCursor);
    support::ProgramHarness::moveOver(*list("List2").viewport());
    EXPECT_EQ(withHand.cursor().shape(), Qt::ArrowCursor);

    support::ProgramHarness without;
    Form2& plain = without.form2();
    support::ProgramHarness::moveOver(without.in2<QPushButton>("PushButton3"));
    EXPECT_EQ(plain.cursor().shape(), Qt::ArrowCursor);
}

// Runs the event loop until the program ends it; a program that does not end fails the test.
int runUntilTheProgramEnds(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(10000);
    return QCoreApplication::exec();
}

TEST_F(TableManager, closingEitherWindowEndsTheProgram) {
    harness.start();
    ASSERT_TRUE(harness.form2().isVisible());
    EXPECT_EQ(runUntilTheProgramEnds([&] { harness.form2().close(); }), 0);
    EXPECT_FALSE(harness.form1().isVisible()) << "the selection window does not reappear";
    EXPECT_FALSE(harness.form2().isVisible());

    support::ProgramHarness first;
    first.start();
    ASSERT_TRUE(first.form1().isVisible());
    EXPECT_EQ(runUntilTheProgramEnds([&] { first.form1().close(); }), 0);
    EXPECT_FALSE(first.form1().isVisible());
}

}  // namespace
}  // namespace ui
