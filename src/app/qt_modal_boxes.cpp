#include "app/qt_modal_boxes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace app {
namespace {

// The program's texts break lines with a carriage return and a line feed, or with a lone
// carriage return; a Qt label breaks them at line feeds.
QString displayedMessageText(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

// QMessageBox wraps its text at half the screen's width (500 pixels at most), so a line of a
// message breaks even where the screen has room for the whole line: an error report's statement
// number, or an address, would stand on a line of its own. The text is given at least the width
// of its widest line, as far as the box may grow on this screen (the whole width of a screen up
// to 1024 pixels wide, else 480 pixels less, and 1000 at most, as QMessageBox allows), so each
// line stays one line. Only a line wider than that still wraps.
void keepLinesWhole(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box.screen();
    if (label == nullptr || screen == nullptr) {
        return;
    }
    const QFontMetricsF metrics(label->font());
    qreal widest = 0;
    for (const QString& line : box.text().split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const int screenWidth = screen->availableGeometry().width();
    const int boxLimit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    // What the box holds beside the text: its margins, and the icon with its spacing.
    const int beside = box.layout() == nullptr ? 0
                                               : box.layout()->totalMinimumSize().width() -
                                                     label->minimumSizeHint().width();
    // A pixel or two more than the advance, so that rounding never pushes a word over.
    const int wanted = static_cast<int>(std::ceil(widest)) + 2;
    label->setMinimumWidth(std::max(0, std::min(wanted, boxLimit - beside)));
}

// Gives a message box its title, text and icon.
void fillIn(QMessageBox& box, const QString& title, const QString& text, MessageIcon icon) {
    box.setWindowTitle(title);
    // Descriptions of failures come from databases and files; they are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(displayedMessageText(text));
    box.setIcon(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    keepLinesWhole(box);
}

// Hands the keyboard back to the window that had it when a notice came up, should the platform
// make the notice the active window on its own (a window manager that ignores the request to
// show it inactive, or a platform that activates every window it shows). Once the user presses
// a key or a mouse button on the notice, the notice is theirs and the keeper goes.
class KeyboardKeeper : public QObject {
public:
    KeyboardKeeper(QWidget& notice, QWidget* typingWindow)
        : QObject(&notice), m_typingWindow(typingWindow) {
        notice.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::WindowActivate:
                if (m_typingWindow != nullptr && m_typingWindow->isVisible()) {
                    m_typingWindow->activateWindow();
                }
                [[fallthrough]];
            case QEvent::MouseButtonPress:
            case QEvent::KeyPress:
                watched->removeEventFilter(this);
                deleteLater();
                break;
            default:
                break;
        }
        return false;
    }

private:
    QPointer<QWidget> m_typingWindow;
};

// The type-list entry QFileDialog understands: "description (patterns)", patterns separated by
// blanks.
QString qtNameFilter(const FileFilter& filter) {
    QString patterns = filter.patterns;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

}  // namespace

MessageAnswer QtModalBoxes::message(const MessageBoxRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    fillIn(box, request.title, request.text, request.icon);
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.exec();
        return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes
                                                                   : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

void QtModalBoxes::notice(const NoticeRequest& request) {
    QWidget* const typingWindow = QApplication::activeWindow();
    auto* box = new QMessageBox(typingWindow);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    new KeyboardKeeper(*box, typingWindow);
    box->setWindowModality(Qt::NonModal);
    fillIn(*box, request.title, request.text, request.icon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->show();
}

std::optional<QString> QtModalBoxes::input(const InputBoxRequest& request) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(displayedMessageText(request.prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(request.defaultAnswer);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

// Qt's chooser has no read-only tick box; explorer style and long file names are how it always
// works, so the flags need no translation.
std::optional<QString> QtModalBoxes::openFile(const OpenFileRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList nameFilters;
    for (const auto& filter : request.filters) {
        nameFilters.append(qtNameFilter(filter));
    }
    dialog.setNameFilters(nameFilters);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(QDir(chosen.first()).absolutePath());
}

}  // namespace app
