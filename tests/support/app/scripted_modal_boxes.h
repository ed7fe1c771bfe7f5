// Modal boxes for tests: every box shown is recorded in order, and each is answered from a
// script queued beforehand (a notice wants no answer). A box the script does not expect - none
// queued, or one of another kind - fails the test and gets a harmless answer (OK, No or cancel).
// Answers still queued when the object dies fail the test too.
#pragma once

#include "app/modal_boxes.h"

#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <variant>
#include <vector>

namespace support {

using ShownBox = std::variant<app::MessageBoxRequest, app::NoticeRequest, app::InputBoxRequest,
                              app::OpenFileRequest>;

class ScriptedModalBoxes : public app::ModalBoxes {
public:
    ScriptedModalBoxes() = default;
    ScriptedModalBoxes(const ScriptedModalBoxes&) = delete;
    ScriptedModalBoxes& operator=(const ScriptedModalBoxes&) = delete;
    ~ScriptedModalBoxes() override;

    // Queue the answer to the next box, which must be of the kind named.
    void answerMessage(app::MessageAnswer answer = app::MessageAnswer::Ok);
    void answerInput(std::optional<QString> answer);
    void answerOpenFile(std::optional<QString> answer);

    // Every box shown so far, in order.
    const std::vector<ShownBox>& shown() const { return m_shown; }
    // The message boxes among them, in order.
    const std::vector<app::MessageBoxRequest>& messages() const { return m_messages; }
    // The notices among them, in order.
    const std::vector<app::NoticeRequest>& notices() const { return m_notices; }
    // Forgets the boxes shown so far (the script stays).
    void clearShown() {
        m_shown.clear();
        m_messages.clear();
        m_notices.clear();
    }

    // Called whenever a box is shown, to look at the program while the box waits for its answer.
    std::function<void()> whileShown;

    app::MessageAnswer message(const app::MessageBoxRequest& request) override;
    // A notice needs no answer: it is only recorded.
    void notice(const app::NoticeRequest& request) override;
    std::optional<QString> input(const app::InputBoxRequest& request) override;
    std::optional<QString> openFile(const app::OpenFileRequest& request) override;

private:
    enum class Kind { Message, Input, OpenFile };
    struct Scripted {
        Kind kind;
        app::MessageAnswer message = app::MessageAnswer::Ok;  // for a message box
        std::optional<QString> text = std::nullopt;           // for the other boxes
    };

    // Records the box and takes the next queued answer into `answer` when it is for this kind
    // of box; otherwise records a test failure and returns false.
    bool take(Kind kind, const ShownBox& box, Scripted& answer);

    std::deque<Scripted> m_script;
    std::vector<ShownBox> m_shown;
    std::vector<app::MessageBoxRequest> m_messages;
    std::vector<app::NoticeRequest> m_notices;
};

}  // namespace support

// Readable test output for the requests (found by argument-dependent look-up).
namespace app {
void PrintTo(const MessageBoxRequest& request, std::ostream* out);
void PrintTo(const NoticeRequest& request, std::ostream* out);
void PrintTo(const InputBoxRequest& request, std::ostream* out);
void PrintTo(const OpenFileRequest& request, std::ostream* out);
}  // namespace app
