#include "support/app/scripted_modal_boxes.h"

#include <gtest/gtest.h>
#include <sstream>

namespace app {
namespace {

// Shows line breaks and other control characters, so that texts compare visibly.
std::string visible(const QString& text) {
    std::string shown = "\"";
    for (const char character : text.toStdString()) {
        switch (character) {
            case '\r':
                shown += "\\r";
                break;
            case '\n':
                shown += "\\n";
                break;
            case '"':
                shown += "\\\"";
                break;
            default:
                shown += character;
        }
    }
    return shown + "\"";
}

}  // namespace

void PrintTo(const MessageBoxRequest& request, std::ostream* out) {
    *out << "message box {text " << visible(request.text) << ", title " << visible(request.title)
         << ", buttons " << (request.buttons == MessageButtons::YesNo ? "Yes/No" : "OK")
         << ", icon " << (request.icon == MessageIcon::Exclamation ? "exclamation" : "none") << "}";
}

void PrintTo(const NoticeRequest& request, std::ostream* out) {
    *out << "notice {text " << visible(request.text) << ", title " << visible(request.title)
         << ", icon " << (request.icon == MessageIcon::Exclamation ? "exclamation" : "none") << "}";
}

void PrintTo(const InputBoxRequest& request, std::ostream* out) {
    *out << "input box {prompt " << visible(request.prompt) << ", title " << visible(request.title)
         << ", default " << visible(request.defaultAnswer) << "}";
}

void PrintTo(const OpenFileRequest& request, std::ostream* out) {
    *out << "file-open dialog {title " << visible(request.title) << ", filters [";
    for (const auto& filter : request.filters) {
        *out << visible(filter.description) << " " << visible(filter.patterns) << "; ";
    }
    *out << "], flags 0x" << std::hex << request.flags << std::dec << "}";
}

}  // namespace app

namespace support {
namespace {

std::string describe(const ShownBox& box) {
    std::ostringstream out;
    std::visit([&](const auto& request) { app::PrintTo(request, &out); }, box);
    return out.str();
}

}  // namespace

ScriptedModalBoxes::~ScriptedModalBoxes() {
    if (!m_script.empty()) {
        ADD_FAILURE() << m_script.size() << " scripted answer(s) left for boxes never shown";
    }
}

void ScriptedModalBoxes::answerMessage(app::MessageAnswer answer) {
    m_script.push_back({.kind = Kind::Message, .message = answer});
}

void ScriptedModalBoxes::answerInput(std::optional<QString> answer) {
    m_script.push_back({.kind = Kind::Input, .text = std::move(answer)});
}

void ScriptedModalBoxes::answerOpenFile(std::optional<QString> answer) {
    m_script.push_back({.kind = Kind::OpenFile, .text = std::move(answer)});
}

bool ScriptedModalBoxes::take(Kind kind, const ShownBox& box, Scripted& answer) {
    m_shown.push_back(box);
    if (whileShown) {
        whileShown();
    }
    if (m_script.empty() || m_script.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << describe(box)
                      << (m_script.empty() ? " (no answer scripted)"
                                           : " (the script expects another kind of box)");
        return false;
    }
    answer = std::move(m_script.front());
    m_script.pop_front();
    return true;
}

app::MessageAnswer ScriptedModalBoxes::message(const app::MessageBoxRequest& request) {
    const app::MessageAnswer harmless = request.buttons == app::MessageButtons::YesNo
                                            ? app::MessageAnswer::No
                                            : app::MessageAnswer::Ok;
    m_messages.push_back(request);
    Scripted answer{.kind = Kind::Message};
    if (!take(Kind::Message, request, answer)) {
        return harmless;
    }
    const bool fits = (request.buttons == app::MessageButtons::YesNo) ==
                      (answer.message != app::MessageAnswer::Ok);
    if (!fits) {
        ADD_FAILURE() << "the scripted answer does not fit the buttons of " << describe(request);
        return harmless;
    }
    return answer.message;
}

void ScriptedModalBoxes::notice(const app::NoticeRequest& request) {
    m_notices.push_back(request);
    m_shown.push_back(request);
    if (whileShown) {
        whileShown();
    }
}

std::optional<QString> ScriptedModalBoxes::input(const app::InputBoxRequest& request) {
    Scripted answer{.kind = Kind::Input};
    return take(Kind::Input, request, answer) ? answer.text : std::nullopt;
}

std::optional<QString> ScriptedModalBoxes::openFile(const app::OpenFileRequest& request) {
    Scripted answer{.kind = Kind::OpenFile};
    return take(Kind::OpenFile, request, answer) ? answer.text : std::nullopt;
}

}  // namespace support
