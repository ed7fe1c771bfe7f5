#include "app/error_trap.h"

#include "app/error_locations.h"
#include "app/handler_guard.h"
#include "support/app/scripted_modal_boxes.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace app {
namespace {

using support::ScriptedModalBoxes;

MessageBoxRequest reportBox(const QString& text) {
    return {.text = text,
            .title = QStringLiteral("Application Error"),
            .buttons = MessageButtons::Ok,
            .icon = MessageIcon::Exclamation};
}

TEST(ErrorReport, isTheDescriptionTheLocationLineAndTheSupportRequestByteForByte) {
    EXPECT_EQ(errorReportText(QStringLiteral("Not a valid password."),
                              QString::fromLatin1(location::kForm1FormLoad), 100)
                  .toStdString(),
              "Not a valid password.\r\n"
              "in Ludovane2/19/2015.Form1.Form_Load at line 100\r\r"
              "Please email screenshot of this message to support@quillmere.example");
}

TEST(ErrorReport, withAnEmptyDescriptionBeginsWithAnEmptyLine) {
    EXPECT_EQ(
        errorReportText(QString(), QString::fromLatin1(location::kForm2PushButton12Click), 100)
            .toStdString(),
        "\r\nin Ludovane2/19/2015.Form2.PushButton12_Click at line 100\r\r"
        "Please email screenshot of this message to support@quillmere.example");
}

TEST(TrappedProcedure, reportsTwoFailingStepsInTwoBoxesInOrderAndRunsEveryStep) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    boxes.answerMessage();
    std::vector<int> ran;

    TrappedProcedure procedure(boxes, QString::fromLatin1(location::kForm2PushButton3Click));
    procedure.step(100, [&] { ran.push_back(100); });
    procedure.step(102, [&] {
        ran.push_back(102);
        throw std::runtime_error("Could not find file 'C:\\a.mdb'.");
    });
    procedure.step(104, [&] { ran.push_back(104); });
    procedure.step(106, [&] {
        ran.push_back(106);
        throw std::out_of_range("Subscript out of range");
    });
    procedure.step(108, [&] { ran.push_back(108); });

    EXPECT_EQ(ran, (std::vector<int>{100, 102, 104, 106, 108}));
    const char* location = "in Ludovane2/19/201510/24/2013.Form2.PushButton3_Click ";
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.messages()[0],
              reportBox(errorReportText(QStringLiteral("Could not find file 'C:\\a.mdb'."),
                                        location, 102)));
    EXPECT_EQ(boxes.messages()[1],
              reportBox(errorReportText(QStringLiteral("Subscript out of range"), location, 106)));
}

TEST(TrappedProcedure, runsBothStatementsOfALineUnderItsNumber) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    boxes.answerMessage();
    TrappedProcedure procedure(boxes, QStringLiteral("in there "));
    QString caption;
    procedure.step(106, [&] { caption = QStringLiteral("Corvanta"); });
    procedure.step(106, [&] { throw std::runtime_error("no icon"); });
    procedure.step(108, [&] { throw std::runtime_error("later"); });

    EXPECT_EQ(caption, QStringLiteral("Corvanta"));
    ASSERT_EQ(boxes.messages().size(), 2u);
    EXPECT_TRUE(boxes.messages()[0].text.contains(QStringLiteral("at line 106\r\r")));
    EXPECT_TRUE(boxes.messages()[1].text.contains(QStringLiteral("at line 108\r\r")));
}

TEST(TrappedProcedure, aFailingTestRunsTheGuardedStepsAsIfItHadPassed) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    TrappedProcedure procedure(boxes, QString::fromLatin1(location::kForm1PushButton2Click));
    std::vector<int> ran;
    if (procedure.test(100, [&]() -> bool { throw std::runtime_error("Type mismatch"); })) {
        if (procedure.test(102, [] { return false; })) {
            ran.push_back(104);
        } else {
            ran.push_back(116);
        }
    } else {
        ran.push_back(118);
    }

    EXPECT_EQ(ran, std::vector<int>{116});
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text,
              errorReportText(QStringLiteral("Type mismatch"),
                              QString::fromLatin1(location::kForm1PushButton2Click), 100));
}

TEST(TrappedProcedure, aTestThatSucceedsReportsNothingAndGivesItsOutcome) {
    ScriptedModalBoxes boxes;
    TrappedProcedure procedure(boxes, QStringLiteral("in there "));
    EXPECT_FALSE(procedure.test(100, [] { return false; }));
    EXPECT_TRUE(procedure.test(102, [] { return true; }));
    EXPECT_TRUE(boxes.shown().empty());
}

// A routine without a trap of its own: it ends at the failure and the caller reports it.
void untrappedHelper(std::vector<QString>& done) {
    done.push_back(QStringLiteral("first half"));
    throw std::runtime_error("Unrecognized database format 'b.mdb'.");
}

TEST(TrappedProcedure, reportsAFailureInsideAnUntrappedHelperUnderTheCallersNumber) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    std::vector<QString> done;
    TrappedProcedure procedure(boxes, QString::fromLatin1(location::kForm2PushButton5Click));
    procedure.step(116, [&] { done.push_back(QStringLiteral("116")); });
    procedure.step(118, [&] {
        untrappedHelper(done);
        done.push_back(QStringLiteral("after the helper"));
    });
    procedure.step(120, [&] { done.push_back(QStringLiteral("120")); });

    EXPECT_EQ(done, (std::vector<QString>{QStringLiteral("116"), QStringLiteral("first half"),
                                          QStringLiteral("120")}));
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text,
              errorReportText(QStringLiteral("Unrecognized database format 'b.mdb'."),
                              QString::fromLatin1(location::kForm2PushButton5Click), 118));
}

