#include "app/window_helpers.h"

#include "app/program_folder.h"
#include "support/app/replaced_folders.h"
#include "support/fixtures.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace app {
namespace {

QString text(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

TEST(FileExists, isTrueOnlyWhenThePathCanBeStatted) {
    support::TempDir folder;
    std::ofstream(folder / "a.mdb") << "x";
    std::filesystem::create_directory(folder / "sub");
    std::filesystem::create_symlink(folder / "a.mdb", folder / "link.mdb");
    std::filesystem::create_symlink(folder / "gone.mdb", folder / "broken.mdb");

    EXPECT_FALSE(FileExists(QString()));
    EXPECT_TRUE(FileExists(text(folder / "a.mdb")));
    EXPECT_FALSE(FileExists(text(folder / "missing" / "a.mdb")));
    EXPECT_FALSE(FileExists(text(folder / "b.mdb")));
    // A folder has a last-modified time as well.
    EXPECT_TRUE(FileExists(text(folder / "sub")));
    EXPECT_TRUE(FileExists(text(folder / "link.mdb")));
    EXPECT_FALSE(FileExists(text(folder / "broken.mdb")));
    // A path with a NUL must not be answered for the part before it.
    EXPECT_FALSE(FileExists(text(folder / "a.mdb") + QChar(0) + QStringLiteral("junk")));
    EXPECT_TRUE(FileExists(text(folder / "sub" / ".." / "a.mdb")));
}

TEST(CenterForm, computesTheCentreUnroundedAndNegativeForAWindowLargerThanTheScreen) {
    EXPECT_EQ(centredPosition(QSizeF(1024, 768), QSizeF(1024, 768)), QPointF(0, 0));
    EXPECT_EQ(centredPosition(QSizeF(1024, 768), QSizeF(543, 290)), QPointF(240.5, 239));
    EXPECT_EQ(centredPosition(QSizeF(1024, 768), QSizeF(536, 289)), QPointF(244, 239.5));
    EXPECT_EQ(centredPosition(QSizeF(800, 600), QSizeF(1001, 700)), QPointF(-100.5, -50));
    // Twips work the same way: 15 per pixel.
    EXPECT_EQ(centredPosition(QSizeF(15360, 11520), QSizeF(8175, 4035)), QPointF(3592.5, 3742.5));
}

TEST(CenterForm, placesTheWindowInTheMiddleOfItsScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.resize(301, 151);
    window.move(screen.topLeft() + QPoint(3, 7));
    CenterForm(window);
    const QRect placed = window.frameGeometry();
    // Margins equal, or the right/bottom one a pixel wider where the difference is odd.
    const int leftMargin = placed.left() - screen.left();
    const int rightMargin = screen.right() - placed.right();
    const int topMargin = placed.top() - screen.top();
    const int bottomMargin = screen.bottom() - placed.bottom();
    EXPECT_EQ(rightMargin - leftMargin, (screen.width() - placed.width()) % 2);
    EXPECT_EQ(bottomMargin - topMargin, (screen.height() - placed.height()) % 2);

    QWidget huge;
    huge.resize(screen.width() + 200, screen.height() + 101);
    CenterForm(huge);
    EXPECT_EQ(huge.frameGeometry().topLeft(), screen.topLeft() + QPoint(-100, -51));
}

// Before a window is on screen it has no frame; once the platform frames it, it is centred
// again, on the frame, and not moved after that.
TEST(CenterForm, centresAWindowAgainOnItsFrameOnceFramed) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget window;
    window.resize(301, 151);
    CenterForm(window);
    ASSERT_EQ(window.frameGeometry().size(), window.size()) << "no frame before it is shown";
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect framed = window.frameGeometry();
    ASSERT_NE(framed.size(), window.size()) << "the platform frames its windows";
    const QPointF centred = centredPosition(screen.size(), framed.size());
    EXPECT_EQ(framed.topLeft(),
              screen.topLeft() + QPoint(static_cast<int>(std::floor(centred.x())),
                                        static_cast<int>(std::floor(centred.y()))));

    window.move(screen.topLeft() + QPoint(5, 9));
    QTest::qWait(20);
    EXPECT_EQ(window.frameGeometry().topLeft(), screen.topLeft() + QPoint(5, 9))
        << "a move after the framing stays";
}

// A window as the layouts design it: white, with one control of every kind.
struct DesignedWindow {
    QWidget window;
    QGroupBox* frame = new QGroupBox(QStringLiteral("Access Database #1"), &window);
    QLabel* label = new QLabel(QStringLiteral("MDB or ACCDB File:"), frame);
    QLineEdit* textBox = new QLineEdit(frame);
    QPushButton* button = new QPushButton(QStringLiteral("..."), frame);
    QCheckBox* checkBox = new QCheckBox(&window);
    QRadioButton* optionButton = new QRadioButton(&window);
    QListWidget* list = new QListWidget(&window);

