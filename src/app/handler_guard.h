// The edge of the small event handlers that carry no error trap (text change, focus, pointer
// movement, unload). A failure there has no procedure or statement number to report; it must not
// end the program, and the user's input must stay where it is. A HandlerGuard catches it and
// tells the user in a notice, which leaves the keyboard with the text box the user is typing
// into, so no key goes astray.
//
// A failure told once is not told again until a guarded handler has run through: a settings
// store that refuses every write would otherwise raise a notice at every key.
//
//     HandlerGuard m_guard{boxes};
//     connect(text1, &QLineEdit::textChanged, this, [this](const QString& text) {
//         m_guard.run([&] { SaveSetting(..., text); });
//     });
#pragma once

#include "app/failure_description.h"
#include "app/modal_boxes.h"

#include <QSet>
#include <QString>

#include <utility>

namespace app {

// The message shown for a failure at a handler's edge.
QString handlerFailureText(const QString& description);

class HandlerGuard {
public:
    explicit HandlerGuard(ModalBoxes& boxes) : m_boxes(boxes) {}

    template <typename Handler>
    void run(Handler&& handler) {
        try {
            std::forward<Handler>(handler)();
        } catch (...) {
            failed(describeCurrentException());
            return;
        }
        m_told.clear();
    }

private:
    // Shows the notice (OK only, exclamation icon, the application title), unless this failure
    // has been told since a handler last ran through.
    void failed(const QString& description);

    ModalBoxes& m_boxes;
    QSet<QString> m_told;  // the descriptions of the failures told
};

}  // namespace app
