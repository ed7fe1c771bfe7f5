// The running program: both windows and the program-wide variables.
//
// Starting creates the database selection window and runs its load step, which is the whole
// start-up; the window is then shown, unless start-up went straight on to the table manager.
// The table manager window is created hidden the first time one of its table lists is asked
// for, and lives until the program ends. Closing either window ends the program at once.
#pragma once

#include "db/session.h"
#include "db/table_list.h"
#include "ui/selection/form1.h"
#include "ui/selection/web_site_draw.h"
#include "ui/tables/form2.h"

#include <QObject>

#include <memory>

namespace ui {

class Program : public QObject, public db::TableLists {
    Q_OBJECT

public:
    struct Services {
        app::ModalBoxes& boxes;
        const ado::ObjectFactory& factory;
        RandomSource& random;
        AddressOpener& opener;
    };

    explicit Program(const Services& services);
    ~Program() override;

    // Runs the start-up and puts the first window on screen.
    void start();

    Form1& form1() { return *m_form1; }
    // The table manager window, or null before the first reference to a table list.
    Form2* loadedForm2() { return m_form2.get(); }
    const db::Globals& globals() const { return m_globals; }

    db::TableList& List1() override { return form2().List1(); }
    db::TableList& List2() override { return form2().List2(); }

private:
    Form2& form2();
    // Closes both windows and leaves the event loop; no further event of a window runs.
    void end();

    Services m_services;
    db::Globals m_globals;
    // The table manager reads the database texts of the selection window, so it goes first.
    std::unique_ptr<Form1> m_form1;
    std::unique_ptr<Form2> m_form2;
};

}  // namespace ui
