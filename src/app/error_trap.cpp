#include "app/error_trap.h"

#include "app/failure_description.h"

#include <cassert>
#include <exception>

namespace app {

QString errorReportText(const QString& description, const QString& location, int statement) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(statement) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromLatin1(kSupportAddress);
}

void reportError(ModalBoxes& boxes, const QString& description, const QString& location,
                 int statement) {
    boxes.message({.text = errorReportText(description, location, statement),
                   .title = QString::fromLatin1(kErrorReportTitle),
                   .buttons = MessageButtons::Ok,
                   .icon = MessageIcon::Exclamation});
}

TrappedProcedure::TrappedProcedure(ModalBoxes& boxes, QString location)
    : m_boxes(boxes), m_location(std::move(location)) {}

void TrappedProcedure::reportCurrentFailure() {
    assert(std::current_exception() != nullptr && "called outside a catch block");
    reportError(m_boxes, describeCurrentException(), m_location, m_statement);
}

}  // namespace app
