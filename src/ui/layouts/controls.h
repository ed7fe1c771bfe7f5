// The pieces both designed windows are built from. Each control is named after its designed
// name (Text1, PushButton2, List1 ...), so code and tests find it with findChild, and placed at
// its designed rectangle in twips, relative to its container.
#pragma once

#include "ui/layouts/twips.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <initializer_list>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

namespace ui {

// Every designed font is Arial, not italic, not underlined.
enum class DesignedFont {
    Arial9,         // 9 points, normal weight
    Arial9Bold,     // 9 points, bold (weight 700)
    Arial1125Bold,  // 11.25 points, bold
};
QFont designedFont(DesignedFont font);

// The colour windows, frames and labels are designed with; the load steps may repaint them in
// the button-face colour.
QColor designedBackColor();

// Makes the window a fixed-size window of the designed client size, with its designed caption
// and font. Its title bar offers closing and minimising only.
void designWindow(QWidget& window, const QString& name, const QString& caption, int widthTwips,
                  int heightTwips, DesignedFont font);

QGroupBox* addFrame(QWidget& container, const QString& name, const QString& caption,
                    const TwipRect& rect, DesignedFont font);
QLabel* addLabel(QWidget& container, const QString& name, const QString& caption,
                 const TwipRect& rect, DesignedFont font);
QLineEdit* addTextBox(QWidget& container, const QString& name, const TwipRect& rect,
                      DesignedFont font);
// A text box that shows each character as "*" and hands out the characters themselves.
QLineEdit* addPasswordBox(QWidget& container, const QString& name, const TwipRect& rect,
                          DesignedFont font);
// A push button that Enter as well as Space presses while it has the focus.
QPushButton* addPushButton(QWidget& container, const QString& name, const QString& caption,
                           const TwipRect& rect, DesignedFont font);
// A list in which several entries can be selected at once, each click toggling one entry.
QListWidget* addListBox(QWidget& container, const QString& name, const TwipRect& rect,
                        DesignedFont font);
QProgressBar* addProgressBar(QWidget& container, const QString& name, const TwipRect& rect);

// Tab moves the focus through the controls in the order given.
void setFocusOrder(std::initializer_list<QWidget*> controls);

}  // namespace ui
