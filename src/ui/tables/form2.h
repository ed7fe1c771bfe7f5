// The table manager window (Form2): the tables of database #1 and database #2 side by side, each
// in a multi-select list with its commands, a progress bar, and "< Back" and "Help".
//
// The window is created hidden, the first time a table list is asked for, and its load sequence
// runs then; it lives until the program ends. Closing it ends the program.
#pragma once

#include "app/hover_tracker.h"
#include "app/window_pointer.h"
#include "db/session.h"
#include "ui/layouts/form2_layout.h"
#include "ui/tables/list_box.h"

#include <QWidget>

namespace ui {

// The maker's contact form, named by "Help".
inline constexpr char kContactFormAddress[] = "https://www.quillmere.example/contact";

class Form2 : public QWidget {
    Q_OBJECT

public:
    // session: the boxes to show, the four database texts of the selection window, the table
    // lists and the program-wide variables.
    explicit Form2(const db::Session& session, QWidget* parent = nullptr);

    db::TableList& List1() { return m_list1; }
    db::TableList& List2() { return m_list2; }

signals:
    // "< Back": the selection window is to be shown again (this window hides itself).
    void selectionWindowWanted();
    // The user closed the window: the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void Form_Load();
    // Makes the outer height, title bar and borders included, the one set at load, as far as the
    // platform knows the frame. The frame may become known only once the window is on screen.
    void fitOuterHeight();
    void watchPointer();
    void connectButtons();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton12_Click();

    // "Select All" and "Deselect All": marks every entry of the list.
    void markEveryEntry(db::TableList& list, bool selected, const char* location);

    db::Session m_session;
    Form2Layout m_layout;
    ListBox m_list1;
    ListBox m_list2;
    app::WindowPointer m_pointer;
    app::HoverTracker m_hover;
    int m_outerHeight = 0;  // pixels
};

}  // namespace ui
