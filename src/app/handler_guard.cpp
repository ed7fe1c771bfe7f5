#include "app/handler_guard.h"

namespace app {

QString handlerFailureText(const QString& description) {
    return QStringLiteral("Corvanta could not complete this action.\r\n\r\n") + description +
           QStringLiteral("\r\n\r\nWhat you entered is still in the window; you can go on.");
}

void reportHandlerFailure(ModalBoxes& boxes, const QString& description) {
    boxes.message({.text = handlerFailureText(description),
                   .buttons = MessageButtons::Ok,
                   .icon = MessageIcon::Exclamation});
}

}  // namespace app
