// The start-up check that the database engine is there at all: that a connection object can be
// created by its class name. Whether a provider can open a given file shows only when a
// connection is opened.
#pragma once

#include "app/modal_boxes.h"

namespace ado {
class ObjectFactory;
}

namespace db {

inline constexpr char kEngineMissingMessage[] =
    "Access is not installed on this computer. You need to have it installed to use this "
    "software without error.";

// Tells the user once when the connection class cannot be created. Nothing else is reported,
// and the program goes on either way.
void CheckEngineInstalled(app::ModalBoxes& boxes, const ado::ObjectFactory& factory);

}  // namespace db