    DesignedWindow() {
        QPalette white = window.palette();
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            white.setColor(role, Qt::white);
        }
        window.setPalette(white);
    }

    static QColor background(const QWidget* widget) {
        return widget->autoFillBackground() || widget->isWindow()
                   ? widget->palette().color(widget->backgroundRole())
                   : QColor();
    }
};

// Gives the application a button-face colour no default palette has.
class DistinctFaceColour : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = QApplication::palette();
        QPalette palette = m_saved;
        palette.setColor(QPalette::Button, m_face);
        QApplication::setPalette(palette);
    }
    void TearDown() override { QApplication::setPalette(m_saved); }

    const QColor m_face{0x12, 0x34, 0x56};

private:
    QPalette m_saved;
};

TEST_F(DistinctFaceColour, applyFaceColorPaintsTheWindowFramesLabelsAndBoxesOnly) {
    DesignedWindow designed;
    ApplyFaceColor(designed.window);

    EXPECT_EQ(DesignedWindow::background(&designed.window), m_face);
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             designed.frame, designed.label, designed.checkBox, designed.optionButton}) {
        EXPECT_EQ(DesignedWindow::background(control), m_face)
            << control->metaObject()->className();
    }
    EXPECT_EQ(designed.textBox->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(designed.list->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(designed.button->palette().color(QPalette::Button), QColor(Qt::white));
    EXPECT_FALSE(designed.textBox->autoFillBackground());
    EXPECT_FALSE(designed.button->autoFillBackground());
}

TEST_F(DistinctFaceColour, applySkinLeavesTheDesignedColoursWithoutTheSkinFile) {
    support::TempDir folder;
    support::ReplacedProgramFolder programFolder(folder.path());
    // Only a plain file counts: a folder of that name does not.
    std::filesystem::create_directories(folder / "x" / "o.cjs");

    DesignedWindow designed;
    ApplySkin(designed.window);

    EXPECT_EQ(DesignedWindow::background(&designed.window), QColor(Qt::white));
    EXPECT_FALSE(designed.label->autoFillBackground());
    EXPECT_FALSE(designed.frame->autoFillBackground());
}

TEST_F(DistinctFaceColour, applySkinPaintsTheFaceColourWhenTheSkinFileExists) {
    support::TempDir folder;
    support::ReplacedProgramFolder programFolder(folder.path());
    std::filesystem::create_directory(folder / "x");
    std::ofstream(folder / "x" / "o.cjs") << "skin";

    DesignedWindow designed;
    ApplySkin(designed.window);

    EXPECT_EQ(DesignedWindow::background(&designed.window), m_face);
    EXPECT_EQ(DesignedWindow::background(designed.frame), m_face);
    EXPECT_EQ(DesignedWindow::background(designed.label), m_face);
    EXPECT_EQ(designed.textBox->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST(ProgramFolder, isTheFolderOfTheRunningProgramUnlessReplaced) {
    EXPECT_EQ(QDir(programFolder()).canonicalPath(),
              QDir(text(support::buildDir())).canonicalPath());

    support::TempDir folder;
    {
        support::ReplacedProgramFolder replaced(folder.path());
        EXPECT_EQ(programFolder(), text(folder.path()));
        EXPECT_EQ(pathBesideProgram(QString::fromLatin1(kSkinFile)),
                  text(folder.path()) + QStringLiteral("/x/o.cjs"));
        EXPECT_EQ(pathBesideProgram(QString::fromLatin1(kSampleDatabaseFile)),
                  text(folder.path()) + QStringLiteral("/Samples/sample.mdb"));
    }
    EXPECT_NE(programFolder(), text(folder.path()));
}

}  // namespace
}  // namespace app
