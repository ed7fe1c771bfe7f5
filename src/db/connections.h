// The ADO connection objects the windows' commands create by class name, set up and hand to the
// routines of this layer. The windows name them through here, never ADO itself.
#pragma once

#include "ado/connection.h"
#include "ado/object_factory.h"

namespace db {

using ado::Connection;
using ado::kConnectionClass;
using ado::kModeReadWrite;
using ado::kUseServer;

}  // namespace db
