#include "ui/layouts/controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

namespace ui {
namespace {

template <typename Control>
Control* place(Control* control, const QString& name, const TwipRect& rect) {
    control->setObjectName(name);
    const QWidget* window = control->window();
    control->setGeometry(TwipScale::of(*window).pixels(rect));
    return control;
}

void paintDesignedBackground(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, designedBackColor());
    widget.setPalette(palette);
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

}  // namespace

QFont designedFont(DesignedFont font) {
    QFont arial(QStringLiteral("Arial"));
    arial.setItalic(false);
    arial.setUnderline(false);
    switch (font) {
        case DesignedFont::Arial9:
            arial.setPointSizeF(9);
            arial.setWeight(QFont::Normal);
            break;
        case DesignedFont::Arial9Bold:
            arial.setPointSizeF(9);
            arial.setWeight(QFont::Bold);
            break;
        case DesignedFont::Arial1125Bold:
            arial.setPointSizeF(11.25);
            arial.setWeight(QFont::Bold);
            break;
    }
    return arial;
}

QColor designedBackColor() { return Qt::white; }

void designWindow(QWidget& window, const QString& name, const QString& caption, int widthTwips,
                  int heightTwips, DesignedFont font) {
    window.setObjectName(name);
    window.setWindowTitle(caption);
    window.setFont(designedFont(font));
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const TwipScale scale = TwipScale::of(window);
    window.setFixedSize(scale.pixelsAcross(widthTwips), scale.pixelsDown(heightTwips));
    paintDesignedBackground(window);
}

QGroupBox* addFrame(QWidget& container, const QString& name, const QString& caption,
                    const TwipRect& rect, DesignedFont font) {
    auto* frame = place(new QGroupBox(caption, &container), name, rect);
    frame->setFont(designedFont(font));
    paintDesignedBackground(*frame);
    return frame;
}

QLabel* addLabel(QWidget& container, const QString& name, const QString& caption,
                 const TwipRect& rect, DesignedFont font) {
    auto* label = place(new QLabel(caption, &container), name, rect);
    label->setFont(designedFont(font));
    label->setTextFormat(Qt::PlainText);
    paintDesignedBackground(*label);
    return label;
}

QLineEdit* addTextBox(QWidget& container, const QString& name, const TwipRect& rect,
                      DesignedFont font) {
    auto* textBox = place(new QLineEdit(&container), name, rect);
    textBox->setFont(designedFont(font));
    return textBox;
}

QLineEdit* addPasswordBox(QWidget& container, const QString& name, const TwipRect& rect,
                          DesignedFont font) {
    QLineEdit* passwordBox = addTextBox(container, name, rect, font);
    passwordBox->setEchoMode(QLineEdit::Password);
    // The style's own mask character is a dot on most platforms.
    passwordBox->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    return passwordBox;
}

QPushButton* addPushButton(QWidget& container, const QString& name, const QString& caption,
                           const TwipRect& rect, DesignedFont font) {
    auto* button = place(new QPushButton(caption, &container), name, rect);
    button->setFont(designedFont(font));
    // Enter, like Space, presses the button that has the focus.
    button->setAutoDefault(true);
    return button;
}

QListWidget* addListBox(QWidget& container, const QString& name, const TwipRect& rect,
                        DesignedFont font) {
    auto* list = place(new QListWidget(&container), name, rect);
    list->setFont(designedFont(font));
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    // Every entry is one line of text in the list's font, so the view need not measure each
    // one: a list of thousands of tables is laid out at once.
    list->setUniformItemSizes(true);
    return list;
}

QProgressBar* addProgressBar(QWidget& container, const QString& name, const TwipRect& rect) {
    auto* bar = place(new QProgressBar(&container), name, rect);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

void setFocusOrder(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
}

}  // namespace ui
