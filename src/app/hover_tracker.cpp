#include "app/hover_tracker.h"

#include "app/window_pointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace app {

HoverTracker::HoverTracker(WindowPointer& pointer, QObject* parent)
    : QObject(parent), m_pointer(pointer) {}

void HoverTracker::watchButton(QWidget& button) { watch(button, Role::Button); }

void HoverTracker::watchResetElement(QWidget& element) { watch(element, Role::Reset); }

void HoverTracker::watch(QWidget& element, Role role) {
    track(element, role);
    // A list receives the pointer over its items through its viewport.
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(&element)) {
        track(*scrollArea->viewport(), role);
    }
}

void HoverTracker::track(QWidget& widget, Role role) {
    widget.setMouseTracking(true);
    widget.installEventFilter(this);
    m_roles.insert(&widget, role);
    connect(&widget, &QObject::destroyed, this, [this](QObject* gone) { m_roles.remove(gone); });
}

bool HoverTracker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove) {
        return false;
    }
    const auto role = m_roles.constFind(watched);
    if (role == m_roles.constEnd()) {
        return false;
    }
    // A movement that a child left unhandled travels on to its parent; it belongs to the child,
    // which has a handler of its own or none.
    const auto* widget = static_cast<const QWidget*>(watched);
    const auto* move = static_cast<const QMouseEvent*>(event);
    if (widget->childAt(move->position().toPoint()) != nullptr) {
        return false;
    }
    if (*role == Role::Button) {
        m_pointer.pointerOverButton();
    } else {
        m_pointer.pointerOverBackground();
    }
    return false;
}

}  // namespace app
