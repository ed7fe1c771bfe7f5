#include "app/qt_modal_boxes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

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
    box.setWindowTitle(request.title);
    // Descriptions of failures come from databases and files; they are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(displayedMessageText(request.text));
    box.setIcon(request.icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                         : QMessageBox::NoIcon);
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
