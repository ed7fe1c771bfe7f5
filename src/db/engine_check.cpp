#include "db/engine_check.h"

#include "ado/object_factory.h"

#include <memory>

namespace db {

void CheckEngineInstalled(app::ModalBoxes& boxes, const ado::ObjectFactory& factory) {
    std::unique_ptr<ado::Connection> connection;
    try {
        connection = factory.createObject(ado::kConnectionClass);
    } catch (...) {
        // The missing object is the answer; the message below tells the user.
    }
    if (connection == nullptr) {
        boxes.message({.text = QString::fromLatin1(kEngineMissingMessage)});
    }
}

}  // namespace db
