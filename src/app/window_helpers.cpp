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
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        throw std::runtime_error("There is no screen to centre the window on.");
    }
    const QRect area = screen->geometry();
    const QPointF position = centredPosition(area.size(), window.frameGeometry().size());
    window.move(area.left() + static_cast<int>(std::floor(position.x())),
                area.top() + static_cast<int>(std::floor(position.y())));
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
