// The designed layout of the database selection window: two frames, one under the other, each
// with a file row (label, path box, browse button) and a password row (label, masked box), and
// under them two wide buttons side by side. Sizes in twips, relative to the container:
//
//   control      container  left   top  width  height  font            tab
//   window          -          -     -   8040    3540  Arial 9          -
//   Frame1       window       120   120   7800    1335  Arial 9 bold     7
//   Label5       Frame1       240   345   1935     255  Arial 9 bold     8
//   Text1        Frame1      2280   300   4695     345  Arial 9 bold     0
//   PushButton1  Frame1      7080   300    450     345  Arial 11.25 b    1
//   lblPassword  Frame1       240   840   1950     225  Arial 9 bold     9
//   Text2        Frame1      2280   800   5265     345  Arial 9 bold     2  (shows "*")
//   Frame2       window       120  1560   7800    1335  Arial 9 bold    10
//   Label1       Frame2       240   345   1935     255  Arial 9 bold    11
//   Text3        Frame2      2280   300   4695     345  Arial 9 bold     3
//   PushButton3  Frame2      7080   300    450     345  Arial 11.25 b    4
//   Label2       Frame2       240   840   1950     225  Arial 9 bold    12
//   Text4        Frame2      2280   800   5265     345  Arial 9 bold     5  (shows "*")
//   PushButton4  window       120  3020   3840     405  Arial 11.25 b   13
//   PushButton2  window      4080  3020   3840     405  Arial 11.25 b    6
//
// Focus moves Text1, PushButton1, Text2, Text3, PushButton3, Text4, PushButton2, PushButton4.
#pragma once

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

struct Form1Layout {
    QGroupBox* Frame1;
    QLabel* Label5;
    QLineEdit* Text1;
    QPushButton* PushButton1;
    QLabel* lblPassword;
    QLineEdit* Text2;
    QGroupBox* Frame2;
    QLabel* Label1;
    QLineEdit* Text3;
    QPushButton* PushButton3;
    QLabel* Label2;
    QLineEdit* Text4;
    QPushButton* PushButton4;
    QPushButton* PushButton2;
};

// Builds the controls into the window and gives the window its designed size and caption.
Form1Layout buildForm1Layout(QWidget& window);

}  // namespace ui
