#include "ui/layouts/form1_layout.h"

#include "ui/layouts/controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace ui {

Form1Layout buildForm1Layout(QWidget& window) {
    using enum DesignedFont;
    designWindow(window, QStringLiteral("Form1"), QStringLiteral("Form1"), 8040, 3540, Arial9);

    Form1Layout layout{};
    layout.Frame1 = addFrame(window, QStringLiteral("Frame1"), QStringLiteral("Access Database #1"),
                             {120, 120, 7800, 1335}, Arial9Bold);
    layout.Label5 =
        addLabel(*layout.Frame1, QStringLiteral("Label5"), QStringLiteral("MDB or ACCDB File:"),
                 {240, 345, 1935, 255}, Arial9Bold);
    layout.Text1 =
        addTextBox(*layout.Frame1, QStringLiteral("Text1"), {2280, 300, 4695, 345}, Arial9Bold);
    layout.PushButton1 = addPushButton(*layout.Frame1, QStringLiteral("PushButton1"),
                                       QStringLiteral("..."), {7080, 300, 450, 345}, Arial1125Bold);
    layout.lblPassword =
        addLabel(*layout.Frame1, QStringLiteral("lblPassword"),
                 QStringLiteral("Password (if required):"), {240, 840, 1950, 225}, Arial9Bold);
    layout.Text2 =
        addPasswordBox(*layout.Frame1, QStringLiteral("Text2"), {2280, 800, 5265, 345}, Arial9Bold);

    layout.Frame2 =
        addFrame(window, QStringLiteral("Frame2"),
                 QStringLiteral("Access Database #2 (Can be the same file as Database #1)"),
                 {120, 1560, 7800, 1335}, Arial9Bold);
    layout.Label1 =
        addLabel(*layout.Frame2, QStringLiteral("Label1"), QStringLiteral("MDB or ACCDB File:"),
                 {240, 345, 1935, 255}, Arial9Bold);
    layout.Text3 =
        addTextBox(*layout.Frame2, QStringLiteral("Text3"), {2280, 300, 4695, 345}, Arial9Bold);
    layout.PushButton3 = addPushButton(*layout.Frame2, QStringLiteral("PushButton3"),
                                       QStringLiteral("..."), {7080, 300, 450, 345}, Arial1125Bold);
    layout.Label2 =
        addLabel(*layout.Frame2, QStringLiteral("Label2"),
                 QStringLiteral("Password (if required):"), {240, 840, 1950, 225}, Arial9Bold);
    layout.Text4 =
        addPasswordBox(*layout.Frame2, QStringLiteral("Text4"), {2280, 800, 5265, 345}, Arial9Bold);

    layout.PushButton4 = addPushButton(window, QStringLiteral("PushButton4"),
                                       QStringLiteral("Load Sample/Example Database"),
                                       {120, 3020, 3840, 405}, Arial1125Bold);
    layout.PushButton2 =
        addPushButton(window, QStringLiteral("PushButton2"), QStringLiteral("Next >"),
                      {4080, 3020, 3840, 405}, Arial1125Bold);

    setFocusOrder({layout.Text1, layout.PushButton1, layout.Text2, layout.Text3, layout.PushButton3,
                   layout.Text4, layout.PushButton2, layout.PushButton4});
    return layout;
}

}  // namespace ui
