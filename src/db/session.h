// What the database routines reach while they run: the boxes they show, the factory that creates
// database objects by class name, the four database texts, the two table lists and the
// program-wide variables. The application object owns the variables and both windows; a session
// only refers to them.
#pragma once

#include "app/modal_boxes.h"
#include "db/database_texts.h"
#include "db/table_list.h"

namespace ado {
class ObjectFactory;
}

namespace db {

// The program-wide variables.
struct Globals {
    // Raised by the table lister when a database cannot be read; "Next >" clears it before it
    // fills the two table lists and reads it afterwards.
    bool TableListFailed = false;
};

struct Session {
    app::ModalBoxes& boxes;
    const ado::ObjectFactory& factory;
    const DatabaseTexts& texts;
    TableLists& lists;
    Globals& globals;
};

}  // namespace db
