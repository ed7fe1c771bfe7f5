#include "support/app/scripted_modal_boxes.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace support {
namespace {

using app::MessageAnswer;
using app::MessageButtons;

TEST(ScriptedModalBoxes, answersFromTheScriptAndRecordsEveryBoxInOrder) {
    ScriptedModalBoxes boxes;
    boxes.answerMessage(MessageAnswer::Yes);
    boxes.answerInput(QStringLiteral("Orders2"));
    boxes.answerOpenFile(std::nullopt);

    const app::MessageBoxRequest question{.text = QStringLiteral("Overwrite?"),
                                          .buttons = MessageButtons::YesNo};
    const app::InputBoxRequest rename{.prompt = QStringLiteral("New name:")};
    const app::OpenFileRequest browse{.title = QStringLiteral("Select Access Database")};
    EXPECT_EQ(boxes.message(question), MessageAnswer::Yes);
    EXPECT_EQ(boxes.input(rename), QStringLiteral("Orders2"));
    EXPECT_EQ(boxes.openFile(browse), std::nullopt);

    EXPECT_EQ(boxes.shown(), (std::vector<ShownBox>{question, rename, browse}));
    EXPECT_EQ(boxes.messages(), std::vector<app::MessageBoxRequest>{question});
}

TEST(ScriptedModalBoxes, failsTheTestOnABoxTheScriptDidNotExpectAndAnswersHarmlessly) {
    ScriptedModalBoxes boxes;
    MessageAnswer answer = MessageAnswer::Yes;
    EXPECT_NONFATAL_FAILURE(answer = boxes.message({.text = QStringLiteral("Delete Orders?"),
                                                    .buttons = MessageButtons::YesNo}),
                            "unexpected message box");
    EXPECT_EQ(answer, MessageAnswer::No);

    boxes.answerMessage();
    std::optional<QString> text = QStringLiteral("not cancelled");
    EXPECT_NONFATAL_FAILURE(text = boxes.input({.prompt = QStringLiteral("New name:")}),
                            "the script expects another kind of box");
    EXPECT_EQ(text, std::nullopt);
    EXPECT_EQ(boxes.message({.text = QStringLiteral("Done")}), MessageAnswer::Ok);
    EXPECT_EQ(boxes.shown().size(), 3u);

    boxes.answerMessage(MessageAnswer::Ok);
    EXPECT_NONFATAL_FAILURE(
        answer = boxes.message({.text = QStringLiteral("Sure?"), .buttons = MessageButtons::YesNo}),
        "does not fit the buttons");
    EXPECT_EQ(answer, MessageAnswer::No);
}

TEST(ScriptedModalBoxes, failsTheTestWhenScriptedAnswersAreLeftOver) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedModalBoxes boxes;
            boxes.answerMessage();
        },
        "1 scripted answer(s) left");
}

}  // namespace
}  // namespace support
