#include "app/handler_guard.h"

namespace app {

QString handlerFailureText(const QString& description) {
    return QStringLiteral("Corvanta could not complete this action.\r\n\r\n") + description +
           QStringLiteral("\r\n\r\nWhat you entered is still in the window; you can go on.");
}

void HandlerGuard::failed(const QString& description) {
    if (m_told.contains(description)) {
        return;
    }
    m_told.insert(description);
    m_boxes.notice({.text = handlerFailureText(description), .icon = MessageIcon::Exclamation});
}

}  // namespace app
