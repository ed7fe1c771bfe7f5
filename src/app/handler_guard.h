// The edge of the small event handlers that carry no error trap (text change, focus, pointer
// movement, unload). A failure there has no procedure or statement number to report; it must not
// end the program, and the user's input must stay where it is. guardHandler catches it, tells the
// user in one message and returns to the event loop.
//
//     connect(text1, &QLineEdit::textChanged, this, [this](const QString& text) {
//         guardHandler(m_boxes, [&] { SaveSetting(..., text); });
//     });
#pragma once

#include "app/failure_description.h"
#include "app/modal_boxes.h"

#include <QString>

#include <utility>

namespace app {

// The message shown for a failure at a handler's edge.
QString handlerFailureText(const QString& description);

// Shows that message: OK only, exclamation icon, the application title.
void reportHandlerFailure(ModalBoxes& boxes, const QString& description);

template <typename Handler>
void guardHandler(ModalBoxes& boxes, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        reportHandlerFailure(boxes, describeCurrentException());
    }
}

}  // namespace app
