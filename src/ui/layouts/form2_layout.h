// The designed layout of the table manager window: two frames side by side, database #1 on the
// left and database #2 on the right, each holding a table list and five buttons; under them a
// full-width progress bar; under that two wide buttons side by side. Sizes in twips, relative
// to the container:
//
//   control       container  left   top  width  height  font            tab
//   window           -          -     -   8040    5520  Arial 9 bold     -
//   Frame1        window       120   120   3840    4215  Arial 9 bold     3
//   List1         Frame1       240   360   3330    1635  Arial 9 bold     1
//   PushButton1   Frame1       240  2100   1600     400  Arial 11.25 b    4  "Select All"
//   PushButton2   Frame1      1960  2100   1605     405  Arial 11.25 b    5  "Deselect All"
//   PushButton3   Frame1       240  2600   3330     400  Arial 11.25 b    6  "Send To Access #2"
//   PushButton4   Frame1       240  3100   3330     400  Arial 11.25 b    7  "Delete Table(s)"
//   PushButton5   Frame1       240  3600   3330     400  Arial 11.25 b    8  "Rename Table"
//   Frame2        window      4080   120   3840    4215  Arial 9 bold     2
//   List2         Frame2       240   360   3330    1635  Arial 9 bold     0
//   PushButton6   Frame2       240  2100   1600     400  Arial 11.25 b    9  "Select All"
//   PushButton7   Frame2      1960  2100   1600     400  Arial 11.25 b   10  "Deselect All"
//   PushButton8   Frame2       240  2600   3330     400  Arial 11.25 b   11  "Send To Access #1"
//   PushButton9   Frame2       240  3100   3330     400  Arial 11.25 b   12  "Delete Table(s)"
//   PushButton10  Frame2       240  3600   3330     400  Arial 11.25 b   13  "Rename Table"
//   ProgressBar1  window       120  4455   7800     405  -               14
//   PushButton11  window       120  4980   3840     405  Arial 11.25 b   15  "< Back"
//   PushButton12  window      4080  4980   3840     405  Arial 11.25 b   16  "Help"
//
// Focus moves List2, List1, PushButton1 to PushButton10, PushButton11, PushButton12.
#pragma once

class QGroupBox;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

namespace ui {

struct Form2Layout {
    QGroupBox* Frame1;
    QListWidget* List1;
    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QGroupBox* Frame2;
    QListWidget* List2;
    QPushButton* PushButton6;
    QPushButton* PushButton7;
    QPushButton* PushButton8;
    QPushButton* PushButton9;
    QPushButton* PushButton10;
    QProgressBar* ProgressBar1;
    QPushButton* PushButton11;
    QPushButton* PushButton12;
};

// Builds the controls into the window and gives the window its designed size and caption.
Form2Layout buildForm2Layout(QWidget& window);

}  // namespace ui
