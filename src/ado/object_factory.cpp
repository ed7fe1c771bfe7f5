#include "ado/object_factory.h"

#include "ado/com_error.h"
#include "ado/connection_string.h"

namespace ado {

std::unique_ptr<Connection> ObjectFactory::createObject(std::string_view className) const {
    if (m_connectionAbsent || !sameKeyword(className, kConnectionClass)) {
        throw ComError(error_number::kCannotCreateObject, "ActiveX component can't create object");
    }
    return std::make_unique<Connection>();
}

}  // namespace ado
