#include "app/failure_description.h"

#include <cassert>
#include <exception>

namespace app {

QString describeCurrentException() {
    assert(std::current_exception() != nullptr && "called outside a catch block");
    try {
        throw;
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
        return QStringLiteral("An unknown failure occurred.");
    }
}

}  // namespace app
