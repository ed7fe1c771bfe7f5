#include "app/failure_description.h"

#include <exception>

namespace app {

QString describeCurrentException() {
    try {
        throw;
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
        return QStringLiteral("An unknown failure occurred.");
    }
}

}  // namespace app
