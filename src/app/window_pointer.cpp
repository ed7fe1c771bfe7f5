#include "app/window_pointer.h"

#include <QWidget>

namespace app {

WindowPointer::WindowPointer(QWidget& window) : m_window(window) {}

void WindowPointer::setKind(PointerKind kind) {
    m_kind = kind;
    show();
}

void WindowPointer::setCustomImage(const QCursor& image) {
    m_customImage = image;
    show();
}

void WindowPointer::pointerOverButton() {
    if (m_kind != PointerKind::Busy) {
        setKind(PointerKind::Custom);
    }
}

void WindowPointer::pointerOverBackground() {
    if (m_kind != PointerKind::Busy) {
        setKind(PointerKind::Default);
    }
}

void WindowPointer::show() {
    switch (m_kind) {
        case PointerKind::Busy:
            m_window.setCursor(Qt::WaitCursor);
            return;
        case PointerKind::Custom:
            if (m_customImage) {
                m_window.setCursor(*m_customImage);
            } else {
                m_window.unsetCursor();
            }
            return;
        case PointerKind::Default:
            m_window.unsetCursor();
            return;
    }
}

}  // namespace app
