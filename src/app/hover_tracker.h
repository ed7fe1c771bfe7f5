// Feeds a window's pointer movement into its hover rule (window_pointer.h). The window names the
// elements that have a pointer handler: its push buttons, and the elements that reset the pointer
// (its own background, text boxes, frames, lists). Elements it does not name change nothing, so
// the pointer keeps the kind it last had over them - a label inside a frame keeps the hand that a
// neighbouring button set, until the pointer reaches the frame itself.
#pragma once

#include <QHash>
#include <QObject>

class QWidget;

namespace app {

class WindowPointer;

class HoverTracker : public QObject {
    Q_OBJECT

public:
    HoverTracker(WindowPointer& pointer, QObject* parent = nullptr);

    void watchButton(QWidget& button);
    void watchResetElement(QWidget& element);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Role { Button, Reset };
    void watch(QWidget& element, Role role);
    void track(QWidget& widget, Role role);

    WindowPointer& m_pointer;
    QHash<const QObject*, Role> m_roles;
};

}  // namespace app
