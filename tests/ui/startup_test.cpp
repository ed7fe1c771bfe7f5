#include "app/error_locations.h"
#include "app/error_trap.h"
#include "app/window_helpers.h"
#include "support/app/database_files.h"

#include "program_harness.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <fstream>
#include <gtest/gtest.h>

namespace ui {
namespace {

constexpr char kEngineMissing[] =
    "Access is not installed on this computer. You need to have it installed to use this "
    "software without error.";

class StartUp : public ::testing::Test {
protected:
    QString text(const char* name) { return harness.in1<QLineEdit>(name).text(); }
    bool tableManagerShown() {
        return harness.program().loadedForm2() != nullptr &&
               harness.program().loadedForm2()->isVisible();
    }
    void rememberBoth(const std::filesystem::path& first, const std::filesystem::path& second) {
        harness.remember(app::kAccessMDBFileKey, harness.qpath(first));
        harness.remember(app::kAccessMDBFile2Key, harness.qpath(second));
    }

    support::ProgramHarness harness;
};

TEST_F(StartUp, aFirstRunShowsTheEmptySelectionWindowCentred) {
    harness.start();
    Form1& window = harness.form1();
    EXPECT_TRUE(window.isVisible());
    for (const char* name : {"Text1", "Text2", "Text3", "Text4"}) {
        EXPECT_EQ(text(name), QString()) << name;
    }
    EXPECT_EQ(harness.program().loadedForm2(), nullptr) << "no automatic Next >";
    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Corvanta"));
    EXPECT_EQ(window.windowIcon().availableSizes().size(), 4);
    const QRect screen = window.screen()->geometry();
    // Centred on the frame the platform put around it.
    ASSERT_NE(window.frameGeometry().size(), window.size()) << "the platform frames its windows";
    const QPointF centred = app::centredPosition(screen.size(), window.frameGeometry().size());
    EXPECT_EQ(window.frameGeometry().topLeft(),
              screen.topLeft() + QPoint(static_cast<int>(std::floor(centred.x())),
                                        static_cast<int>(std::floor(centred.y()))));
}

TEST_F(StartUp, restoresTheFourTextsAndLeavesTheStoredValuesAsTheyWere) {
    const QString password = QStringLiteral(" pass word;\"1\" ");
    harness.remember(app::kAccessMDBFileKey, QStringLiteral("/gone/one.mdb"));
    harness.remember(app::kAccessPasswordKey, password);
    harness.remember(app::kAccessMDBFile2Key, QStringLiteral("/gone/two.accdb"));
    harness.start();
    EXPECT_EQ(text("Text1"), QStringLiteral("/gone/one.mdb"));
    EXPECT_EQ(text("Text2"), password);
    EXPECT_EQ(text("Text3"), QStringLiteral("/gone/two.accdb"));
    EXPECT_EQ(text("Text4"), QString());
    EXPECT_EQ(harness.remembered(app::kAccessPasswordKey), password);
    EXPECT_EQ(harness.remembered(app::kAccessPassword2Key), QStringLiteral("<absent>"))
        << "an empty text changes nothing, so nothing is written back";
}

TEST_F(StartUp, goesStraightToTheTableManagerWhenBothRememberedFilesOpen) {
    const auto one = harness.folder / "one.mdb";
    const auto two = harness.folder / "two.mdb";
    support::makeDatabase(one, {"Customers", "Orders"});
    support::makeDatabase(two, {"Archive"}, "pw");
    rememberBoth(one, two);
    harness.remember(app::kAccessPassword2Key, QStringLiteral("pw"));

    harness.start();

    EXPECT_TRUE(harness.boxes.shown().empty());
    ASSERT_TRUE(tableManagerShown());
    EXPECT_FALSE(harness.form1().isVisible());
    EXPECT_EQ(harness.in2<QListWidget>("List1").count(), 2);
    EXPECT_EQ(harness.in2<QListWidget>("List2").count(), 1);
}

TEST_F(StartUp, staysOnTheSelectionWindowWhenOnlyDatabaseOneStillExists) {
    const auto one = harness.folder / "one.mdb";
    support::makeDatabase(one, {"Customers"});
    rememberBoth(one, harness.folder / "deleted.mdb");

    harness.start();

    EXPECT_TRUE(harness.boxes.shown().empty());
    EXPECT_EQ(harness.program().loadedForm2(), nullptr);
    EXPECT_TRUE(harness.form1().isVisible());
    EXPECT_EQ(text("Text3"), harness.qpath(harness.folder / "deleted.mdb"));
}

TEST_F(StartUp, reportsADatabaseTwoThatWillNotOpenAndShowsTheSelectionWindow) {
    const auto one = harness.folder / "one.mdb";
    const auto two = harness.folder / "two.mdb";
    support::makeDatabase(one, {"Customers"});
    support::makeDatabase(two, {"Archive"}, "right");
    rememberBoth(one, two);
    harness.remember(app::kAccessPassword2Key, QStringLiteral("wrong"));
    harness.boxes.answerMessage();

    harness.start();

    ASSERT_EQ(harness.boxes.messages().size(), 1u);
    EXPECT_TRUE(harness.boxes.messages()[0].text.startsWith(harness.qpath(two) + "\r\n"));
    EXPECT_FALSE(tableManagerShown());
    EXPECT_TRUE(harness.form1().isVisible());
    EXPECT_TRUE(harness.program().globals().TableListFailed);
}

TEST_F(StartUp, withoutTheEngineReportsTheAutomaticNextThenTheEngineMessage) {
    const auto one = harness.folder / "one.mdb";
    support::makeDatabase(one, {"Customers"});
    rememberBoth(one, one);
    harness.factory.setConnectionClassAbsent(true);
    for (int box = 0; box < 4; ++box) harness.boxes.answerMessage();

    harness.start();

    const auto& shown = harness.boxes.messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_TRUE(shown[0].text.startsWith(harness.qpath(one) + "\r\n"));
    EXPECT_EQ(shown[1].text, QStringLiteral("Unable to access the database"));
    EXPECT_TRUE(shown[2].text.startsWith(harness.qpath(one) + "\r\n"));
    EXPECT_EQ(shown[3], app::MessageBoxRequest{.text = QString::fromLatin1(kEngineMissing)});
    EXPECT_TRUE(harness.form1().isVisible());
    EXPECT_FALSE(tableManagerShown());
}

TEST_F(StartUp, opensTheMakersSiteOnlyOnADrawOfSeven) {
    struct Draw {
        double value;
        size_t opened;
    };
    for (const Draw draw : {Draw{0.06, 1}, Draw{0.0699, 1}, Draw{0.0599, 0}, Draw{0.07, 0},
                            Draw{0.0, 0}, Draw{0.9999, 0}}) {
        support::ProgramHarness run;
        run.random.value = draw.value;
        run.start();
        EXPECT_EQ(run.random.seeds, 1);
        EXPECT_EQ(run.opener.opened.size(), draw.opened) << draw.value;
        if (draw.opened == 1) {
            EXPECT_EQ(run.opener.opened[0], QStringLiteral("https://www.quillmere.example/"));
        }
        EXPECT_TRUE(run.form1().isVisible()) << "start-up goes on";
    }
}

TEST_F(StartUp, keepsThePlainLookWithoutSkinOrPointerFilesAndTakesTheFaceColourWithASkin) {
    harness.start();
    EXPECT_EQ(harness.form1().palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(harness.in1<QLabel>("Label5").palette().color(QPalette::Window), QColor(Qt::white));

    support::ProgramHarness skinned;
    std::filesystem::create_directories(skinned.programFolder / "x");
    std::ofstream(skinned.programFolder / "x" / "o.cjs") << "skin";
    skinned.start();
    EXPECT_EQ(skinned.form1().palette().color(QPalette::Window), app::buttonFaceColor());
    EXPECT_EQ(skinned.in1<QGroupBox>("Frame2").palette().color(QPalette::Window),
              app::buttonFaceColor());
    EXPECT_EQ(skinned.in1<QLabel>("Label2").palette().color(QPalette::Window),
              app::buttonFaceColor());
}

TEST_F(StartUp, aDamagedPointerFileIsReportedAndStartUpGoesOn) {
    std::ofstream(harness.programFolder / "HAND-M.CUR") << "not a cursor";
    harness.remember(app::kAccessMDBFileKey, QStringLiteral("/data/one.mdb"));
    harness.boxes.answerMessage();

    harness.start();

    ASSERT_EQ(harness.boxes.messages().size(), 1u);
    const app::MessageBoxRequest& report = harness.boxes.messages()[0];
    EXPECT_EQ(report.title, QStringLiteral("Application Error"));
    EXPECT_TRUE(
        report.text.contains(QStringLiteral("in Ludovane2/19/2015.Form1.Form_Load at line 126")))
        << report.text.toStdString();
    EXPECT_EQ(text("Text1"), QStringLiteral("/data/one.mdb"));
    EXPECT_TRUE(harness.form1().isVisible());
}

}  // namespace
}  // namespace ui
