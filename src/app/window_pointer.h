// The pointer setting of one window, and the hover rule every window follows.
//
// A window has one pointer kind, which decides the pointer shown over the window, its push
// buttons, frames and labels (text boxes keep their own text cursor):
//
//   kind     value  shows
//   default     0   the ordinary arrow
//   busy       11   the hourglass; set and cleared only by the long-running commands
//   custom     99   the window's custom pointer image (the hand), or the arrow when it has none
//
// The hover rule: pointer movement over a push button makes the kind custom, movement over the
// window background or an element with a reset handler makes it default - in both cases unless
// the kind is busy, which the rule never overrides.
#pragma once

#include <QCursor>

#include <optional>

class QWidget;

namespace app {

enum class PointerKind : int { Default = 0, Busy = 11, Custom = 99 };

class WindowPointer {
public:
    explicit WindowPointer(QWidget& window);
    WindowPointer(const WindowPointer&) = delete;
    WindowPointer& operator=(const WindowPointer&) = delete;

    PointerKind kind() const { return m_kind; }
    void setKind(PointerKind kind);

    bool hasCustomImage() const { return m_customImage.has_value(); }
    void setCustomImage(const QCursor& image);

    // The hover rule.
    void pointerOverButton();
    void pointerOverBackground();

private:
    void show();

    QWidget& m_window;
    PointerKind m_kind = PointerKind::Default;
    std::optional<QCursor> m_customImage;
};

}  // namespace app
