// The database selection window (Form1), the program's first window: the path and password of
// database #1 and of database #2, each path typed, browsed for, or set to the sample database;
// "Next >" checks both files, fills the two table lists and moves on to the table manager.
//
// Every change of one of the four texts is saved in the settings store at once; a store that
// refuses the write is told of in a notice, once until a write succeeds again, and the text box
// keeps every key (app/handler_guard.h). The window's load step is the program's start-up.
// Closing the window ends the program.
#pragma once

#include "app/handler_guard.h"
#include "app/hover_tracker.h"
#include "app/window_pointer.h"
#include "db/database_texts.h"
#include "db/session.h"
#include "ui/layouts/form1_layout.h"
#include "ui/selection/web_site_draw.h"

#include <QWidget>

class QLineEdit;

namespace ui {

inline constexpr char kDatabase1InvalidMessage[] =
    "Database #1 does not appear to be valid or is currently open.";
inline constexpr char kDatabase2InvalidMessage[] =
    "Database #2 does not appear to be valid or is currently open.";
inline constexpr char kBrowseTitle[] = "Select Access Database";

class Form1 : public QWidget, public db::DatabaseTexts {
    Q_OBJECT

public:
    struct Services {
        app::ModalBoxes& boxes;
        const ado::ObjectFactory& factory;  // creates the database objects by class name
        db::TableLists& lists;              // the table manager's lists, created on first reference
        db::Globals& globals;
        RandomSource& random;
        AddressOpener& opener;
    };

    explicit Form1(const Services& services, QWidget* parent = nullptr);

    // The start-up, run once before the window is first shown: skin, centre, the web-site draw,
    // caption, icon and hand pointer, the four texts from the settings store, "Next >" when both
    // remembered files exist, and last the engine check.
    void Form_Load();

    // The four database texts, as the boxes hold them now.
    QString Text1() const override;
    QString Text2() const override;
    QString Text3() const override;
    QString Text4() const override;

signals:
    // "Next >" succeeded: the table manager is to be shown (this window hides itself).
    void tableManagerWanted();
    // The user closed the window: the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchPointer();
    void connectControls();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();

    // The browse buttons: the file-open dialog, and the chosen path into the box.
    void browseInto(QLineEdit& pathBox, const char* location);

    Services m_services;
    db::Session m_session;
    Form1Layout m_layout;
    app::WindowPointer m_pointer;
    app::HoverTracker m_hover;
    // The edge of the four text boxes' change handlers, which write the settings store.
    app::HandlerGuard m_settingsGuard;
};

}  // namespace ui
