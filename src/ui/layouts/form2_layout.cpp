#include "ui/layouts/form2_layout.h"

#include "ui/layouts/controls.h"

#include <QGroupBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace ui {

Form2Layout buildForm2Layout(QWidget& window) {
    using enum DesignedFont;
    designWindow(window, QStringLiteral("Form2"), QStringLiteral("Form2"), 8040, 5520, Arial9Bold);

    Form2Layout layout{};
    layout.Frame1 = addFrame(window, QStringLiteral("Frame1"), QStringLiteral("Access #1 Tables"),
                             {120, 120, 3840, 4215}, Arial9Bold);
    layout.List1 =
        addListBox(*layout.Frame1, QStringLiteral("List1"), {240, 360, 3330, 1635}, Arial9Bold);
    layout.PushButton1 =
        addPushButton(*layout.Frame1, QStringLiteral("PushButton1"), QStringLiteral("Select All"),
                      {240, 2100, 1600, 400}, Arial1125Bold);
    layout.PushButton2 =
        addPushButton(*layout.Frame1, QStringLiteral("PushButton2"), QStringLiteral("Deselect All"),
                      {1960, 2100, 1605, 405}, Arial1125Bold);
    layout.PushButton3 =
        addPushButton(*layout.Frame1, QStringLiteral("PushButton3"),
                      QStringLiteral("Send To Access #2"), {240, 2600, 3330, 400}, Arial1125Bold);
    layout.PushButton4 =
        addPushButton(*layout.Frame1, QStringLiteral("PushButton4"),
                      QStringLiteral("Delete Table(s)"), {240, 3100, 3330, 400}, Arial1125Bold);
    layout.PushButton5 =
        addPushButton(*layout.Frame1, QStringLiteral("PushButton5"), QStringLiteral("Rename Table"),
                      {240, 3600, 3330, 400}, Arial1125Bold);

    layout.Frame2 = addFrame(window, QStringLiteral("Frame2"), QStringLiteral("Access #2 Tables"),
                             {4080, 120, 3840, 4215}, Arial9Bold);
    layout.List2 =
        addListBox(*layout.Frame2, QStringLiteral("List2"), {240, 360, 3330, 1635}, Arial9Bold);
    layout.PushButton6 =
        addPushButton(*layout.Frame2, QStringLiteral("PushButton6"), QStringLiteral("Select All"),
                      {240, 2100, 1600, 400}, Arial1125Bold);
    layout.PushButton7 =
        addPushButton(*layout.Frame2, QStringLiteral("PushButton7"), QStringLiteral("Deselect All"),
                      {1960, 2100, 1600, 400}, Arial1125Bold);
    layout.PushButton8 =
        addPushButton(*layout.Frame2, QStringLiteral("PushButton8"),
                      QStringLiteral("Send To Access #1"), {240, 2600, 3330, 400}, Arial1125Bold);
    layout.PushButton9 =
        addPushButton(*layout.Frame2, QStringLiteral("PushButton9"),
                      QStringLiteral("Delete Table(s)"), {240, 3100, 3330, 400}, Arial1125Bold);
    layout.PushButton10 =
        addPushButton(*layout.Frame2, QStringLiteral("PushButton10"),
                      QStringLiteral("Rename Table"), {240, 3600, 3330, 400}, Arial1125Bold);

    layout.ProgressBar1 =
        addProgressBar(window, QStringLiteral("ProgressBar1"), {120, 4455, 7800, 405});
    layout.PushButton11 =
        addPushButton(window, QStringLiteral("PushButton11"), QStringLiteral("< Back"),
                      {120, 4980, 3840, 405}, Arial1125Bold);
    layout.PushButton12 =
        addPushButton(window, QStringLiteral("PushButton12"), QStringLiteral("Help"),
                      {4080, 4980, 3840, 405}, Arial1125Bold);

    setFocusOrder({layout.List2, layout.List1, layout.PushButton1, layout.PushButton2,
                   layout.PushButton3, layout.PushButton4, layout.PushButton5, layout.PushButton6,
                   layout.PushButton7, layout.PushButton8, layout.PushButton9, layout.PushButton10,
                   layout.PushButton11, layout.PushButton12});
    return layout;
}

}  // namespace ui
