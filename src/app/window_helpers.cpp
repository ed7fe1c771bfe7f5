#include "app/window_helpers.h"

#include "app/program_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <stdexcept>
#include <sys/stat.h>

namespace app {
namespace {

bool takesFaceColor(const QWidget* control) {
    return qobject_cast<const QLabel*>(control) != nullptr ||
           qobject_cast<const QGroupBox*>(control) != nullptr ||
           qobject_cast<const QCheckBox*>(control) != nullptr ||
           qobject_cast<const QRadioButton*>(control) != nullptr;
}

// Places the window's outer frame, of the given size, in the middle of its screen.
void placeCentred(QWidget& window, const QSizeF& outer) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        throw std::runtime_error("There is no screen to centre the window on.");
    }
    const QRect area = screen->geometry();
    const QPointF position = centredPosition(area.size(), outer);
    window.move(area.left() + static_cast<int>(std::floor(position.x())),
                area.top() + static_cast<int>(std::floor(position.y())));
}

bool isFramed(const QWidget& window) { return window.frameGeometry().size() != window.size(); }

// Centres a window once more, on its outer frame, when the window system first tells the frame
// around it: the inner size it was centred with, and the frame's borders and title bar.
class FrameCentring : public QObject {
public:
    static constexpr char kName[] = "centring on the frame";

    FrameCentring(QWidget& window, QSize inner)
        : QObject(&window), m_window(window), m_inner(inner) {
        setObjectName(QString::fromLatin1(kName));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Paint:
                if (watched == &m_window && isFramed(m_window)) {
                    m_window.removeEventFilter(this);
                    placeCentred(m_window,
                                 m_inner + (m_window.frameGeometry().size() - m_window.size()));
                    deleteLater();
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    QWidget& m_window;
    QSize m_inner;
};

void paintBackground(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

}  // namespace

QPointF centredPosition(const QSizeF& screen, const QSizeF& window) {
    const double left = (screen.width() - window.width()) / 2.0;
    const double top = (screen.height() - window.height()) / 2.0;
    return {left, top};
}

void CenterForm(QWidget& window) {
    placeCentred(window, window.frameGeometry().size());
    delete window.findChild<QObject*>(QString::fromLatin1(FrameCentring::kName),
                                      Qt::FindDirectChildrenOnly);
    if (!isFramed(window)) {
        new FrameCentring(window, window.size());
    }
}

bool FileExists(const QString& path) noexcept {
    try {
        // A NUL would cut the path short, and the system would answer for another path.
        if (path.isEmpty() || path.contains(QChar(0))) {
            return false;
        }
        const QByteArray encoded = QFile::encodeName(path);
        struct stat status {};
        return ::stat(encoded.constData(), &status) == 0;
    } catch (...) {
        return false;
    }
}

QColor buttonFaceColor() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

void ApplyFaceColor(QWidget& window) {
    const QColor face = buttonFaceColor();
    paintBackground(window, face);
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (takesFaceColor(control)) {
            paintBackground(*control, face);
        }
    }
}

void ApplySkin(QWidget& selectionWindow) {
    if (!QFileInfo(pathBesideProgram(QString::fromLatin1(kSkinFile))).isFile()) {
        return;
    }
    ApplyFaceColor(selectionWindow);
}

}  // namespace app