TEST(TrappedProcedure, aNestedTrappedProcedureReportsUnderItsOwnLocationAndItsCallerGoesOn) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    std::vector<int> callerSteps;
    TrappedProcedure caller(boxes, QString::fromLatin1(location::kForm1PushButton2Click));
    caller.step(106, [&] {
        TrappedProcedure lister(boxes,
                                QString::fromLatin1(location::kAccessAddTablesToAccessListbox));
        lister.step(110, [] { throw std::runtime_error("Invalid use of Null"); });
        callerSteps.push_back(106);
    });
    caller.step(108, [&] { callerSteps.push_back(108); });

    EXPECT_EQ(callerSteps, (std::vector<int>{106, 108}));
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text,
              errorReportText(QStringLiteral("Invalid use of Null"),
                              QString::fromLatin1(location::kAccessAddTablesToAccessListbox), 110));
}

TEST(TrappedProcedure, describesEveryKindOfFailure) {
    struct CustomFailure : std::exception {
        const char* what() const noexcept override { return "Datei nicht gefunden: Bücher.mdb"; }
    };
    ScriptedModalBoxes boxes;
    boxes.answerMessage();
    boxes.answerMessage();
    TrappedProcedure procedure(boxes, QStringLiteral("in there "));
    procedure.step(100, [] { throw CustomFailure(); });
    procedure.step(102, [] { throw 42; });

    ASSERT_EQ(boxes.messages().size(), 2u);
    EXPECT_TRUE(boxes.messages()[0].text.startsWith(
        QStringLiteral("Datei nicht gefunden: Bücher.mdb\r\n")));
    EXPECT_TRUE(
        boxes.messages()[1].text.startsWith(QStringLiteral("An unknown failure occurred.\r\n")));
}

TEST(ErrorLocations, spellEveryTrappedProcedureExactly) {
    const std::pair<const char*, const char*> expected[] = {
        {location::kForm1FormLoad, "in Ludovane2/19/2015.Form1.Form_Load "},
        {location::kForm1PushButton1Click, "in Ludovane2/19/2015.Form1.PushButton1_Click "},
        {location::kForm1PushButton2Click, "in Ludovane2/19/2015.Form1.PushButton2_Click "},
        {location::kForm1PushButton3Click, "in Ludovane2/19/2015.Form1.PushButton3_Click "},
        {location::kForm1PushButton4Click, "in Ludovane2/19/2015.Form1.PushButton4_Click "},
        {location::kForm2PushButton1Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton1_Click "},
        {location::kForm2PushButton2Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton2_Click "},
        {location::kForm2PushButton6Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton6_Click "},
        {location::kForm2PushButton7Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton7_Click "},
        {location::kForm2PushButton11Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton11_Click "},
        {location::kForm2PushButton12Click, "in Ludovane2/19/2015.Form2.PushButton12_Click "},
        {location::kForm2PushButton3Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton3_Click "},
        {location::kForm2PushButton8Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton8_Click "},
        {location::kForm2PushButton4Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton4_Click "},
        {location::kForm2PushButton9Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton9_Click "},
        {location::kForm2PushButton5Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton5_Click "},
        {location::kForm2PushButton10Click,
         "in Ludovane2/19/201510/24/2013.Form2.PushButton10_Click "},
        {location::kAccessAddTablesToAccessListbox,
         "in Ludovane2/19/2015.Access.AddTablesToAccessListbox "},
        {location::kAccessAddTablesToAccessListbox2,
         "in Ludovane2/19/2015.Access.AddTablesToAccessListbox2 "},
    };
    ASSERT_EQ(std::size(expected), 19u);
    for (const auto& [constant, text] : expected) {
        EXPECT_STREQ(constant, text);
    }
}

TEST(HandlerGuard, tellsAFailureInANoticeOnceUntilAHandlerRunsThrough) {
    ScriptedModalBoxes boxes;
    HandlerGuard guard(boxes);
    const auto refused = [] { throw std::runtime_error("The settings file x cannot be written."); };
    const auto other = [] { throw std::runtime_error("The settings folder y cannot be created."); };

    for (int key = 0; key < 5; ++key) guard.run(refused);
    guard.run(other);
    guard.run(refused);
    ASSERT_EQ(boxes.notices().size(), 2u) << "once for each failure";
    EXPECT_TRUE(boxes.messages().empty()) << "nothing waits for an answer";
    const NoticeRequest notice = boxes.notices()[0];
    EXPECT_EQ(notice.title, QStringLiteral("Corvanta"));
    EXPECT_EQ(notice.icon, MessageIcon::Exclamation);
    EXPECT_EQ(notice.text,
              handlerFailureText(QStringLiteral("The settings file x cannot be written.")));
    EXPECT_TRUE(notice.text.contains(QStringLiteral("The settings file x cannot be written.")));
    EXPECT_TRUE(boxes.notices()[1].text.contains(QStringLiteral("folder y")));

    int ran = 0;
    guard.run([&] { ++ran; });
    guard.run(refused);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(boxes.notices().size(), 3u) << "told again after a handler ran through";
}

}  // namespace
}  // namespace app
