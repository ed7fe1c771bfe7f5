// The human-readable text of a failure, as the error reports show it.
#pragma once

#include <QString>

namespace app {

// The description of the exception being handled: what() of a std::exception (engine errors,
// database run-time errors and the standard library's own all derive from it), or a general
// text for anything else.
// REQUIRES: called inside a catch block.
QString describeCurrentException();

}  // namespace app
