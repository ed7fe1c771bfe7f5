#include "app/qt_modal_boxes.h"

#include "app/error_locations.h"
#include "app/error_trap.h"
#include "support/fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace app {
namespace {

// Runs `answer` on the next modal dialog of type Dialog as soon as it is on screen. A dialog
// that does not come within five seconds fails the test, and whatever modal window is open
// then is rejected so that the test ends.
template <typename Dialog>
void whenShown(std::function<void(Dialog&)> answer) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            answer(*dialog);
        } else if (++*tries > 500) {
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog did not appear";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                other->reject();
            }
        }
    });
    timer->start(10);
}

TEST(QtModalBoxes, showsTheErrorReportAsPlainTextWithItsLinesTitleIconAndOk) {
    const QString text = QStringLiteral(
        "<b>Not</b> a valid password.\r\nin Ludovane2/19/2015.Form1.Form_Load at line 100\r\r"
        "Please email screenshot of this message to support@quillmere.example");
    whenShown<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Application Error"));
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.text(), QStringLiteral("<b>Not</b> a valid password.\n"
                                             "in Ludovane2/19/2015.Form1.Form_Load at line 100\n\n"
                                             "Please email screenshot of this message to "
                                             "support@quillmere.example"));
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        box.button(QMessageBox::Ok)->click();
    });
    QtModalBoxes boxes;
    EXPECT_EQ(boxes.message({.text = text,
                             .title = QStringLiteral("Application Error"),
                             .icon = MessageIcon::Exclamation}),
              MessageAnswer::Ok);
}

TEST(QtModalBoxes, asksYesOrNoUnderTheApplicationTitleWithoutAnIcon) {
    QtModalBoxes boxes;
    const MessageBoxRequest question{.text = QStringLiteral("Would you like to overwrite Orders?"),
                                     .buttons = MessageButtons::YesNo};
    whenShown<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Corvanta"));
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(boxes.message(question), MessageAnswer::Yes);

    whenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_EQ(boxes.message(question), MessageAnswer::No);

    whenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(boxes.message(question), MessageAnswer::No);
}

TEST(QtModalBoxes, inputGivesTheTextEnteredOrNothingWhenCancelled) {
    QtModalBoxes boxes;
    const InputBoxRequest request{.prompt = QStringLiteral("New name for Orders:"),
                                  .title = QStringLiteral("Rename Table"),
                                  .defaultAnswer = QStringLiteral("Orders")};
    whenShown<QInputDialog>([](QInputDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename Table"));
        EXPECT_EQ(dialog.labelText(), QStringLiteral("New name for Orders:"));
        EXPECT_EQ(dialog.textValue(), QStringLiteral("Orders"));
        dialog.setTextValue(QStringLiteral("Orders 2015"));
        dialog.accept();
    });
    EXPECT_EQ(boxes.input(request), QStringLiteral("Orders 2015"));

    whenShown<QInputDialog>([](QInputDialog& dialog) {
        dialog.setTextValue(QString());
        dialog.accept();
    });
    EXPECT_EQ(boxes.input(request), QString());

    whenShown<QInputDialog>([](QInputDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(boxes.input(request), std::nullopt);
}

TEST(QtModalBoxes, openFileOffersTheFilterChoicesAndGivesTheFullPathOrNothing) {
    support::TempDir folder;
    std::ofstream(folder / "Northwind.accdb") << "x";
    const QString chosen = QString::fromStdString((folder / "Northwind.accdb").string());
    const OpenFileRequest request{
        .title = QStringLiteral("Select Access Database"),
        .filters = {{QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)"),
                     QStringLiteral("*.*db")},
                    {QStringLiteral("Microsoft Database (*.mdb)"), QStringLiteral("*.mdb")},
                    {QStringLiteral("Two kinds"), QStringLiteral("*.mdb;*.accdb")}},
        .flags = kOpenFileReadOnlyTicked | kOpenFileExplorerStyle | kOpenFileLongNames};
    QtModalBoxes boxes;

    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Access Database"));
        EXPECT_EQ(dialog.nameFilters(),
                  (QStringList{QStringLiteral("All Microsoft Databases (*.mdb,*.accdb) (*.*db)"),
                               QStringLiteral("Microsoft Database (*.mdb) (*.mdb)"),
                               QStringLiteral("Two kinds (*.mdb *.accdb)")}));
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.selectFile(QStringLiteral("Northwind.accdb"));
        static_cast<QDialog&>(dialog).accept();  // QFileDialog hides accept()
    });
    EXPECT_EQ(boxes.openFile(request), chosen);

    whenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(boxes.openFile(request), std::nullopt);
}

// How many lines the label breaks each line of its text into, at its font and width.
std::vector<int> displayedLines(const QLabel& label) {
    std::vector<int> counts;
    const qreal width = label.contentsRect().width();
    for (const QString& line : label.text().split(QLatin1Char('\n'))) {
        QTextLayout layout(line, label.font());
        layout.beginLayout();
        int count = 0;
        for (QTextLine part = layout.createLine(); part.isValid(); part = layout.createLine()) {
            part.setLineWidth(width);
            ++count;
        }
        layout.endLayout();
        counts.push_back(count);
    }
    return counts;
}

// The longest location text and statement number an error report can show, and the help message
// with its address: each line stays one line, and the box stays on a screen narrower than 1024
// pixels (the test's screen).
TEST(QtModalBoxes, keepsEachLineOfTheErrorReportAndTheHelpMessageOnOneLine) {
    const QString report =
        errorReportText(QStringLiteral("Table 'Order Details 2015' already exists."),
                        QString::fromLatin1(location::kForm2PushButton10Click), 196);
    const QString help = QStringLiteral(
        "Questions? Please contact Team Quillmere at https://www.quillmere.example/contact");
    QtModalBoxes boxes;
    for (const QString& text : {report, help}) {
        SCOPED_TRACE(text.toStdString());
        whenShown<QMessageBox>([](QMessageBox& box) {
            auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            const std::vector<int> lines = displayedLines(*label);
            EXPECT_EQ(lines, std::vector<int>(lines.size(), 1));
            EXPECT_LE(box.frameGeometry().width(), box.screen()->availableGeometry().width());
            EXPECT_LT(box.screen()->availableGeometry().width(), 1024);
            box.button(QMessageBox::Ok)->click();
        });
        boxes.message({.text = text, .icon = MessageIcon::Exclamation});
    }
}

// A notice neither waits nor takes the keyboard: the keys go on into the text box that had the
// focus.
TEST(QtModalBoxes, aNoticeLeavesTheKeyboardWithTheTextBoxBeingTypedInto) {
    QWidget window;
    auto* box = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("/da"));

    QtModalBoxes boxes;
    boxes.notice({.text = QStringLiteral("The settings file cannot be written."),
                  .icon = MessageIcon::Exclamation});
    QMessageBox* notice = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* shown = qobject_cast<QMessageBox*>(widget); shown && shown->isVisible()) {
            notice = shown;
        }
    }
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("The settings file cannot be written."));
    EXPECT_EQ(notice->icon(), QMessageBox::Warning);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeWindow(), &window);
    ASSERT_EQ(QApplication::focusWidget(), box);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ta.mdb"));
    EXPECT_EQ(box->text(), QStringLiteral("/data.mdb"));

    QPointer<QMessageBox> closed(notice);
    notice->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
}

}  // namespace
}  // namespace app
